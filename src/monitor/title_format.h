// The TitleFormat key's text made into a line: the tags of the playing track
// put into the user's format, for the title file, the overlay's one-line text
// and the Enhanced Features dialog's preview.
#pragma once

#include <string>

#include "monitor/track_record.h"

// The line `utf8Format` gives for `record`, in UTF-8.
// - `%artist%`, `%title%`, `%album%`, `%albumartist%`, `%year%`, `%track%`,
//   `%genre%` are the tags; `%player_title%` is the player's own title. Names
//   match in any letter case. `%title%` is the player's title when the tag is
//   empty (no tags, a stream), so a playing track never gives an empty line.
// - `%%` is one percent sign. Any other `%` (an unknown name, one left open)
//   is itself, and what follows it is read afresh: `%foo%artist%` gives
//   `%foo` and the artist.
// - `[...]` shows its inside only when each field directly inside it is
//   non-empty; a group nested in it decides for itself alone (so a group
//   whose fields are all in nested groups always shows). A pair of brackets
//   with no field inside at all, a `[` never closed and a `]` never opened
//   are text: `[Live] %title%` keeps its brackets.
// - An empty format is the player's title.
// A stop text is returned as it is, in UTF-8: never formatted, never cut.
// Any other line is cut after 260 UTF-16 units, as the player cuts a title, never
// inside a character; bytes that are not UTF-8 become U+FFFD.
std::string FormatTitle(const std::string& utf8Format, const TrackRecord& record);
