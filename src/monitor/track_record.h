// What the monitor knows of what it is about to post, built once per new
// track (or stream title, or stop text) and handed to every output: the post,
// the title file, the overlay's data and the artwork file. The outputs never
// ask the player themselves.
#pragma once

#include <string>

#include "config/module_paths.h"
#include "monitor/utf8_title.h"
#include "post/post_track.h"

// A moment as the page's clock counts it: since 1970, UTC.
struct UnixTime {
    unsigned long seconds = 0;
    unsigned millis = 0;
};

// The milliseconds from `from` to `to`, for spans of days at most.
inline long MillisecondsBetween(const UnixTime& from, const UnixTime& to)
{
    return static_cast<long>(to.seconds - from.seconds) * 1000 +
           (static_cast<long>(to.millis) - static_cast<long>(from.millis));
}

// The player's tags of the playing file, UTF-8; a tag the player lacks is
// empty.
struct TrackFields {
    std::string artist;
    std::string title;
    std::string album;
    std::string albumArtist;
    std::string year;
    std::string track;
    std::string genre;
};

struct TrackRecord {
    TrackRecord() = default;
    // Copied out of line: written out once rather than at every copy, which
    // the DLL's size feels.
    TrackRecord(const TrackRecord&);
    TrackRecord& operator=(const TrackRecord&);

    std::string playerTitle;  // as posted: ANSI or UTF-8, as `charset` says
    TitleCharset charset = TitleCharset::kAnsi;
    // The same title in UTF-8 with every character, from the player's wide
    // answer, where an ANSI post goes with a file on the user's disk; empty:
    // the posted title is whole (WholeTitle).
    std::string wideTitle;
    bool isStopText = false;  // the stop text: written as it is, never formatted
    bool hasFields = false;   // `fields` were asked of the player for a file
    TrackFields fields;
    wchar_t artworkSource[kPathSize] = {};  // the folder image beside the file, else the
                                            // file itself; empty: none
    bool artworkEmbedded = false;  // the image is the one inside `artworkSource`
    // Where the track stood as it was posted, asked only for the local
    // overlay: its length in seconds, its position in milliseconds (-1: not
    // asked) and the moment of that answer, in milliseconds since 1970 (UTC).
    int lengthSeconds = 0;
    int positionMs = -1;
    UnixTime positionAt;
};

// A record of `title` alone, as the mode posts it: UTF-8 in Unicode mode,
// ANSI otherwise.
inline TrackRecord TitleRecord(const char* title, bool unicode)
{
    TrackRecord record;
    record.playerTitle = title;
    record.charset = unicode ? TitleCharset::kUtf8 : TitleCharset::kAnsi;
    return record;
}

// The record's title with every character the player gave, UTF-8: what the
// files on the user's disk hold.
inline std::string WholeTitle(const TrackRecord& record)
{
    return record.wideTitle.empty() ? AsUtf8(record.playerTitle.c_str(), record.charset)
                                    : record.wideTitle;
}
