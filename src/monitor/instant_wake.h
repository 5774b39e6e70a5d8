// The Instant key on the monitor's side: the pauses between turns also wait
// on the run's wake event, which the player's notifications set, so that a
// track change is asked about at once rather than at the next poll. A woken
// turn is an ordinary turn; the poll goes on as ever beside it.
#pragma once

#include <windows.h>

struct InstantWake {
    HANDLE event = nullptr;     // the run's wake event; null: Instant is off
    bool pending = false;       // a pause of this turn was cut short
    bool wokenTurn = false;     // the turn under way began from a wake
    bool wokenBefore = false;   // some earlier turn did
    DWORD lastWokenTurn = 0;    // GetTickCount as the latest woken turn began
    unsigned postsSeen = 0;     // the monitor's post count at the latest pause
    bool postedBefore = false;
    DWORD lastPost = 0;         // GetTickCount as the pause after the latest post began
};

// Waits `ms` on the stop event and `rewriteEvent`, either of which ends the
// wait early (null: not waited on). With the wake event, a wake
// ends the wait early, and every further pause of the turn returns at once;
// the turn that follows waits first for what is left of 250 ms after the
// previous woken turn and of a second after the latest post. `posts` is the
// monitor's count of posts so far.
void PauseUnlessWoken(InstantWake& wake, HANDLE stopEvent, HANDLE rewriteEvent, unsigned posts,
                      DWORD ms);

// The host has answered the turn's first query: whatever it notified before
// that answer, this turn sees, so the wake event is cleared. The turn is a
// woken turn when its pause was cut short.
void BeginTurn(InstantWake& wake);

// A woken turn may come before the player knows a new file's length.
bool IsWokenTurn(const InstantWake& wake);
