// The monitor's one way to post a title, and what the opt-in keys keep
// between its turns. Each post takes the streamer keys as read for it and
// hands its record to every output in turn: the artwork file, the title file
// with the overlay's data beside it, then the post itself, with boxes as
// always or, in quiet mode, with its outcome logged and a failure that may
// pass kept for a retry.
#pragma once

#include <windows.h>

#include <string>

#include "config/streamer_settings.h"
#include "monitor/local_outputs.h"
#include "monitor/post_retry.h"
#include "monitor/track_record.h"
#include "post/post_track.h"

struct StreamerState {
    PendingRetry retry;
    LocalOutputs local;  // what the files on the user's disk are to hold
    TrackRecord record;  // the latest one posted, while it stands
    bool hasRecord = false;
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

// Writes the files the keys ask for and posts the record's title.
void PostMonitorTitle(StreamerState& state, const StreamerSettings& settings,
                      const TrackRecord& record);

// The one place where a pending retry runs or ends, and where a title the
// title file still lacks is written again: called at the end of every turn
// with what the turn did.
void FinishTurn(StreamerState& state, TurnForRetries turn);
