// The embedded cover of a file on disk: embedded_cover's reader over a file
// opened for reading, shared so the player may go on writing or moving it.
#pragma once

#include <string>

// The front cover (else the first picture) in the tags of `mediaFile` into
// `picture`; false, with `picture` empty, for a URL, a file that cannot be
// opened, and one without a JPEG or PNG picture (see embedded_cover.h).
bool FindEmbeddedCoverInFile(const wchar_t* mediaFile, std::string& picture);
