// The opt-in keys for streamers and radio listeners: Quiet, TitleFile,
// StoppedText, Streams, Instant, TitleFormat, PostFields and ArtworkFile, in
// the plugin's section of the settings file in use. They are read afresh at
// each moment the monitor needs them, never cached and never written, so an
// edit takes effect at the next track;
// Instant alone is read at init, and takes effect at the player's next start.
// The texts are read from the file's bytes (config/section_reader.h), so
// UTF-8 typed in Notepad reads as typed, and paths are wide from end to end.
#pragma once

#include "config/module_paths.h"
#include "config/settings.h"

struct StreamerSettings {
    bool quiet = false;                    // no boxes from the monitor: a log and retries
    bool streams = false;                  // post titles of entries of unknown length
    wchar_t titleFile[kSettingSize] = {};  // as written, variables not yet expanded; empty: none
    bool stoppedTextSet = false;           // the key is present, even with an empty value
    wchar_t stoppedText[kSettingSize] = {};
    bool serverChosen = false;             // ServerName is neither empty nor the placeholder
    wchar_t settingsFolder[kPathSize] = {};  // of the settings file in use, with its backslash
    wchar_t logFile[kPathSize] = {};       // tunewire.log in that folder
    bool instant = false;                  // the player's notifications wake the monitor
    wchar_t titleFormat[kSettingSize] = {};  // the title file's text from the tags; empty: none
    bool postFields = false;               // the tags are posted beside the title
    wchar_t artworkFile[kSettingSize] = {};  // where the folder image is copied; empty: none
    char artworkStamp[64] = {};  // the stamp of the copy the plugin wrote there last
};

// The key that remembers the stamp of the cover copy the plugin wrote.
extern const char kArtworkStampKey[];

// The keys from the settings file in use; all off when there is none.
StreamerSettings ReadStreamerSettings();

// Whether a file on the user's own disk is kept (TitleFile or ArtworkFile):
// those files keep every character, whatever the mode posts.
bool HasLocalOutput(const StreamerSettings& settings);

// "1", "yes", "true" or "on", in any letter case.
bool IsSwitchOn(const char* value);
