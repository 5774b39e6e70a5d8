// The box's thread owns its copy of the text and its module reference, taken
// before the thread can run and released last, by FreeLibraryAndExitThread.
// Nobody waits for the thread: a box still open at quit stays up until the
// user answers it or the player's process ends.
#include "monitor/aside_box.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "post/post_report.h"

namespace {

// Room for a failure's text: a message around one path.
constexpr int kAsideTextSize = 1024;

std::atomic<bool> g_boxOpen{false};

struct AsideBox {
    HMODULE module = nullptr;
    wchar_t text[kAsideTextSize];
};

DWORD WINAPI AsideBoxThread(LPVOID parameter)
{
    AsideBox* box = static_cast<AsideBox*>(parameter);
    const HMODULE module = box->module;
    wchar_t caption[64];
    MultiByteToWideChar(CP_ACP, 0, kPluginCaption, -1, caption, 64);
    MessageBoxW(nullptr, box->text, caption, MB_OK);
    delete box;
    g_boxOpen = false;
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool ShowBoxAside(const wchar_t* text)
{
    bool closed = false;
    if (!g_boxOpen.compare_exchange_strong(closed, true))
        return false;
    AsideBox* box = new (std::nothrow) AsideBox;
    if (box != nullptr &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&AsideBoxThread), &box->module)) {
        lstrcpynW(box->text, text, kAsideTextSize);
        HANDLE thread = CreateThread(nullptr, 0, AsideBoxThread, box, 0, nullptr);
        if (thread != nullptr) {
            CloseHandle(thread);
            return true;
        }
        FreeLibrary(box->module);
    }
    delete box;
    g_boxOpen = false;
    return false;
}
