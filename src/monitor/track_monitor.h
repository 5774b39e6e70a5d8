// The worker thread that polls the host player and posts each newly started
// track once, with the stored settings.
#pragma once

#include <windows.h>

// Thread start routine. Ends through FreeLibraryAndExitThread, releasing the
// module reference that PluginInit took for it before creating the thread.
DWORD WINAPI TrackMonitorThread(LPVOID);
