// Replacing a file's bytes so that a reader never finds it empty or half
// written, while still getting through to a reader that holds the file open.
// Used for every file the plugin writes whole: the title file, the overlay's
// data, the cover copy and the settings file.
#pragma once

#include <windows.h>

#include <string>

// Room a caller leaves after a path for the temporary file's suffix.
constexpr int kReplaceSuffixLength = 13;

// `bytes` into `path` (created when missing). Returns 0 or the platform's
// error code. ERROR_SHARING_VIOLATION (or ERROR_LOCK_VIOLATION) means a
// reader held the file throughout and shared no writing: the file is as it
// was and a later try may pass. Any other error means the folder or the file
// refuses the write.
DWORD ReplaceFileBytes(const wchar_t* path, const std::string& bytes);

// Whether `error` from ReplaceFileBytes says that a reader held the file.
bool IsHeldByReader(DWORD error);
