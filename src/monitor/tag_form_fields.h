// The PostFields key: the tags posted beside the title, as
// "&artist=...&album=...&song=..." after the form's other fields, each value
// in the post's charset (UTF-8, or the ANSI code page) and encoded as the
// title is. `song` is the tag title.
#pragma once

#include <string>

#include "monitor/track_record.h"

// Empty for a record without tags (a stream's title, the stop text).
std::string TagFormFields(const TrackRecord& record);
