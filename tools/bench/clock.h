// The bench's one clock, in milliseconds with sub-millisecond resolution.
// The host thread and the receiver's thread both stamp events with it, so a
// difference of two stamps is a latency across threads.
#pragma once

#include <windows.h>

inline double NowMs()
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart / ticksPerMs;
}
