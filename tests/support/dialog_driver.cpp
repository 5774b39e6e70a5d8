// The dialog driver. Controls are read and written with messages sent across
// threads; the dialog's thread answers them from its modal loop. Commands and
// keys are posted instead, so the driver never waits for a post or a message
// box that a command starts.
#include "support/dialog_driver.h"

#include <cstring>
#include <thread>

#include "config/config_dialog.h"

const char kConfigDialogCaption[] = "Version  v1.0.0.1  Basic.";

namespace {

constexpr DWORD kPollMs = 10;
// Generous: a cold Wine start of the first window in a process takes a while.
constexpr DWORD kAppearTimeoutMs = 10000;
constexpr DWORD kCloseTimeoutMs = 5000;

bool IsConfigDialog(HWND window)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0)
        return false;
    // InternalGetWindowText asks the window's thread nothing, so a thread busy
    // in a post cannot stall the search.
    wchar_t caption[64] = {};
    InternalGetWindowText(window, caption, 64);
    char narrow[64] = {};
    WideCharToMultiByte(CP_ACP, 0, caption, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    return std::strcmp(narrow, kConfigDialogCaption) == 0;
}

// Visible means WM_INITDIALOG has returned and the focus has been placed.
BOOL CALLBACK FindOnThread(HWND window, LPARAM found)
{
    if (!IsWindowVisible(window) || !IsConfigDialog(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

BOOL CALLBACK CountInProcess(HWND window, LPARAM count)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId() && IsConfigDialog(window))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

HWND WaitForConfigDialog(DWORD threadId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = nullptr;
        EnumThreadWindows(threadId, FindOnThread, reinterpret_cast<LPARAM>(&found));
        if (found != nullptr || GetTickCount() - start >= timeoutMs)
            return found;
        Sleep(kPollMs);
    }
}

int CountConfigDialogs()
{
    int count = 0;
    EnumWindows(CountInProcess, reinterpret_cast<LPARAM>(&count));
    return count;
}

INT_PTR RunConfigDialog(const std::function<void(HWND dialog)>& script)
{
    DWORD dialogThread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND dialog = WaitForConfigDialog(dialogThread, kAppearTimeoutMs);
        script(dialog);
        if (dialog != nullptr && IsWindow(dialog)) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            WaitUntilClosed(dialog, kCloseTimeoutMs);
        }
    });
    INT_PTR result = ShowConfigDialog();
    driver.join();
    return result;
}

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthA(item);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(item, &text[0], length + 1);
    text.resize(std::strlen(text.c_str()));
    return text;
}

void SetItemText(HWND dialog, int id, const std::string& text)
{
    SetDlgItemTextA(dialog, id, text.c_str());
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND dialog, UINT virtualKey)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    HWND target = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(target, WM_KEYUP, virtualKey, 0xC0000001);
}

bool WaitUntilClosed(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
    return true;
}
