// The opt-in Unicode mode, switched on by "Charset=utf-8" (any letter case) in
// the plugin's own section of plugin.ini. ReadSettings refreshes it together
// with the two settings, from the same file; nothing in the plugin ever writes
// the key, so a store at OK or at quit leaves it as the user wrote it.
#pragma once

// Reads the key from `settingsFile`. A missing key or any other value means
// the default mode, and so does an empty file name (no path beside the module).
void ReadCharsetSetting(const wchar_t* settingsFile);

// The mode as last read. Safe to call from any thread.
bool IsUnicodeMode();
