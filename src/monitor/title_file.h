// The TitleFile key: the current title in a local file that a streaming
// program reads as a text source. The file holds the title alone, in UTF-8
// without a byte-order mark, and is replaced whole, never rewritten in place.
#pragma once

#include <windows.h>

#include <string>

// Writes `utf8Title` to `path` after expanding its environment variables.
// Returns 0, or the platform's error code; `expanded` receives the path as
// written to, for the report of a failure.
DWORD WriteTitleFile(const std::string& path, const std::string& utf8Title,
                     std::string& expanded);
