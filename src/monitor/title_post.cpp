// The reporter chosen here decides what the user sees: with no streamer key
// it passes every outcome to the box reporter unchanged; in quiet mode every
// outcome is a log line and never a box or the dialog. With TitleFile set and
// no server of the user's own (empty, or the placeholder that quit stores)
// the user chose the file alone: nothing is posted and nothing is reported.
#include "monitor/title_post.h"

#include <string>

#include "monitor/latest_track.h"
#include "monitor/local_outputs.h"
#include "monitor/quiet_log.h"
#include "monitor/tag_form_fields.h"
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

// One try; a quiet failure that may pass is kept for the next.
void Try(StreamerState& state, const StreamerSettings& settings, const char* title,
         TitleCharset charset, const std::string& moreFields, int attempt)
{
    const std::string utf8Title = AsUtf8(title, charset);
    MonitorReporter reporter(settings, utf8Title, attempt);
    PostTrack(title, kUseStoredSettings, kUseStoredSettings, charset, &reporter,
              moreFields.c_str());
    if (settings.quiet && MayPass(reporter.last))
        ArmRetry(state.retry, title, charset, moreFields, attempt, GetTickCount());
}

}  // namespace

void PostMonitorTitle(StreamerState& state, const StreamerSettings& settings,
                      const TrackRecord& record)
{
    CancelRetry(state.retry);
    ++state.posts;
    if (!record.isStopText)
        KeepLatestTrack(record);
    state.record = record;
    state.hasRecord = true;
    KeepLocalOutputs(state.local, settings, record);
    if (settings.titleFile[0] != L'\0' && !settings.serverChosen)
        return;
    const char* title = record.playerTitle.c_str();
    Try(state, settings, title, record.charset,
        settings.postFields ? TagFormFields(record) : std::string(), 1);
}

void FinishTurn(StreamerState& state, TurnForRetries turn)
{
    // A turn that posted has just tried the files itself.
    if (LocalOutputsPending(state.local) && turn != TurnForRetries::kPosted)
        RetryLocalOutputs(state.local, ReadStreamerSettings());
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
    Try(state, settings, pending.title, pending.charset, pending.moreFields, pending.tries + 1);
}
