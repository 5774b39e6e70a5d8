// The cover copy goes first, since the overlay's data names it; the title
// file next, then the overlay's data beside it. A cover copied anew makes the
// overlay's data pending again, so the page loads the new image. What a
// failure means is said in words, with the plugin's promise to go on trying:
// the user may close the program that holds the file, or make the folder.
#include "monitor/local_outputs.h"

#include <windows.h>

#include "config/settings_home.h"
#include "monitor/artwork_file.h"
#include "monitor/aside_box.h"
#include "monitor/quiet_log.h"
#include "monitor/title_file.h"
#include "monitor/title_format.h"

namespace {

const wchar_t* const kFileNames[kLocalFileCount] = {L"title file", L"overlay data file",
                                                    L"cover art file"};

const wchar_t* ErrorWords(DWORD error)
{
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return L"another program has the file open";
    case ERROR_ACCESS_DENIED:
        return L"Windows denies access to it";
    case ERROR_PATH_NOT_FOUND:
        return L"its folder does not exist";
    case ERROR_DISK_FULL:
        return L"the disk is full";
    case ERROR_FILENAME_EXCED_RANGE:
        return L"its path is too long";
    default:
        return L"Windows refused it";
    }
}

void Report(LocalOutputs& outputs, const StreamerSettings& settings, LocalFile file,
            const wchar_t* path, DWORD error)
{
    wchar_t text[kPathSize + 256];
    if (error == kArtworkNotOurs)
        wsprintfW(text,
                  L"The cover art file %s was not written by Tunewire, so it is left as it is. "
                  L"Choose another file for the cover, or delete this one.",
                  path);
    else
        wsprintfW(text, L"Could not write the %s %s: %s (error %lu). Tunewire keeps trying.",
                  kFileNames[file], path, ErrorWords(error), error);
    if (settings.quiet) {
        if (!outputs.logged[file])
            AppendLogLine(settings.logFile,
                          WideAsUtf8(kFileNames[file]) + " | " + WideAsUtf8(text));
        outputs.logged[file] = true;
        return;
    }
    if (!outputs.told[file])
        outputs.told[file] = ShowBoxAside(text);
}

// The stamp of the cover copy written last: the one this run wrote, else the
// one the settings remember from an earlier run.
void KeepCover(LocalOutputs& outputs, const StreamerSettings& settings)
{
    if (!outputs.stampRead) {
        outputs.artworkStamp = settings.artworkStamp;
        outputs.stampRead = true;
    }
    wchar_t path[kPathSize];
    bool copied = false;
    const std::string before = outputs.artworkStamp;
    const DWORD error = KeepArtworkFile(settings.artworkFile, settings.settingsFolder,
                                        outputs.artworkSource, outputs.artworkEmbedded, path,
                                        copied, outputs.artworkStamp);
    if (outputs.artworkStamp != before)
        StoreOptInChanges({{kArtworkStampKey, outputs.artworkStamp.empty()
                                                  ? OptInValue()
                                                  : OptInValue(outputs.artworkStamp)}});
    if (error != 0) {
        Report(outputs, settings, kCoverCopy, path, error);
        // A file that is the user's own stays theirs: not tried again, and
        // not shown as the track's cover.
        outputs.pending[kCoverCopy] = error != kArtworkNotOurs;
        if (error == kArtworkNotOurs) {
            outputs.overlay.artwork[0] = L'\0';
            outputs.pending[kOverlayData] = true;
        }
        return;
    }
    outputs.pending[kCoverCopy] = false;
    lstrcpyW(outputs.overlay.artwork, copied ? path : L"");
    char version[16];
    wsprintfA(version, "%lu", GetTickCount());
    outputs.overlay.artworkVersion = version;
    outputs.pending[kOverlayData] = true;
}

void WriteTitle(LocalOutputs& outputs, const StreamerSettings& settings)
{
    wchar_t path[kPathSize];
    const DWORD error =
        WriteTitleFile(settings.titleFile, settings.settingsFolder, outputs.titleText, path);
    outputs.pending[kTitleFile] = error != 0;
    if (error != 0)
        Report(outputs, settings, kTitleFile, path, error);
}

