// The reporter chosen here decides what the user sees: with no streamer key
// it passes every outcome to the box reporter unchanged; in quiet mode every
// outcome is a log line and never a box or the dialog. With TitleFile set and
// no server of the user's own (empty, or the placeholder that quit stores)
// the user chose the file alone: nothing is posted and nothing is reported.
#include "monitor/title_post.h"

#include <string>

#include "monitor/artwork_file.h"
#include "monitor/latest_track.h"
#include "monitor/overlay_data.h"
#include "monitor/quiet_log.h"
#include "monitor/tag_form_fields.h"
#include "monitor/title_file.h"
#include "monitor/title_format.h"
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

// One box per player run and kind of file; in quiet mode one log line per
// title, however often it is tried.
void ReportFileFailure(const StreamerSettings& settings, const wchar_t* kind, const wchar_t* path,
                       DWORD error, bool& logged, bool& shown)
{
    wchar_t text[kPathSize + 64];
    wsprintfW(text, L"Could not write the %s file %s (error %lu).", kind, path, error);
    if (settings.quiet) {
        if (!logged)
            AppendLogLine(settings.logFile, WideAsUtf8(kind) + " file | " + WideAsUtf8(text));
        logged = true;
        return;
    }
    if (shown)
        return;
    shown = true;
    wchar_t caption[64];
    MultiByteToWideChar(CP_ACP, 0, kPluginCaption, -1, caption, 64);
    MessageBoxW(nullptr, text, caption, MB_OK);
}

// The pending title into the title file; it stays pending while that fails.
// `overlay` is written beside it with a title's first try only, since a later
// try (a reader held the title file) is for the title file alone.
void WritePendingTitle(StreamerState& state, const StreamerSettings& settings,
                       const OverlayContent* overlay)
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
        ReportFileFailure(settings, L"title", path, error, state.titleFileFailureLogged,
                          state.titleFileFailureShown);
    if (overlay != nullptr)
        WriteOverlayData(path, *overlay);
}

// The copy of the record's folder image, or none; what the overlay's data
// says of it.
void KeepArtwork(StreamerState& state, const StreamerSettings& settings, const TrackRecord& record,
                 OverlayContent& overlay)
{
    if (settings.artworkFile[0] == L'\0')
        return;
    overlay.artworkKept = true;
    wchar_t path[kPathSize];
    bool copied = false;
    state.artworkFailureLogged = false;
    const DWORD error = KeepArtworkFile(settings.artworkFile, settings.settingsFolder,
                                        record.artworkSource, path, copied);
    if (error != 0)
        ReportFileFailure(settings, L"artwork", path, error, state.artworkFailureLogged,
                          state.artworkFailureShown);
    if (copied)
        lstrcpyW(overlay.artwork, path);
}

OverlayContent OverlayOf(const TrackRecord& record, const std::string& utf8Title)
{
    OverlayContent overlay;
    overlay.title = utf8Title;
    overlay.hasFields = record.hasFields;
    overlay.artist = record.fields.artist;
    overlay.album = record.fields.album;
    overlay.song = record.fields.title;
    return overlay;
}

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
    const char* title = record.playerTitle.c_str();
    OverlayContent overlay = OverlayOf(record, WholeTitle(record));
    // With a format, it gives the title file's text and the overlay's line.
    const bool formatted = settings.titleFormat[0] != L'\0' && !record.isStopText;
    if (formatted)
        overlay.line = FormatTitle(WideAsUtf8(settings.titleFormat), record);
    // The artwork first, so that the overlay's data names the new copy.
    KeepArtwork(state, settings, record, overlay);
    state.titleFileText = formatted ? overlay.line : overlay.title;
    state.titleFileFailureLogged = false;
    WritePendingTitle(state, settings, &overlay);
    if (settings.titleFile[0] != L'\0' && !settings.serverChosen)
        return;
    Try(state, settings, title, record.charset,
        settings.postFields ? TagFormFields(record) : std::string(), 1);
}

void FinishTurn(StreamerState& state, TurnForRetries turn)
{
    // A turn that posted has just tried the title file itself.
    if (state.titleFilePending && turn != TurnForRetries::kPosted)
        WritePendingTitle(state, ReadStreamerSettings(), nullptr);
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
