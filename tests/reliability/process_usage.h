// What the test process holds right now, for leak checks: its handles, its
// threads and its private memory.
#pragma once

#include <windows.h>

// GetProcessHandleCount; where the platform answers 0 (Wine 8 keeps no count),
// the handle values that name an open handle are counted instead.
DWORD HandleCount();
// Threads of this process in a Toolhelp snapshot.
int ThreadCount();
// PROCESS_MEMORY_COUNTERS_EX.PrivateUsage; where the platform leaves it 0
// (Wine 8), PagefileUsage, the same private commit by its older name.
SIZE_T PrivateBytes();
