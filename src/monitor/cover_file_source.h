// The embedded cover of a file on disk: embedded_cover's reader over a file
// opened for reading, shared so the player may go on writing or moving it.
#pragma once

#include <cstdint>
#include <string>

#include "common/unique_handle.h"

// `file` opened for reading, shared so the player may go on writing, moving
// or deleting it, with its size; an empty handle when it cannot be opened.
UniqueHandle OpenSharedForReading(const wchar_t* file, uint64_t& size);

// The front cover (else the first picture) in the tags of `mediaFile` into
// `picture`; false, with `picture` empty, for a URL, a file that cannot be
// opened, and one without a JPEG or PNG picture (see embedded_cover.h).
bool FindEmbeddedCoverInFile(const wchar_t* mediaFile, std::string& picture);
