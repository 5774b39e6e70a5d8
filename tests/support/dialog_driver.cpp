// The dialog driver. Controls are read and written with messages sent across
// threads; the dialog's thread answers them from its modal loop. Commands and
// keys are posted instead, so the driver never waits for a post or a message
// box that a command starts.
#include "support/dialog_driver.h"

#include <cstring>
#include <thread>

#include "ui/config-rc.h"
#include "ui/config_dialog.h"
#include "support/process_dialogs.h"

const char kConfigDialogCaption[] = "Version  v1.0.0.1  Basic.";
const char kEnhancedDialogCaption[] = "WinAmp Tunewire Basic - Enhanced Features";

namespace {

constexpr DWORD kPollMs = 10;
// Generous: a cold Wine start of the first window in a process takes a while.
constexpr DWORD kAppearTimeoutMs = 10000;
constexpr DWORD kCloseTimeoutMs = 5000;

bool IsConfigDialog(const ProcessDialog& dialog)
{
    return dialog.caption == kConfigDialogCaption;
}

// Shown means WM_INITDIALOG has returned and the focus has been placed.
HWND WaitForDialog(DWORD threadId, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        for (const ProcessDialog& dialog : FindProcessDialogs(DialogState::kShown, threadId))
            if (dialog.caption == caption)
                return dialog.window;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(kPollMs);
    }
}

void CancelIfOpen(HWND dialog)
{
    if (dialog != nullptr && IsWindow(dialog)) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitUntilClosed(dialog, kCloseTimeoutMs);
    }
}

}  // namespace

HWND WaitForConfigDialog(DWORD threadId, DWORD timeoutMs)
{
    return WaitForDialog(threadId, kConfigDialogCaption, timeoutMs);
}

HWND WaitForEnhancedDialog(DWORD threadId, DWORD timeoutMs)
{
    return WaitForDialog(threadId, kEnhancedDialogCaption, timeoutMs);
}

int CountConfigDialogs()
{
    int count = 0;
    for (const ProcessDialog& dialog : FindProcessDialogs(DialogState::kAnyState))
        count += IsConfigDialog(dialog) ? 1 : 0;
    return count;
}

INT_PTR RunConfigDialog(const std::function<void(HWND dialog)>& script, const DialogOpener& open)
{
    DWORD dialogThread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND dialog = WaitForConfigDialog(dialogThread, kAppearTimeoutMs);
        script(dialog);
        CancelIfOpen(dialog);
    });
    INT_PTR result = open ? open() : ShowConfigDialog();
    driver.join();
    return result;
}

void RunEnhancedDialog(const std::function<void(HWND dialog)>& script, const DialogOpener& open)
{
    const DWORD dialogThread = GetCurrentThreadId();
    RunConfigDialog([&](HWND config) {
        if (config == nullptr) {
            script(nullptr);
            return;
        }
        PressButton(config, IDC_ENHANCED_FEATURES);
        HWND dialog = WaitForEnhancedDialog(dialogThread, kAppearTimeoutMs);
        script(dialog);
        CancelIfOpen(dialog);
    }, open);
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
