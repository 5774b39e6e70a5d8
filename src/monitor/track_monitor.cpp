// The track-change monitor. It keeps all of its state on its own stack and
// allocates nothing; it shares only the stop flag (and, through PostTrack, the
// settings) with the host's thread.
//
// A new track is a playing turn whose length is positive and whose length or
// position differs from the previous playing turn, with a file name other than
// the last one posted. Every pause waits on the stop event, so quit wakes a
// pausing monitor at once; the flag is checked after each pause before any
// further query.
#include "monitor/track_monitor.h"

#include <cstring>

#include "common/bounded_copy.h"
#include "plugin/host_queries.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin.h"
#include "post/post_track.h"

namespace {

// The player is asked once a second while it plays, every two seconds while not.
constexpr DWORD kPauseMs = 1000;
// Texts from the host are copied at once and cut here: the host's own limit.
constexpr int kTextLimit = 260;

struct MonitorState {
    HWND host = nullptr;
    int currentLength = 0;
    int previousLength = 0;
    int currentPosition = 0;
    int previousPosition = 0;
    char currentFile[kTextLimit + 1] = {};
    char lastPostedFile[kTextLimit + 1] = {};
    char title[kTextLimit + 1] = {};
};

LRESULT Ask(HWND host, WPARAM argument, HostQuery query)
{
    return SendMessageA(host, kHostQueryMessage, argument, query);
}

bool StopRequested()
{
    return g_stopRequested.load() != 0;
}

void Pause()
{
    HANDLE stopEvent = GetStopEvent();
    if (stopEvent != nullptr)
        WaitForSingleObject(stopEvent, kPauseMs);
    else
        Sleep(kPauseMs);
}

void CopyHostText(char* destination, LRESULT answer)
{
    CopyBounded(destination, reinterpret_cast<const char*>(answer), destination + kTextLimit);
}

// One turn after the player answered "playing". Returns false when the turn
// already paused and the flag is to be checked before anything else.
bool PlayingTurn(MonitorState& s)
{
    s.previousLength = s.currentLength;
    s.previousPosition = s.currentPosition;
    s.currentLength = static_cast<int>(Ask(s.host, 1, kQueryTrackLength));
    s.currentPosition = static_cast<int>(Ask(s.host, 0, kQueryPlaylistPosition));

    if (s.currentLength <= 0)
        return true;
    if (s.currentLength == s.previousLength && s.currentPosition == s.previousPosition)
        return true;

    LRESULT file = Ask(s.host, s.currentPosition, kQueryFileName);
    if (file != 0)
        CopyHostText(s.currentFile, file);
    if (std::strcmp(s.currentFile, s.lastPostedFile) == 0) {
        Pause();
        return false;
    }

    LRESULT title = Ask(s.host, s.currentPosition, kQueryTitle);
    if (title == 0)
        return true;
    CopyHostText(s.title, title);
    PostTrack(s.title, kUseStoredSettings, kUseStoredSettings);
    CopyBounded(s.lastPostedFile, s.currentFile, s.lastPostedFile + kTextLimit);
    s.title[0] = '\0';
    return true;
}

void RunMonitor()
{
    MonitorState state;
    state.host = g_pluginDescriptor.parentWindow;
    while (!StopRequested()) {
        if (Ask(state.host, 0, kQueryIsPlaying) == 1) {
            if (!PlayingTurn(state))
                continue;
        } else {
            Pause();
        }
        if (!StopRequested())
            Pause();
    }
}

}  // namespace

DWORD WINAPI TrackMonitorThread(LPVOID)
{
    RunMonitor();
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&TrackMonitorThread), &self);
    FreeLibraryAndExitThread(self, 0);
}
