// The Unicode-mode switch. The value is kept in an atomic flag rather than a
// text buffer: the monitor samples it once per track change, the dialog at
// each Test, and neither needs the settings lock for a single flag.
#include "config/charset_setting.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "common/ascii_case.h"
#include "config/section_reader.h"

const char kCharsetKey[] = "Charset";
const char kCharsetUtf8[] = "utf-8";

namespace {

std::atomic<bool> g_unicodeMode{false};

}  // namespace

void ReadCharsetSetting(const wchar_t* settingsFile)
{
    // No settings file beside the module: the default mode, as for a file
    // without the key.
    std::string bytes;
    std::string value;
    g_unicodeMode = settingsFile[0] != L'\0' && ReadSettingsFileBytes(settingsFile, bytes) == 0 &&
                    FindSectionValue(bytes, kCharsetKey, value) && IsUtf8Charset(value.c_str());
}

bool IsUtf8Charset(const char* value)
{
    return EqualsIgnoringAsciiCase(value, kCharsetUtf8);
}

bool IsUnicodeMode()
{
    return g_unicodeMode.load();
}