void WriteOverlay(LocalOutputs& outputs, const StreamerSettings& settings)
{
    wchar_t titleFile[kPathSize];
    wchar_t failed[kPathSize];
    DWORD error = OutputFilePath(settings.titleFile, settings.settingsFolder, titleFile);
    if (error == 0)
        error = WriteOverlayData(titleFile, outputs.overlay, failed);
    else
        lstrcpynW(failed, settings.titleFile, kPathSize);
    outputs.pending[kOverlayData] = error != 0;
    // Beside a title file that failed too, the title file's report says it.
    if (error != 0 && !outputs.pending[kTitleFile])
        Report(outputs, settings, kOverlayData, failed, error);
}

// A track at the top of the list played before; the same title twice in a
// row (the dialog's rewrite of the playing track) is one entry.
void Remember(LocalOutputs& outputs, const TrackText& playing)
{
    std::vector<std::string>& recent = outputs.overlay.recent;
    if (!recent.empty() && outputs.recentTitle == playing.title)
        recent.erase(recent.begin());
    recent.insert(recent.begin(), RecentTrackJson(playing, UtcNow()));
    outputs.recentTitle = playing.title;
    if (recent.size() > kRecentTracks)
        recent.pop_back();
}

void WritePending(LocalOutputs& outputs, const StreamerSettings& settings)
{
    if (settings.artworkFile[0] == L'\0')
        outputs.pending[kCoverCopy] = false;
    if (settings.titleFile[0] == L'\0')
        outputs.pending[kTitleFile] = outputs.pending[kOverlayData] = false;
    if (outputs.pending[kCoverCopy])
        KeepCover(outputs, settings);
    if (outputs.pending[kTitleFile])
        WriteTitle(outputs, settings);
    if (outputs.pending[kOverlayData])
        WriteOverlay(outputs, settings);
}

}  // namespace

void KeepLocalOutputs(LocalOutputs& outputs, const StreamerSettings& settings,
                      const TrackRecord& record)
{
    outputs.keepsOverlayData = settings.titleFile[0] != L'\0';
    OverlayContent& overlay = outputs.overlay;
    TrackText& track = overlay.track;
    track = TrackText();
    track.title = WholeTitle(record);
    track.hasFields = record.hasFields;
    track.artist = record.fields.artist;
    track.album = record.fields.album;
    track.song = record.fields.title;
    // With a format, it gives the title file's text and the overlay's line;
    // the stop text stays as it is.
    if (settings.titleFormat[0] != L'\0' && !record.isStopText)
        track.line = FormatTitle(WideAsUtf8(settings.titleFormat), record);
    outputs.titleText = track.line.empty() ? track.title : track.line;
    if (!record.isStopText)
        Remember(outputs, track);
    overlay.state = record.isStopText ? "stoptext" : "playing";
    overlay.lengthSeconds = record.lengthSeconds;
    overlay.positionMs = record.positionMs;
    overlay.positionAt = record.positionAt;
    // The copy on disk stays what the data names until a new one is made.
    overlay.artworkKept = settings.artworkFile[0] != L'\0';
    lstrcpyW(outputs.artworkSource, record.artworkSource);
    outputs.artworkEmbedded = record.artworkEmbedded;
    for (int file = 0; file < kLocalFileCount; ++file) {
        outputs.pending[file] = true;
        outputs.logged[file] = false;
    }
    WritePending(outputs, settings);
}

bool KeepsOverlayData(const LocalOutputs& outputs)
{
    return outputs.keepsOverlayData;
}

void KeepProgress(LocalOutputs& outputs, const StreamerSettings& settings, const char* state,
                  int positionMs, const UnixTime& at)
{
    outputs.overlay.state = state;
    outputs.overlay.positionMs = positionMs;
    outputs.overlay.positionAt = at;
    outputs.pending[kOverlayData] = true;
    WritePending(outputs, settings);
}

bool LocalOutputsPending(const LocalOutputs& outputs)
{
    for (bool pending : outputs.pending)
        if (pending)
            return true;
    return false;
}

void RetryLocalOutputs(LocalOutputs& outputs, const StreamerSettings& settings)
{
    WritePending(outputs, settings);
}
