// The Unicode-mode switch. The value is kept in an atomic flag rather than a
// text buffer: the monitor samples it once per track change, the dialog at
// each Test, and neither needs the settings lock for a single flag.
#include "config/charset_setting.h"

#include <windows.h>

#include <atomic>

#include "common/ascii_case.h"
#include "plugin/plugin.h"

const char kCharsetKey[] = "Charset";
const char kCharsetUtf8[] = "utf-8";

namespace {

// Room for the one value that counts and a little more, so a longer value is
// cut to something that still differs from it.
constexpr DWORD kValueSize = 16;

std::atomic<bool> g_unicodeMode{false};

}  // namespace

void ReadCharsetSetting(const char* settingsFile)
{
    char value[kValueSize] = {};
    // No settings file beside the module: the default mode, as for a file
    // without the key.
    if (settingsFile[0] != '\0')
        GetPrivateProfileStringA(kProductName, kCharsetKey, "", value, kValueSize, settingsFile);
    g_unicodeMode = IsUtf8Charset(value);
}

bool IsUtf8Charset(const char* value)
{
    return EqualsIgnoringAsciiCase(value, kCharsetUtf8);
}

bool IsUnicodeMode()
{
    return g_unicodeMode.load();
}
