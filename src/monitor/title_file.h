// The TitleFile key: the current title in a local file that a streaming
// program reads as a text source. The file holds the title alone, in UTF-8
// without a byte-order mark. It is replaced whole; only while a reader holds
// it open, which makes every replacement fail, is it rewritten in place.
#pragma once

#include <windows.h>

#include <string>

// Writes `utf8Title` to the title file `path` after expanding its environment
// variables; a relative path is taken in `baseFolder` (with its trailing
// backslash), and missing folders on the way are made. Returns 0, or the
// platform's error code; `written` (kPathSize units) receives the full path,
// for the report of a failure.
DWORD WriteTitleFile(const wchar_t* path, const wchar_t* baseFolder, const std::string& utf8Title,
                     wchar_t* written);

// The full path (kPathSize units) that WriteTitleFile writes for `path`;
// 0, or the platform's error code for a path that is too long.
DWORD OutputFilePath(const wchar_t* path, const wchar_t* baseFolder, wchar_t* full);
