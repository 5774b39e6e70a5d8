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

// Writes the title file and posts `title` (ANSI or UTF-8 as `charset` says).
void PostMonitorTitle(StreamerState& state, const char* title, TitleCharset charset);

// Posts the pending title again when its retry is due.
void RetryPendingPost(StreamerState& state);

// The player stopped: no title is tried again.
void EndRetries(StreamerState& state);
