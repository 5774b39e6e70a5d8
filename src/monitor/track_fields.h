// The playing file's tags, asked of the player once per new track through
// its extended file information: in Unicode mode each tag first in wide
// texts (3026), then, where an older player answers 0, in ANSI (290).
#pragma once

#include <windows.h>

#include "monitor/track_record.h"

// `file` and `wideFile` are the playing entry's name in the mode's form (the
// other is ignored). Each tag is cut at the host's 260-character limit.
void AskTrackFields(HWND host, const char* file, const wchar_t* wideFile, bool unicode,
                    TrackFields& fields);
