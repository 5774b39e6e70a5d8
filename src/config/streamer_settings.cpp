// Reading the streamer keys. The file is chosen under the settings lock, as
// ReadSettings chooses it; its bytes are then read once, from a copy of its
// path, so the lock is held only for the choice.
#include "config/streamer_settings.h"

#include <windows.h>

#include <string>

#include "common/ascii_case.h"
#include "config/section_reader.h"
#include "config/settings_lock.h"

namespace {

bool ReadSwitch(const std::string& bytes, const char* key)
{
    std::string value;
    return FindSectionValue(bytes, key, value) && IsSwitchOn(value.c_str());
}

// False when the key is absent; `text` is then left empty.
bool ReadText(const std::string& bytes, const char* key, wchar_t* text)
{
    std::string value;
    if (!FindSectionValue(bytes, key, value))
        return false;
    DecodeSettingText(value, CP_ACP, text, kSettingSize);
    return true;
}

bool ServerChosen(const std::string& bytes)
{
    std::string server;
    if (!FindSectionValue(bytes, "ServerName", server))
        return false;
    return !server.empty() && !EqualsIgnoringAsciiCase(server.c_str(), kDefaultServerName);
}

}  // namespace

bool IsSwitchOn(const char* value)
{
    for (const char* word : {"1", "yes", "true", "on"})
        if (EqualsIgnoringAsciiCase(value, word))
            return true;
    return false;
}

const char kArtworkStampKey[] = "ArtworkStamp";

bool HasLocalOutput(const StreamerSettings& settings)
{
    return settings.titleFile[0] != L'\0' || settings.artworkFile[0] != L'\0';
}

StreamerSettings ReadStreamerSettings()
{
    StreamerSettings settings;
    wchar_t file[kPathSize] = {};
    {
        SettingsLock lock;
        lstrcpynW(file, SettingsFileInUse(), kPathSize);
    }
    if (file[0] == L'\0')
        return settings;
    std::string bytes;
    ReadSettingsFileBytes(file, bytes);
    settings.quiet = ReadSwitch(bytes, "Quiet");
    settings.streams = ReadSwitch(bytes, "Streams");
    settings.instant = ReadSwitch(bytes, "Instant");
    ReadText(bytes, "TitleFile", settings.titleFile);
    settings.stoppedTextSet = ReadText(bytes, "StoppedText", settings.stoppedText);
    settings.serverChosen = ServerChosen(bytes);
    ReadText(bytes, "TitleFormat", settings.titleFormat);
    settings.postFields = ReadSwitch(bytes, "PostFields");
    ReadText(bytes, "ArtworkFile", settings.artworkFile);
    std::string stamp;
    if (FindSectionValue(bytes, kArtworkStampKey, stamp))
        lstrcpynA(settings.artworkStamp, stamp.c_str(), sizeof settings.artworkStamp);
    lstrcpyW(settings.settingsFolder, file);
    ReplaceWideFileName(settings.settingsFolder, L"");
    lstrcpyW(settings.logFile, file);
    ReplaceWideFileName(settings.logFile, L"tunewire.log");
    return settings;
}
