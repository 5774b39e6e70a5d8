// The opt-in keys for streamers and radio listeners: Quiet, TitleFile,
// StoppedText, Streams and Instant, in the plugin's section of the settings
// file in use. They are read afresh at each moment the monitor needs them,
// never cached and never written, so an edit takes effect at the next track;
// Instant alone is read at init, and takes effect at the player's next start.
#pragma once

#include <string>

struct StreamerSettings {
    bool quiet = false;           // no boxes from the monitor: a log and retries
    bool streams = false;         // post titles of entries of unknown length
    std::string titleFile;        // as written, variables not yet expanded; empty: none
    bool stoppedTextSet = false;  // the key is present, even with an empty value
    std::string stoppedText;      // ANSI, as the settings file holds it
    std::string logFile;          // tunewire.log beside the settings file in use
    bool instant = false;         // the player's notifications wake the monitor
};

// The keys from the settings file in use; all off when there is none.
StreamerSettings ReadStreamerSettings();

// "1", "yes", "true" or "on", in any letter case.
bool IsSwitchOn(const char* value);
