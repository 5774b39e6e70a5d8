// One clock for the bench and the loopback server, in milliseconds with
// sub-millisecond resolution. The server's thread stamps each request's
// arrival with it and the bench its own events, so a difference of two
// stamps is a latency across threads.
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
