// The track-change monitor. It keeps all of its state on its own stack; it
// shares only its run's stop flag (and, through PostTrack, the settings) with
// the host's thread.
//
// A new track is a playing turn whose length is positive and whose length or
// position differs from the previous playing turn, with a file name other than
// the last one posted. Every pause waits on the run's stop event, so quit
// wakes a pausing monitor at once; the flag is checked after each pause before
// any further query.
//
// In Unicode mode the turn is the same, query for query, with the wide
// queries in place of the ANSI ones: file names are compared as the player's
// wide texts and the title is posted as UTF-8.
//
// The opt-in keys for streamers each have one point in the turn: a new
// track's record (its tags and cover, and the wide texts while a local file
// is kept, asked only when a key needs them) is built in CompleteRecord,
// every post goes through PostMonitorTitle (the local files, quiet log,
// retries), a stream entry's turn is StreamTurn, every turn's playing answer
// goes to the stopped text and to FollowProgress (the local overlay's
// progress), and every turn ends in FinishTurn, which alone runs or ends what
// is still to be tried again. A turn begins with the rewrite that OK in
// Enhanced Features asks for, which ends any pause. With Instant on, the
// player's notifications end a pause early (PauseUnlessWoken), and a woken
// turn leaves an entry of unknown length to the next turn.
#include "monitor/track_monitor.h"

#include <cstring>
#include <cwchar>

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "monitor/artwork_file.h"
#include "monitor/host_ask.h"
#include "monitor/host_text.h"
#include "monitor/instant_wake.h"
#include "monitor/latest_track.h"
#include "monitor/monitor_run.h"
#include "monitor/stopped_text.h"
#include "monitor/stream_titles.h"
#include "monitor/title_post.h"
#include "monitor/track_fields.h"
#include "monitor/utf8_title.h"
#include "post/post_track.h"

