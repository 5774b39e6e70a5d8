// The playing file's tags, asked of the player once per new track through
// its extended file information: in Unicode mode each tag first in wide
// texts (3026), then, where an older player answers 0, in ANSI (290). Each
// query crosses to the player's thread, so only the tags in use are asked:
// artist, title and album, which the post and the overlay carry, and any
// other that the title format names.
#pragma once

#include <windows.h>

#include <string>

#include "monitor/track_record.h"

// `file` and `wideFile` are the playing entry's name in the mode's form (the
// other is ignored); `utf8Format` the title format, empty for none. Each tag
// is cut at the host's 260-character limit; one not asked stays empty.
void AskTrackFields(HWND host, const char* file, const wchar_t* wideFile, bool unicode,
                    const std::string& utf8Format, TrackFields& fields);
