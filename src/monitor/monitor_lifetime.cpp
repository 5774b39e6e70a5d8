// The monitor's thread, its run and the bounded wait at stop. The thread's
// own reference on this module is taken before the thread can run and handed
// to it in its run, so a host that unloads the plugin after quit cannot pull
// the code out from under a monitor still finishing a post, and the thread
// releases exactly the reference it was given.
#include "monitor/monitor_lifetime.h"

#include <new>

#include "common/unique_handle.h"
#include "monitor/monitor_run.h"
#include "monitor/track_monitor.h"

namespace {

// How long stop waits for the monitor; quit stores the settings after it.
constexpr DWORD kStopWaitMs = 3000;

UniqueHandle g_monitorThread;
MonitorRun* g_run;        // the stopping side's hold on the current run

}  // namespace

void StartTrackMonitor(HWND host, bool wakeable)
{
    MonitorRun* run = new (std::nothrow) MonitorRun(host);
    if (run == nullptr)
        return;
    // Manual-reset: once stop signals it, every later pause of the run
    // returns at once.
    run->stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    // Manual-reset: every pause returns at once until the turn that
    // rewrites the files has taken the request.
    run->rewriteEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    // Auto-reset: a burst of notifications wakes one pause.
    if (wakeable)
        run->wakeEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    g_monitorThread.Reset(StartHeldThread(TrackMonitorThread, run));
    if (g_monitorThread)
        g_run = run;
    else
        ReleaseHeldState(run);
    SetThreadPriority(g_monitorThread.Get(), THREAD_PRIORITY_BELOW_NORMAL);
}

HANDLE TrackMonitorWakeEvent()
{
    return g_run != nullptr ? g_run->wakeEvent.Get() : nullptr;
}

void RequestLocalRewrite()
{
    if (g_run != nullptr && g_run->rewriteEvent)
        SetEvent(g_run->rewriteEvent.Get());
}

void StopTrackMonitor()
{
    if (g_run != nullptr) {
        g_run->stopRequested = 1;
        if (g_run->stopEvent)
            SetEvent(g_run->stopEvent.Get());
    }
    if (g_monitorThread) {
        ResumeThread(g_monitorThread.Get());
        WaitForSingleObject(g_monitorThread.Get(), kStopWaitMs);
        g_monitorThread.Reset();
    }
    if (g_run != nullptr) {
        ReleaseHeldState(g_run);
        g_run = nullptr;
    }
}
