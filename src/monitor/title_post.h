// The monitor's one way to post a title, and what the opt-in keys keep
// between its turns. Each post reads the streamer keys afresh: the title
// file is written first, then the title is posted with boxes as always or,
// in quiet mode, with its outcome logged and a failure that may pass kept
// for a retry.
#pragma once

#include <windows.h>

#include "monitor/post_retry.h"
#include "post/post_track.h"

struct StreamerState {
    PendingRetry retry;
    bool titleFileFailureShown = false;  // one box per player run
    unsigned posts = 0;                  // posts so far, so a feature can tell
                                         // whether another post came after its own
};

// What a turn of the monitor did, as what waits to be tried again sees it.
enum class TurnForRetries {
    kPosted,       // a title went out: it took the place of any pending one
    kTitleStands,  // the title last posted still stands: a due retry runs
    kStopCompleted,  // this turn completed a stop without a text of its own:
                     // no title is tried again
    kWaiting,      // anything else: a pending title waits for a later turn
};

// Writes the title file and posts `title` (ANSI or UTF-8 as `charset` says).
void PostMonitorTitle(StreamerState& state, const char* title, TitleCharset charset);

// The one place where a pending retry runs or ends: called at the end of
// every turn with what the turn did.
void FinishTurn(StreamerState& state, TurnForRetries turn);
