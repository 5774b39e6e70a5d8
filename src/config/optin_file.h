// The opt-in keys in the plugin's section of a settings file, read from and
// written to the file's own bytes, so a text value keeps every character as
// UTF-8 whatever the ANSI code page: the private-profile functions would pass
// it through that code page both ways.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A key's value as its bytes in the file; no value: the key is absent.
using OptInValue = std::optional<std::string>;
// Key names with their values, in the order they are to be written. A short
// list, not a map: a map's code would cost the DLL a few kilobytes.
using OptInValues = std::vector<std::pair<std::string, OptInValue>>;

// The value of `key` (any letter case) in `values`; nullptr when not listed.
const OptInValue* FindOptIn(const OptInValues& values, const std::string& key);

// The values of the keys `names` in the plugin's section of `fileBytes`, as
// FindSectionValue finds them.
OptInValues ParseOptInKeys(const std::string& fileBytes, const std::vector<std::string>& names);

// `fileBytes` with each key of `changes` set (a value) or removed (none);
// every other line stays as it was, and so does the line of a key whose value
// is already the one asked for. A new key goes after the section's last
// line with text, a missing section at the end of the file.
std::string EditOptInKeys(const std::string& fileBytes, const OptInValues& changes);

// Files are named in UTF-8; they are read with ReadSettingsFileBytes
// (config/section_reader.h).
// Replaces the file's bytes (common/replace_file.h), trying again for a moment
// while a reader holds it. Returns 0 or the platform's error code; a reader
// that held it throughout gives ERROR_SHARING_VIOLATION or
// ERROR_LOCK_VIOLATION (IsHeldByReader).
unsigned long ReplaceSettingsBytes(const std::string& file, const std::string& bytes);
