// The stop event comes first in the wait, so a quit that finds a wake pending
// is still a quit. The wait itself consumes one wake; BeginTurn clears the
// rest of a burst once the host has answered the turn's first query. The host
// sends its notifications on the thread that answers, so all it sent before
// that answer are seen by this turn. One sent in the instant between the
// answer and the clearing is seen by the turn's later queries when it plays,
// and otherwise by the next poll.
#include "monitor/instant_wake.h"

#include <algorithm>

namespace {

// Notifications that keep coming after their woken turn has asked (a burst
// that outlasts the turn) make one more turn at most every 250 ms, not one
// for each.
constexpr DWORD kWokenTurnGapMs = 250;
// As the poll never does, no two posts come within a second: a form handler
// that draws each title is not made to draw faster than that.
constexpr DWORD kPostGapMs = 1000;

// The events that end any pause, followed by `also`; returns their count.
DWORD PauseEnds(HANDLE stopEvent, HANDLE rewriteEvent, HANDLE also, HANDLE* handles)
{
    DWORD count = 0;
    for (HANDLE handle : {stopEvent, rewriteEvent, also})
        if (handle != nullptr)
            handles[count++] = handle;
    return count;
}

void Wait(HANDLE stopEvent, HANDLE rewriteEvent, DWORD ms)
{
    HANDLE handles[2];
    const DWORD count = PauseEnds(stopEvent, rewriteEvent, nullptr, handles);
    if (count != 0)
        WaitForMultipleObjects(count, handles, FALSE, ms);
    else
        Sleep(ms);
}

// What is left of `gap` after `since`; 0 once it has passed.
DWORD Remaining(DWORD now, DWORD since, DWORD gap)
{
    const DWORD elapsed = now - since;
    return elapsed < gap ? gap - elapsed : 0;
}

}  // namespace

void PauseUnlessWoken(InstantWake& wake, HANDLE stopEvent, HANDLE rewriteEvent, unsigned posts,
                      DWORD ms)
{
    if (wake.event == nullptr) {
        Wait(stopEvent, rewriteEvent, ms);
        return;
    }
    if (posts != wake.postsSeen) {
        wake.postsSeen = posts;
        wake.postedBefore = true;
        wake.lastPost = GetTickCount();
    }
    if (wake.pending)
        return;
    HANDLE handles[3];
    const DWORD count = PauseEnds(stopEvent, rewriteEvent, wake.event, handles);
    if (WaitForMultipleObjects(count, handles, FALSE, ms) != WAIT_OBJECT_0 + count - 1)
        return;
    wake.pending = true;
    const DWORD now = GetTickCount();
    DWORD wait = 0;
    if (wake.wokenBefore)
        wait = Remaining(now, wake.lastWokenTurn, kWokenTurnGapMs);
    if (wake.postedBefore)
        wait = std::max(wait, Remaining(now, wake.lastPost, kPostGapMs));
    if (wait != 0)
        Wait(stopEvent, nullptr, wait);
    wake.wokenBefore = true;
    wake.lastWokenTurn = GetTickCount();
}

void BeginTurn(InstantWake& wake)
{
    if (wake.event == nullptr)
        return;
    ResetEvent(wake.event);
    wake.wokenTurn = wake.pending;
    wake.pending = false;
}

bool IsWokenTurn(const InstantWake& wake)
{
    return wake.wokenTurn;
}
