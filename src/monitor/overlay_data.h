// The local overlay's data, kept beside the title file: nowplaying.json with
// the same fields as the form handler's JSON file, and nowplaying.js, which
// sets one variable to the same record, for overlay.html opened as a local
// file (a page from file:// may load a script beside it but fetch nothing).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "config/module_paths.h"
#include "monitor/track_record.h"

// What one record holds; all texts UTF-8.
// What the overlay shows of a track: of the one playing, and of each it lists
// among those played before. All texts UTF-8.
struct TrackText {
    std::string title;       // every character kept
    std::string line;        // the one-line text as formatted; empty: no format
    bool hasFields = false;  // the tags below were asked of the player
    std::string artist;
    std::string album;
    std::string song;        // the tag title
};

// What one record holds.
struct OverlayContent {
    TrackText track;
    const char* state = "";  // "playing", "paused", "stopped" or "stoptext" (the
                             // stop text); empty: not said
    // The track's progress when known (positionMs -1: not known): see
    // TrackRecord.
    int lengthSeconds = 0;
    int positionMs = -1;
    UnixTime positionAt;
    bool artworkKept = false;  // an artwork file is kept
    wchar_t artwork[kPathSize] = {};  // its full path when one was copied; empty: none
    std::string artworkVersion;       // digits that change with each copy, after its address
    // The tracks played before, newest first, each as its JSON object
    // (RecentTrackJson); empty: none listed.
    std::vector<std::string> recent;
};

// A track among those played before, as its JSON object: "title", "stored"
// (when it started, `storedUtc`) and the texts the record has of it.
std::string RecentTrackJson(const TrackText& track, const std::string& storedUtc);

// The JSON text of `content` stored at `storedUtc` ("2026-01-31T20:15:00Z")
// into `folder` (with its backslash), one line ended by a line feed: "title"
// and "stored" always; "state" when said; "length", "position" and
// "positionAt" when the progress is known; "line" when there is one;
// "artist", "album" and "song" when the tags were asked; "artwork" when a
// copy is kept, as the address the page beside the file loads it from with
// the copy's version after it, or null when there is none; "recent", the
// tracks played before, when listed.
std::string OverlayJson(const OverlayContent& content, const std::string& storedUtc,
                        const wchar_t* folder);

// Now, as a record's "stored" says it.
std::string UtcNow();
// Now, as the page's clock counts.
UnixTime UnixNow();

// The script form of the same record.
std::string OverlayScript(const std::string& json);

// Writes both files into the folder of `titleFile` (the full path written to),
// each replaced whole. Nothing is written when the title file bears one of
// their names. Returns 0 or the platform's error code of the first file that
// failed, whose full path goes to `failed` (kPathSize units).
DWORD WriteOverlayData(const wchar_t* titleFile, const OverlayContent& content, wchar_t* failed);
