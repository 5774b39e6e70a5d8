// The reporter chosen here decides what the user sees: with no streamer key
// it passes every outcome to the box reporter unchanged; in quiet mode every
// outcome is a log line and never a box or the dialog. With TitleFile set and
// no server of the user's own (empty, or the placeholder that quit stores)
// the user chose the file alone: nothing is posted and nothing is reported.
#include "monitor/title_post.h"

#include <string>

#include "config/streamer_settings.h"
#include "monitor/overlay_data.h"
#include "monitor/quiet_log.h"
#include "monitor/title_file.h"
#include "monitor/utf8_title.h"
#include "post/post_report.h"

namespace {

class MonitorReporter final : public PostReporter {
public:
    MonitorReporter(const StreamerSettings& settings, const std::string& utf8Title, int attempt)
        : settings_(settings), utf8Title_(utf8Title), attempt_(attempt)
    {
    }

    void Report(const PostOutcome& outcome) override
    {
        last = outcome;
        if (settings_.quiet)
            AppendLogLine(settings_.logFile, OutcomeLine(attempt_, utf8Title_, outcome));
        else
            BoxReporter().Report(outcome);
    }

    PostOutcome last;

private:
    const StreamerSettings& settings_;
    const std::string& utf8Title_;
    const int attempt_;
};

// One box per player run; in quiet mode one log line per title, however
// often it is tried.
void ReportTitleFileFailure(StreamerState& state, const StreamerSettings& settings,
                            const wchar_t* path, DWORD error)
{
    wchar_t text[kPathSize + 64];
    wsprintfW(text, L"Could not write the title file %s (error %lu).", path, error);
    if (settings.quiet) {
        if (!state.titleFileFailureLogged)
            AppendLogLine(settings.logFile, "title file | " + WideAsUtf8(text));
        state.titleFileFailureLogged = true;
        return;
    }
    if (state.titleFileFailureShown)
        return;
    state.titleFileFailureShown = true;
    wchar_t caption[64];
    MultiByteToWideChar(CP_ACP, 0, kPluginCaption, -1, caption, 64);
    MessageBoxW(nullptr, text, caption, MB_OK);
}

// Whether a write of the title file writes the overlay's data beside it:
// with a title's first try only, since a later try (a reader held the title
// file) is for the title file alone.
enum class OverlayData { kWrite, kLeave };

// The pending title into the title file; it stays pending while that fails.
void WritePendingTitle(StreamerState& state, const StreamerSettings& settings,
                       OverlayData overlay)
{
    if (settings.titleFile[0] == L'\0') {
        state.titleFilePending = false;
        return;
    }
    wchar_t path[kPathSize];
    const DWORD error =
        WriteTitleFile(settings.titleFile, settings.settingsFolder, state.titleFileText, path);
    state.titleFilePending = error != 0;
    if (error != 0)
        ReportTitleFileFailure(state, settings, path, error);
    if (overlay == OverlayData::kWrite) {
        OverlayContent content;
        content.title = state.titleFileText;
        WriteOverlayData(path, content);
    }
}

void WriteTitle(StreamerState& state, const StreamerSettings& settings,
                const std::string& utf8Title)
{
    state.titleFileText = utf8Title;
    state.titleFileFailureLogged = false;
    WritePendingTitle(state, settings, OverlayData::kWrite);
}

// One try; a quiet failure that may pass is kept for the next.
void Try(StreamerState& state, const StreamerSettings& settings, const char* title,
         TitleCharset charset, int attempt)
{
    const std::string utf8Title = AsUtf8(title, charset);
    MonitorReporter reporter(settings, utf8Title, attempt);
    PostTrack(title, kUseStoredSettings, kUseStoredSettings, charset, &reporter);
    if (settings.quiet && MayPass(reporter.last))
        ArmRetry(state.retry, title, charset, attempt, GetTickCount());
}

}  // namespace

void PostMonitorTitle(StreamerState& state, const char* title, TitleCharset charset)
{
    CancelRetry(state.retry);
    ++state.posts;
    const StreamerSettings settings = ReadStreamerSettings();
    WriteTitle(state, settings, AsUtf8(title, charset));
    if (settings.titleFile[0] != L'\0' && !settings.serverChosen)
        return;
    Try(state, settings, title, charset, 1);
}

void FinishTurn(StreamerState& state, TurnForRetries turn)
{
    // A turn that posted has just tried the title file itself.
    if (state.titleFilePending && turn != TurnForRetries::kPosted)
        WritePendingTitle(state, ReadStreamerSettings(), OverlayData::kLeave);
    if (turn == TurnForRetries::kStopCompleted)
        CancelRetry(state.retry);
    if (turn != TurnForRetries::kTitleStands || !RetryDue(state.retry, GetTickCount()))
        return;
    // Copied out: the try re-arms the pending retry, or leaves it cancelled.
    PendingRetry pending = state.retry;
    CancelRetry(state.retry);
    const StreamerSettings settings = ReadStreamerSettings();
    if (!settings.quiet)
        return;
    Try(state, settings, pending.title, pending.charset, pending.tries + 1);
}
