// player_window.exe: stands in for a running player during the installer
// test. It shows a window of the player's class, which is what setup looks
// for, creates the file named on its command line once the window exists,
// and closes when that file is removed (or after a minute, so a failed test
// never leaves it behind).
#include <windows.h>

namespace {

const char kPlayerClass[] = "Winamp v1.x";  // the class setup's FindWindow asks for
const UINT kCheckMs = 100;                  // how often the ready file is looked at
const UINT kLifetimeChecks = 600;           // a minute of checks at most

const char* g_readyFile = nullptr;
UINT g_checks = 0;

LRESULT CALLBACK PlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        if (GetFileAttributesA(g_readyFile) == INVALID_FILE_ATTRIBUTES || ++g_checks > kLifetimeChecks)
            DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    g_readyFile = argv[1];
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlayerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kPlayerClass;
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, kPlayerClass, "Player stand-in", WS_OVERLAPPEDWINDOW,
                                  0, 0, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    SetTimer(window, 1, kCheckMs, nullptr);
    HANDLE ready = CreateFileA(g_readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
