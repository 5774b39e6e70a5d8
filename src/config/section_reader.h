// A small reader of the plugin's own section, straight from the settings
// file's bytes, for the text keys the plugin added (StoppedText, TitleFile
// and any text key to come). The platform's private-profile reader cannot
// serve them: on Windows it reads a file without a byte-order mark through
// the ANSI code page, which mangles the UTF-8 that Notepad saves by default,
// and it takes a UTF-8 byte-order mark for part of the first section's name.
#pragma once

#include <windows.h>

#include <string>

// The whole file into `bytes`. Returns 0, with `bytes` empty for a missing
// file, or the platform's error code, with `bytes` empty: among them
// ERROR_FILE_TOO_LARGE past a megabyte and ERROR_UNSUPPORTED_TYPE for a file
// in UTF-16.
DWORD ReadSettingsFileBytes(const wchar_t* file, std::string& bytes);

// The raw value of `key` in the plugin's section of `bytes`, found as the
// private-profile functions find it: section and key names in any letter
// case, blanks around names and values dropped, one pair of matching quotes
// around the value dropped, the first occurrence winning. A UTF-8
// byte-order mark at the start is skipped. False when there is no such key.
bool FindSectionValue(const std::string& bytes, const char* key, std::string& value);

// A raw value as text: read as UTF-8 when it is valid UTF-8 with a byte above
// 0x7F, else through `codePage` (the ANSI code page in the plugin). At most
// `size` - 1 characters are kept, never half a surrogate pair.
void DecodeSettingText(const std::string& value, UINT codePage, wchar_t* text, int size);
