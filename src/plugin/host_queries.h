// The window-message queries the plugin sends to the host's main window:
// SendMessageA(parentWindow, WM_USER, argument, code). Shared with the player
// stand-in, which answers them. Also the notifications the player itself
// sends that window when something changes, as the same message.
#pragma once

#include <windows.h>

constexpr UINT kHostQueryMessage = WM_USER;

enum HostQuery : LPARAM {
    kQueryIsPlaying = 104,         // wParam 0; exactly 1 means playing
    kQueryTrackLength = 105,       // wParam 1; current track's length
    kQueryPlaylistPosition = 125,  // wParam 0; current playlist entry
    kQueryFileName = 211,          // wParam position; address of the file name, or null
    kQueryTitle = 212,             // wParam position; address of the display title, or null
    kQueryWideTitle = 213,         // as 212, a wide text; null from older players
    kQueryWideFileName = 214,      // as 211, a wide text; null from older players
};

enum HostNotification : LPARAM {
    kNotifyChange = 603,           // wParam says what changed: one of HostChange
    kNotifyPlayingFile = 3003,     // a file starts; wParam the address of its name
    kNotifyPlayingWideFile = 13003,  // as 3003, a wide text; not from older players
};

enum HostChange : WPARAM {
    kChangeTitle = 0,   // the current entry's title
    kChangeStatus = 2,  // playing, paused or stopped
};

// True for the notifications that may mean a new track: a change of title or
// of play status, or a file that starts.
inline bool IsTrackNotification(WPARAM argument, LPARAM code)
{
    if (code == kNotifyChange)
        return argument == kChangeTitle || argument == kChangeStatus;
    return code == kNotifyPlayingFile || code == kNotifyPlayingWideFile;
}
