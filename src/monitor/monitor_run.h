// One run of the monitor thread: what StartTrackMonitor hands the thread as
// its parameter and keeps for StopTrackMonitor. Every start makes a new run,
// so a monitor left over from an earlier life of the plugin (still held by a
// message box when the host loaded and started the plugin again) keeps its
// own flag, already set, and its own events, which nobody closes under it.
// The thread and the stopping side each hold the run; the last to let go
// frees it, and the events with it.
#pragma once

#include <windows.h>

#include <atomic>

#include "common/held_thread.h"
#include "common/unique_handle.h"

struct MonitorRun : HeldThreadState {
    // Held by the thread and the stopping side.
    explicit MonitorRun(HWND host) : HeldThreadState(2), host(host) {}

    const HWND host;          // receives every query; the descriptor's parentWindow
    UniqueHandle stopEvent;   // manual-reset; set together with the flag
    UniqueHandle wakeEvent;   // auto-reset; set by the player's notifications
                              // (plugin/notification_hook.h); null unless Instant is on
    UniqueHandle rewriteEvent;  // manual-reset; set when the local files are to be
                                // written again under new settings
    // 0 while this run is to go on, 1 once it is to stop. Read afresh by the
    // thread at every check.
    std::atomic<unsigned char> stopRequested{0};
};
