// Reading the streamer keys. The file is chosen under the settings lock, as
// ReadSettings chooses it; the values are then read from a copy of its path,
// so the lock is held only for the choice.
#include "config/streamer_settings.h"

#include <windows.h>

#include <cstring>

#include "common/ascii_case.h"
#include "config/module_paths.h"
#include "config/settings.h"
#include "config/settings_lock.h"
#include "plugin/plugin.h"

namespace {

// Room for any switch word and a little more, so a longer value is cut to
// something that still differs from all of them.
constexpr DWORD kSwitchSize = 16;
// A path or a text as long as a setting may be.
constexpr DWORD kTextSize = kSettingSize;
// What a missing key reads as: a control character no one types into a
// settings file, so an empty value stays distinguishable from no key.
const char kAbsent[] = "\x01";
const char kLogName[] = "tunewire.log";

std::string ReadText(const char* key, const char* file, const char* fallback)
{
    char value[kTextSize] = {};
    GetPrivateProfileStringA(kProductName, key, fallback, value, kTextSize, file);
    return value;
}

bool ReadSwitch(const char* key, const char* file)
{
    char value[kSwitchSize] = {};
    GetPrivateProfileStringA(kProductName, key, "", value, kSwitchSize, file);
    return IsSwitchOn(value);
}

}  // namespace

bool IsSwitchOn(const char* value)
{
    for (const char* word : {"1", "yes", "true", "on"})
        if (EqualsIgnoringAsciiCase(value, word))
            return true;
    return false;
}

StreamerSettings ReadStreamerSettings()
{
    char file[kPathSize] = {};
    {
        SettingsLock lock;
        std::strncpy(file, SettingsFileInUse(), kPathSize - 1);
    }
    StreamerSettings settings;
    if (file[0] == '\0')
        return settings;
    settings.quiet = ReadSwitch("Quiet", file);
    settings.streams = ReadSwitch("Streams", file);
    settings.instant = ReadSwitch("Instant", file);
    settings.titleFile = ReadText("TitleFile", file, "");
    settings.stoppedText = ReadText("StoppedText", file, kAbsent);
    settings.stoppedTextSet = settings.stoppedText != kAbsent;
    if (!settings.stoppedTextSet)
        settings.stoppedText.clear();
    ReplaceFileName(file, kLogName);
    settings.logFile = file;
    return settings;
}
