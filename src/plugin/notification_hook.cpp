// A thread-specific WH_CALLWNDPROC hook rather than a subclass of the main
// window: other plugins subclass that window and chain through each other,
// and a subclass undone out of their order breaks the chain. The procedure
// runs on the player's thread for every message sent to its windows, so it
// only compares and sets the event: no lock, no allocation, no message, and
// the next hook is always called. It is installed without a module handle
// (the thread is of this process), so nothing reloads this module for it;
// quit removes it before the host may unload the module.
#include "plugin/notification_hook.h"

#include <atomic>

#include "host/host_queries.h"

namespace {

// Removed by quit, never by a destructor: that would run in DllMain, where
// user32 must not be called.
HHOOK g_hook;
// Read by the procedure on the player's thread; set before the hook exists.
std::atomic<HWND> g_hookedWindow{nullptr};
std::atomic<HANDLE> g_hookWakeEvent{nullptr};

LRESULT CALLBACK NotificationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == kHostQueryMessage &&
            sent->hwnd == g_hookedWindow.load(std::memory_order_relaxed) &&
            IsTrackNotification(sent->wParam, sent->lParam)) {
            const HANDLE wake = g_hookWakeEvent.load(std::memory_order_relaxed);
            if (wake != nullptr)
                SetEvent(wake);
        }
    }
    // The hook handle is ignored by every Windows since NT, and passing none
    // keeps the player's thread from reading the owner's global.
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void InstallNotificationHook(HWND host, HANDLE wakeEvent)
{
    RemoveNotificationHook();
    if (wakeEvent == nullptr)
        return;
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(host, &process);
    // Thread 0 would make the hook global, and another process's thread
    // cannot run a procedure of this module without loading it there.
    if (thread == 0 || process != GetCurrentProcessId())
        return;
    g_hookedWindow = host;
    g_hookWakeEvent = wakeEvent;
    g_hook = SetWindowsHookExA(WH_CALLWNDPROC, &NotificationHook, nullptr, thread);
    if (g_hook == nullptr)
        g_hookWakeEvent = nullptr;
}

void RemoveNotificationHook()
{
    if (g_hook != nullptr)
        UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_hookWakeEvent = nullptr;
}
