// The reporter chosen here decides what the user sees: with no streamer key
// it passes every outcome to the box reporter unchanged. With TitleFile set
// and the Server left empty the user chose the file alone, so the invalid
// configuration this makes is not reported; in quiet mode every outcome is a
// log line and never a box or the dialog.
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
        if (!settings_.titleFile.empty() && outcome.invalidConfig && outcome.server.empty())
            return;
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

void ReportTitleFileFailure(StreamerState& state, const StreamerSettings& settings,
                            const std::string& path, DWORD error)
{
    const std::string text =
        "Could not write the title file " + path + " (error " + std::to_string(error) + ").";
    if (settings.quiet) {
        AppendLogLine(settings.logFile, "title file | " + text);
        return;
    }
    if (state.titleFileFailureShown)
        return;
    state.titleFileFailureShown = true;
    MessageBoxA(nullptr, text.c_str(), kPluginCaption, MB_OK);
}

void WriteTitle(StreamerState& state, const StreamerSettings& settings,
                const std::string& utf8Title)
{
    if (settings.titleFile.empty())
        return;
    std::string path;
    const DWORD error = WriteTitleFile(settings.titleFile, utf8Title, path);
    if (error != 0)
        ReportTitleFileFailure(state, settings, path, error);
    WriteOverlayData(path, utf8Title);
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
    Try(state, settings, title, charset, 1);
}

void RetryPendingPost(StreamerState& state)
{
    if (!RetryDue(state.retry, GetTickCount()))
        return;
    // Copied out: the try re-arms the pending retry, or leaves it cancelled.
    PendingRetry pending = state.retry;
    CancelRetry(state.retry);
    const StreamerSettings settings = ReadStreamerSettings();
    if (!settings.quiet)
        return;
    Try(state, settings, pending.title, pending.charset, pending.tries + 1);
}

void EndRetries(StreamerState& state)
{
    CancelRetry(state.retry);
}
