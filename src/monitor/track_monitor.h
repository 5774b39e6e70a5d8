// The worker thread that polls the host player and posts each newly started
// track once, with the stored settings.
#pragma once

#include <windows.h>

// Thread start routine; its parameter is the MonitorRun that
// StartTrackMonitor made for it. Ends through FreeLibraryAndExitThread,
// releasing the module reference that the run carries.
DWORD WINAPI TrackMonitorThread(LPVOID run);