namespace {

// The player is asked once a second while it plays, every two seconds while not.
constexpr DWORD kPauseMs = 1000;
// How far the position may stray from where the clock puts it before it
// counts as a seek: a turn's own delays are far smaller.
constexpr long kSeekToleranceMs = 2000;

struct MonitorState {
    HWND host = nullptr;
    HANDLE stopEvent = nullptr;
    HANDLE rewriteEvent = nullptr;  // the dialog asks for the local files again
    int currentLength = 0;
    int previousLength = 0;
    int currentPosition = 0;
    int previousPosition = 0;
    char currentFile[kHostTextLimit + 1] = {};
    char lastPostedFile[kHostTextLimit + 1] = {};
    // The same texts in Unicode mode.
    wchar_t currentWideFile[kWideTextSize] = {};
    wchar_t lastPostedWideFile[kWideTextSize] = {};
    char title[kUtf8TextSize] = {};  // as it is posted: ANSI, or UTF-8 in Unicode mode
    bool recordOfFile = false;       // the latest record is of the last posted file
    StreamerState streamer;
    StoppedTextState stopped;
    StreamTitleState stream;
    InstantWake wake;
};

bool StopRequested(const MonitorRun& run)
{
    return run.stopRequested.load() != 0;
}

void Pause(MonitorState& s)
{
    PauseUnlessWoken(s.wake, s.stopEvent, s.rewriteEvent, s.streamer.posts, kPauseMs);
}

void CopyHostText(char* destination, LRESULT answer)
{
    CopyBounded(destination, reinterpret_cast<const char*>(answer), destination + kHostTextLimit);
}

// The current entry's file name into the current file name; a null answer
// leaves it as it was. In Unicode mode an older player's null wide answer is
// followed by the ANSI query.
void AskFileName(MonitorState& s, bool unicode)
{
    if (unicode) {
        LRESULT wide = Ask(s.host, s.currentPosition, kQueryWideFileName);
        if (wide != 0) {
            CopyWideHostText(s.currentWideFile, reinterpret_cast<const wchar_t*>(wide));
            return;
        }
    }
    LRESULT file = Ask(s.host, s.currentPosition, kQueryFileName);
    if (file == 0)
        return;
    if (unicode)
        CopyAnsiHostTextAsWide(s.currentWideFile, reinterpret_cast<const char*>(file));
    else
        CopyHostText(s.currentFile, file);
}

bool SameFileAsLastPosted(const MonitorState& s, bool unicode)
{
    if (unicode)
        return std::wcscmp(s.currentWideFile, s.lastPostedWideFile) == 0;
    return std::strcmp(s.currentFile, s.lastPostedFile) == 0;
}

// What `record` lacks under `settings`, asked of the player for the file
// `ansiFile` or `wideFile` (in the record's mode) at the current position:
// the tags and the folder image only when a key uses them, so without those
// keys the player is asked what it always was. A file on the user's disk
// keeps every character, so while one is kept the wide title, file name and
// tags are asked in either mode; the post still carries what the mode posts.
void CompleteRecord(const MonitorState& s, const StreamerSettings& settings, const char* ansiFile,
                    const wchar_t* wideFile, TrackRecord& record)
{
    const bool unicode = record.charset == TitleCharset::kUtf8;
    const bool wide = unicode || HasLocalOutput(settings);
    wchar_t file[kWideTextSize];
    if (unicode) {
        std::wcscpy(file, wideFile);
    } else if (wide) {
        AskWideFileName(s.host, s.currentPosition, ansiFile, file);
        char whole[kUtf8TextSize];
        if (record.wideTitle.empty() && AskEntryTitle(s.host, s.currentPosition, true, whole))
            record.wideTitle = whole;
    } else {
        CopyAnsiHostTextAsWide(file, ansiFile);
    }
    if (settings.titleFormat[0] != L'\0' || settings.postFields ||
        settings.artworkFile[0] != L'\0') {
        AskTrackFields(s.host, ansiFile, file, wide, WideAsUtf8(settings.titleFormat),
                       record.fields);
        record.hasFields = true;
    }
    // The folder's image wins; the file's own picture is read only when the
    // cover is copied.
    if (settings.artworkFile[0] != L'\0' && !FindFolderArt(file, record.artworkSource) &&
        std::wcsstr(file, L"://") == nullptr) {
        lstrcpynW(record.artworkSource, file, kPathSize);
        record.artworkEmbedded = true;
    }
}

// Each mode remembers the last posted file in its own form. A post forgets
// the other form, so that after the mode is switched back a file is compared
// with the last one really posted, not with one from before the switch.
void PostTitle(MonitorState& s, bool unicode)
{
    const StreamerSettings settings = ReadStreamerSettings();
    TrackRecord record = TitleRecord(s.title, unicode);
    CompleteRecord(s, settings, s.currentFile, s.currentWideFile, record);
    if (settings.titleFile[0] != L'\0') {
        record.lengthSeconds = s.currentLength;
        record.positionMs = static_cast<int>(Ask(s.host, kPositionArgument, kQueryTrackLength));
        record.positionAt = UnixNow();
    }
    PostMonitorTitle(s.streamer, settings, record);
    s.recordOfFile = true;
    if (unicode) {
        std::wcscpy(s.lastPostedWideFile, s.currentWideFile);
        s.lastPostedFile[0] = '\0';
    } else {
        CopyBounded(s.lastPostedFile, s.currentFile, s.lastPostedFile + kHostTextLimit);
        s.lastPostedWideFile[0] = L'\0';
    }
    s.title[0] = '\0';
}

// After a post that was not of a file (a stream's title, the stopped text),
// any file played next is a new track, even the entry that played before with
// the same length: the remembered length is cleared for the next turn's
// comparison too.
void ForgetLastPosted(MonitorState& s)
{
    s.recordOfFile = false;
    s.currentLength = 0;
    s.lastPostedFile[0] = '\0';
    s.lastPostedWideFile[0] = L'\0';
}

// The latest record's local files again, under the settings just stored and
// with what they need asked afresh of the player, and kept for the dialog's
// preview; nothing is posted. A stream's title or the stop text is written as
// it stands.
void RewriteLocalOutputs(MonitorState& s)
{
    if (!s.streamer.hasRecord)
        return;
    const StreamerSettings settings = ReadStreamerSettings();
    TrackRecord record = s.streamer.record;
    if (s.recordOfFile) {
        record.hasFields = false;
        record.fields = TrackFields();
        record.artworkSource[0] = L'\0';
        record.artworkEmbedded = false;
        CompleteRecord(s, settings, s.lastPostedFile, s.lastPostedWideFile, record);
        KeepLatestTrack(record);
    }
    s.streamer.record = record;
    KeepLocalOutputs(s.streamer.local, settings, record);
}

// The player's state and position for the local overlay, asked only while its
// data is kept for a track, and written only when the state changes or the
// position jumps (a seek): never every second. A new track's record already
// holds its position.
void FollowProgress(MonitorState& s, LRESULT playing)
{
    StreamerState& streamer = s.streamer;
    if (!streamer.hasRecord || streamer.record.isStopText || !KeepsOverlayData(streamer.local))
        return;
    const OverlayContent& overlay = streamer.local.overlay;
    const char* state = playing == 1               ? "playing"
                        : playing == kPausedAnswer ? "paused"
                                                   : "stopped";
    const bool sameState = std::strcmp(state, overlay.state) == 0;
    if (sameState && playing != 1)
        return;
    int position = -1;
    if (playing == 1 || playing == kPausedAnswer)
        position = static_cast<int>(Ask(s.host, kPositionArgument, kQueryTrackLength));
    const UnixTime now = UnixNow();
    if (sameState && overlay.positionMs >= 0) {
        const long expected = overlay.positionMs + MillisecondsBetween(overlay.positionAt, now);
        if (position - expected <= kSeekToleranceMs && expected - position <= kSeekToleranceMs)
            return;
    }
    KeepProgress(streamer.local, ReadStreamerSettings(), state, position, now);
}

// One turn after the player answered "playing".
TurnForRetries PlayingTurn(MonitorState& s)
{
    s.previousLength = s.currentLength;
    s.previousPosition = s.currentPosition;
    s.currentLength = static_cast<int>(Ask(s.host, 1, kQueryTrackLength));
    s.currentPosition = static_cast<int>(Ask(s.host, 0, kQueryPlaylistPosition));
    const bool changed =
        s.currentLength != s.previousLength || s.currentPosition != s.previousPosition;

    if (s.currentLength <= 0) {
        // A file that has only just started has no length yet: a woken turn
        // leaves it to the next, so that it is never taken for a stream.
        if (IsWokenTurn(s.wake))
            return TurnForRetries::kWaiting;
        const TurnForRetries turn =
            StreamTurn(s.stream, s.streamer, s.host, s.currentPosition, changed);
        if (turn == TurnForRetries::kPosted)
            ForgetLastPosted(s);
        return turn;
    }
    if (!changed)
        return TurnForRetries::kTitleStands;

    // Sampled once, so the whole change is asked, compared and posted in one
    // mode even if the post's reading of the settings switches it.
    const bool unicode = IsUnicodeMode();
    AskFileName(s, unicode);
    if (SameFileAsLastPosted(s, unicode))
        return TurnForRetries::kWaiting;
    if (!AskEntryTitle(s.host, s.currentPosition, unicode, s.title))
        return TurnForRetries::kWaiting;
    PostTitle(s, unicode);
    return TurnForRetries::kPosted;
}

void RunMonitor(const MonitorRun& run)
{
    MonitorState state;
    state.host = run.host;
    state.stopEvent = run.stopEvent.Get();
    state.wake.event = run.wakeEvent.Get();
    state.rewriteEvent = run.rewriteEvent.Get();
    while (!StopRequested(run)) {
        if (WaitForSingleObject(state.rewriteEvent, 0) == WAIT_OBJECT_0) {
            ResetEvent(state.rewriteEvent);
            RewriteLocalOutputs(state);
        }
        const LRESULT playing = Ask(state.host, 0, kQueryIsPlaying);
        BeginTurn(state.wake);
        TurnForRetries turn = StoppedTextTurn(state.stopped, state.streamer, playing);
        if (turn == TurnForRetries::kPosted)
            ForgetLastPosted(state);
        // A stop, with its text or without: nothing plays any more.
        if (turn == TurnForRetries::kPosted || turn == TurnForRetries::kStopCompleted)
            ForgetLatestTrack();
        if (turn == TurnForRetries::kStopCompleted)
            state.streamer.hasRecord = false;
        if (playing == 1)
            turn = PlayingTurn(state);
        FollowProgress(state, playing);
        FinishTurn(state.streamer, turn);
        // A player that does not play is asked every two seconds: this pause
        // and the one every turn ends with.
        if (playing != 1)
            Pause(state);
        if (!StopRequested(run))
            Pause(state);
    }
    ForgetLatestTrack();
}

}  // namespace

DWORD WINAPI TrackMonitorThread(LPVOID parameter)
{
    MonitorRun* run = static_cast<MonitorRun*>(parameter);
    // An exception leaving a thread procedure ends the player's process.
    // PostTrack lets none out and the loop itself raises none; this is the
    // last line, and the thread then ends as after a stop.
    try {
        RunMonitor(*run);
    } catch (...) {
    }
    return EndHeldThread(run);
}
