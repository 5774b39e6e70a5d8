// The track-change monitor. It keeps all of its state on its own stack and
// allocates nothing; it shares only its run's stop flag (and, through
// PostTrack, the settings) with the host's thread.
//
// A new track is a playing turn whose length is positive and whose length or
// position differs from the previous playing turn, with a file name other than
// the last one posted. Every pause waits on the run's stop event, so quit
// wakes a pausing monitor at once; the flag is checked after each pause before
// any further query.
#include "monitor/track_monitor.h"

#include <cstring>

#include "common/bounded_copy.h"
#include "monitor/monitor_run.h"
#include "plugin/host_queries.h"
#include "post/post_track.h"

namespace {

// The player is asked once a second while it plays, every two seconds while not.
constexpr DWORD kPauseMs = 1000;
// Texts from the host are copied at once and cut here: the host's own limit.
constexpr int kTextLimit = 260;

struct MonitorState {
    HWND host = nullptr;
    HANDLE stopEvent = nullptr;
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

bool StopRequested(const MonitorRun& run)
{
    return run.stopRequested.load() != 0;
}

void Pause(HANDLE stopEvent)
{
    if (stopEvent != nullptr)
        WaitForSingleObject(stopEvent, kPauseMs);
    else
        Sleep(kPauseMs);
}

void CopyHostText(char* destination, LRESULT answer)
{
    CopyBounded(destination, reinterpret_cast<const char*>(answer), destination + kTextLimit);
}

// How a playing turn ended. Most leave their pause to the loop; the turn that
// finds the last posted file again has paused already, and the loop goes
// straight back to its check of the flag.
enum class TurnEnd { kPauseFollows, kAlreadyPaused };

// One turn after the player answered "playing".
TurnEnd PlayingTurn(MonitorState& s)
{
    s.previousLength = s.currentLength;
    s.previousPosition = s.currentPosition;
    s.currentLength = static_cast<int>(Ask(s.host, 1, kQueryTrackLength));
    s.currentPosition = static_cast<int>(Ask(s.host, 0, kQueryPlaylistPosition));

    if (s.currentLength <= 0)
        return TurnEnd::kPauseFollows;
    if (s.currentLength == s.previousLength && s.currentPosition == s.previousPosition)
        return TurnEnd::kPauseFollows;

    LRESULT file = Ask(s.host, s.currentPosition, kQueryFileName);
    if (file != 0)
        CopyHostText(s.currentFile, file);
    if (std::strcmp(s.currentFile, s.lastPostedFile) == 0) {
        Pause(s.stopEvent);
        return TurnEnd::kAlreadyPaused;
    }

    LRESULT title = Ask(s.host, s.currentPosition, kQueryTitle);
    if (title == 0)
        return TurnEnd::kPauseFollows;
    CopyHostText(s.title, title);
    PostTrack(s.title, kUseStoredSettings, kUseStoredSettings);
    CopyBounded(s.lastPostedFile, s.currentFile, s.lastPostedFile + kTextLimit);
    s.title[0] = '\0';
    return TurnEnd::kPauseFollows;
}

void RunMonitor(const MonitorRun& run)
{
    MonitorState state;
    state.host = run.host;
    state.stopEvent = run.stopEvent.Get();
    while (!StopRequested(run)) {
        if (Ask(state.host, 0, kQueryIsPlaying) == 1) {
            if (PlayingTurn(state) == TurnEnd::kAlreadyPaused)
                continue;
        } else {
            // A player that does not play is asked every two seconds: this
            // pause and the one every turn ends with.
            Pause(state.stopEvent);
        }
        if (!StopRequested(run))
            Pause(state.stopEvent);
    }
}

}  // namespace

DWORD WINAPI TrackMonitorThread(LPVOID parameter)
{
    MonitorRun* run = static_cast<MonitorRun*>(parameter);
    const HMODULE module = run->module;
    // An exception leaving a thread procedure ends the player's process.
    // PostTrack lets none out and the loop itself raises none; this is the
    // last line, and the thread then ends as after a stop.
    try {
        RunMonitor(*run);
    } catch (...) {
    }
    ReleaseMonitorRun(run);
    FreeLibraryAndExitThread(module, 0);
}
