// Start and stop of the plugin. PluginInit runs on the host's thread before the
// monitor exists; PluginQuit never forces the monitor to end: a monitor stuck
// in a post or a message box ends by itself at its next check of the flag, and
// the module reference it holds keeps the code mapped until then.
#include "plugin/lifecycle.h"

#include "common/unique_handle.h"
#include "config/config_dialog.h"
#include "config/settings.h"
#include "monitor/track_monitor.h"
#include "plugin/plugin.h"

std::atomic<unsigned char> g_stopRequested{0};
char g_descriptionText[260];

namespace {

// How long quit waits for the monitor before it stores the settings anyway.
constexpr DWORD kQuitWaitMs = 3000;

UniqueHandle g_monitorThread;
DWORD g_monitorThreadId;  // received from CreateThread; nothing reads it
UniqueHandle g_stopEvent;

}  // namespace

HANDLE GetStopEvent()
{
    return g_stopEvent.Get();
}

int PluginInit()
{
    g_pluginDescriptor.description = g_descriptionText;
    wsprintfA(g_descriptionText, "%s %s", kProductName, kVersionText);
    ReadSettings();
    g_stopRequested = 0;

    // Manual-reset: once quit signals it, every later pause returns at once.
    g_stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));

    // The thread's own reference on this module is taken before the thread can
    // run, so a host that unloads the plugin after quit cannot pull the code
    // out from under a monitor still finishing a post.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&TrackMonitorThread), &self);
    g_monitorThread.Reset(CreateThread(nullptr, 0, TrackMonitorThread, nullptr, 0,
                                       &g_monitorThreadId));
    if (!g_monitorThread && self != nullptr)
        FreeLibrary(self);
    SetThreadPriority(g_monitorThread.Get(), THREAD_PRIORITY_BELOW_NORMAL);
    return 0;
}

void PluginConfig()
{
    ShowConfigDialog();
}

void PluginQuit()
{
    g_stopRequested = 1;
    if (g_stopEvent)
        SetEvent(g_stopEvent.Get());
    if (g_monitorThread) {
        ResumeThread(g_monitorThread.Get());
        WaitForSingleObject(g_monitorThread.Get(), kQuitWaitMs);
        g_monitorThread.Reset();
    }
    WriteSettings();
}
