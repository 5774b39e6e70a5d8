// The window-message queries the plugin sends to the host's main window:
// SendMessageA(parentWindow, WM_USER, argument, code). Shared with the player
// stand-in, which answers them. Also the notifications the player itself
// sends that window when something changes, as the same message.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr UINT kHostQueryMessage = WM_USER;

enum HostQuery : LPARAM {
    kQueryIsPlaying = 104,         // wParam 0; exactly 1 means playing
    kQueryTrackLength = 105,       // wParam 1: the track's length in seconds; wParam 0
                                   // (kPositionArgument): its position in milliseconds
    kQueryPlaylistPosition = 125,  // wParam 0; current playlist entry
    kQueryFileName = 211,          // wParam position; address of the file name, or null
    kQueryTitle = 212,             // wParam position; address of the display title, or null
    kQueryWideTitle = 213,         // as 212, a wide text; null from older players
    kQueryWideFileName = 214,      // as 211, a wide text; null from older players
    kQueryExtendedFileInfo = 290,  // wParam an ExtendedFileInfoQuery; 1 when a decoder took it
    kQueryWideExtendedFileInfo = 3026,  // wParam a WideExtendedFileInfoQuery; 0 from older players
};

// The argument of kQueryTrackLength that asks the playing position instead.
constexpr WPARAM kPositionArgument = 0;
// What kQueryIsPlaying answers while the player is paused.
constexpr LRESULT kPausedAnswer = 3;

// A tag of a file ("artist", "title", ...) asked of the player. An answer of
// 1 says only that a decoder took the call, not that it wrote `ret`: the
// asker clears `ret` first. `retlen` counts characters, the zero included.
struct ExtendedFileInfoQuery {
    const char* filename;
    const char* metadata;
    char* ret;
    size_t retlen;
};

struct WideExtendedFileInfoQuery {
    const wchar_t* filename;
    const wchar_t* metadata;
    wchar_t* ret;
    size_t retlen;
};

// The player reads these at fixed places: four pointer-sized fields, so the
// 64-bit test bed lays them out as the 32-bit player does, field for field.
static_assert(sizeof(ExtendedFileInfoQuery) == 4 * sizeof(void*), "four pointer-sized fields");
static_assert(sizeof(WideExtendedFileInfoQuery) == 4 * sizeof(void*), "four pointer-sized fields");
static_assert(offsetof(ExtendedFileInfoQuery, retlen) == 3 * sizeof(void*), "retlen last");
static_assert(offsetof(WideExtendedFileInfoQuery, retlen) == 3 * sizeof(void*), "retlen last");

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
