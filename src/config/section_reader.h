// The one reading of plugin.ini's text, straight from the file's bytes, for
// every key the plugin keeps there: the reader below and the editor in
// config/optin_file.h split and classify lines through the same functions, so
// a key the editor writes is the key the reader finds. The platform's
// private-profile functions cannot serve: on Windows they read and rewrite the
// whole file through the ANSI code page, which mangles the UTF-8 that other
// keys hold on double-byte code pages, and take a UTF-8 byte-order mark for
// part of the first section's name.
//
// The rules, for a file edited by hand:
// - Lines end at a line feed, with or without a carriage return before it;
//   blanks (spaces, tabs) around names and values do not count.
// - A UTF-8 byte-order mark at the start is skipped, and kept by the editor.
// - "[Name]" opens a section; its name ends at the first ']' and any letter
//   case matches. A line that opens with '[' but has no ']' (a lone '[' too)
//   opens nothing: it is a line of the section it stands in, as the
//   platform's functions read it.
// - Only the first section named "WinAmp Tunewire Basic" counts; a repeated
//   one is ignored by the reader and left as it is by the editor, as the
//   platform's functions look only in the first.
// - In that section, "Key=Value" sets a key. A line with text but no '='
//   names a key without a value, which reads as absent (its default), as the
//   platform reads it. The first line of a key wins; the editor rewrites that
//   line and drops later ones.
// - One pair of matching quotes (" or ') around a value is not part of it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The whole file into `bytes`. Returns 0, with `bytes` empty for a missing
// file, or the platform's error code, with `bytes` empty: among them
// ERROR_FILE_TOO_LARGE past a megabyte and ERROR_UNSUPPORTED_TYPE for a file
// in UTF-16. With `utf16`, a file in UTF-16 (Notepad's "Unicode", little-
// endian with its mark) is read as its text in UTF-8 instead, and `*utf16`
// says so.
DWORD ReadSettingsFileBytes(const wchar_t* file, std::string& bytes, bool* utf16 = nullptr);

// A run of a settings file's bytes.
struct TextSpan {
    size_t start = 0;
    size_t length = 0;
};

// One line of a settings file as the rules above read it, as spans of the
// file's bytes, so that splitting a file copies none of them.
struct SettingsLine {
    TextSpan text;            // the line's bytes with its own line ending
    bool opensSection = false;
    bool inOurSection = false;  // a line of the first plugin section, not its header
    bool opensOurSection = false;
    TextSpan key;             // of a line in our section; empty: no key
    bool hasValue = false;    // the line has an '='
    TextSpan value;           // that key's value
};

// `bytes` without a leading byte-order mark, which goes into `mark`, split
// into lines that together give back the rest byte for byte.
std::vector<SettingsLine> SplitSettingsLines(const std::string& bytes, std::string& mark);

// The bytes of `span` in `bytes`.
std::string SpanText(const std::string& bytes, const TextSpan& span);

// The raw value of `key` (any letter case) in the plugin's section of
// `bytes`. False when there is no such key, or it has no value.
bool FindSectionValue(const std::string& bytes, const char* key, std::string& value);

// Whether the plugin's section of `bytes` holds at least one key.
bool SectionHasKeys(const std::string& bytes);

// The plugin's section of `bytes`, its header line and every line up to the
// next section, byte for byte; empty when there is none.
std::string SectionBytes(const std::string& bytes);

// A raw value as text: read as UTF-8 when it is valid UTF-8 with a byte above
// 0x7F, else through `codePage` (the ANSI code page in the plugin). At most
// `size` - 1 characters are kept, never half a surrogate pair.
void DecodeSettingText(const std::string& value, UINT codePage, wchar_t* text, int size);
