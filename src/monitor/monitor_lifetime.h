// Start and stop of the track monitor, for the plugin's init and quit.
#pragma once

#include <windows.h>

// Starts a new monitor thread, at below-normal priority, that asks `host`.
// Nothing is reported if the thread cannot be made: no track is then posted.
// A `wakeable` monitor also has a wake event that ends its pauses early.
void StartTrackMonitor(HWND host, bool wakeable);

// The current run's wake event; null when the monitor is not wakeable or did
// not start. It stays open until StopTrackMonitor lets go of the run.
HANDLE TrackMonitorWakeEvent();

// Asks the monitor to write the playing track's local files again, under the
// settings just stored, at the start of its next turn, which the request
// brings forward: no post is made. Nothing happens when no monitor runs.
void RequestLocalRewrite();

// Tells the monitor to stop, wakes it from a pause, and waits a bounded time
// for it to end. Never forces it: a monitor still inside a post or a message
// box ends by itself at its next check.
void StopTrackMonitor();
