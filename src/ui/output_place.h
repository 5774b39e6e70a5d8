// Where the Enhanced Features dialog's output files go, as the dialog shows
// it: the path resolved exactly as the monitor resolves the path it writes,
// and the address a browser opens a file beside it by.
#pragma once

#include <string>

// The full path (kPathSize units) the monitor writes for the output file
// `typed` (TitleFile, ArtworkFile, as typed): environment variables expanded,
// a relative name taken in the folder of the settings file in use. False
// when `typed` is empty or the path too long.
bool OutputPathOf(const wchar_t* typed, wchar_t* full);

// `path` (UTF-8) as a browser's file address: file:///C:/...
// (file://server/... for a network path), each byte that an address's path
// cannot hold as it is percent-encoded.
std::string FileAddress(const std::string& path);
