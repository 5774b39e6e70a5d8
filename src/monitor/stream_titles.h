// The Streams key: titles of internet radio. An entry whose length the
// player answers as 0 or below is a stream; on each playing turn of one its
// title is asked, and posted when it differs from the title last posted for
// that entry, at most once every 5 s. The key is read once per change of
// entry, so a stream costs no file read on the turns between.
#pragma once

#include <windows.h>

#include "monitor/host_text.h"
#include "monitor/title_post.h"

struct StreamTitleState {
    bool posted = false;         // a title of `position` was the last post
    int position = 0;
    unsigned postNumber = 0;     // StreamerState::posts after that post
    DWORD postTick = 0;
    char title[kUtf8TextSize] = {};  // as posted, ANSI or UTF-8
    bool keyRead = false;        // `streams` holds the key as read at the last change
    bool streams = false;
};

// One playing turn of a stream entry at `position`; `changed` when the entry
// or its length differs from the turn before. kPosted when it posted: the
// monitor then forgets the last posted file, so that file played after the
// stream is posted again. Without the key it does nothing.
TurnForRetries StreamTurn(StreamTitleState& stream, StreamerState& streamer, HWND host,
                          int position, bool changed);
