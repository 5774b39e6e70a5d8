// The opt-in Unicode mode, switched on by "Charset=utf-8" (any letter case) in
// the plugin's own section of plugin.ini. ReadSettings refreshes it together
// with the two settings, from the same file; only the Enhanced Features
// dialog writes the key, so a store at OK or at quit leaves it as it is.
#pragma once

// Reads the key from `settingsFile`. A missing key or any other value means
// the default mode, and so does an empty file name (no path beside the module).
void ReadCharsetSetting(const wchar_t* settingsFile);

// The mode as last read. Safe to call from any thread.
bool IsUnicodeMode();

// The key, the value that turns the mode on, and whether a value does, for
// the Enhanced Features dialog, which writes the key.
extern const char kCharsetKey[];
extern const char kCharsetUtf8[];
bool IsUtf8Charset(const char* value);
