// The files a streamer keeps on their own disk: the title file, the overlay's
// data beside it and the cover copy. Each holds what the latest record asks
// of it; one that cannot be written (a reader holds it, a folder is missing)
// stays pending and is tried again at the end of every turn, so the posts and
// the other files never wait for it. A failure is told once per player run
// and file, in a box aside (monitor/aside_box.h) or, in quiet mode, one log
// line per record.
#pragma once

#include <string>

#include "config/streamer_settings.h"
#include "monitor/overlay_data.h"
#include "monitor/track_record.h"

enum LocalFile { kTitleFile, kOverlayData, kCoverCopy, kLocalFileCount };

// The local overlay lists this many tracks played before, the playing one
// first: what a "played before" box shows, and a few lines of JSON.
constexpr size_t kRecentTracks = 10;

struct LocalOutputs {
    bool keepsOverlayData = false;          // the latest record was kept with a title file
    std::string recentTitle;                // the newest of those played before
    std::string titleText;                  // UTF-8: what the title file is to hold
    OverlayContent overlay;                 // what the overlay's data is to hold
    wchar_t artworkSource[kPathSize] = {};  // the image the cover copy is to hold; empty: none
    bool artworkEmbedded = false;           // the picture inside that music file
    std::string artworkStamp;               // of the copy written last
    bool stampRead = false;                 // `artworkStamp` taken from the settings yet
    bool pending[kLocalFileCount] = {};
    bool logged[kLocalFileCount] = {};      // quiet mode: told for this record
    bool told[kLocalFileCount] = {};        // a box shown this run
};

// The record's texts for the files the keys ask for, each written at once.
void KeepLocalOutputs(LocalOutputs& outputs, const StreamerSettings& settings,
                      const TrackRecord& record);

bool LocalOutputsPending(const LocalOutputs& outputs);

// Whether the latest record was kept with a title file, beside which the
// overlay's data is written.
bool KeepsOverlayData(const LocalOutputs& outputs);

// The player's state ("playing", "paused" or "stopped") and the position in
// milliseconds (-1: not known) at the moment `at` into the overlay's data,
// written at once; the cover's version is left as it is.
void KeepProgress(LocalOutputs& outputs, const StreamerSettings& settings, const char* state,
                  int positionMs, const UnixTime& at);

// The files still pending, tried again.
void RetryLocalOutputs(LocalOutputs& outputs, const StreamerSettings& settings);
