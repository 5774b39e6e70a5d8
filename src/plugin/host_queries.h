// The window-message queries the plugin sends to the host's main window:
// SendMessageA(parentWindow, WM_USER, argument, code). Shared with the player
// stand-in, which answers them.
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
