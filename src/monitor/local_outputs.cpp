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
                                        outputs.artworkSource, path, copied,
                                        outputs.artworkStamp);
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
    outputs.overlay.artworkVersion = std::to_string(GetTickCount());
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
void Remember(std::vector<RecentTrack>& recent, const OverlayContent& overlay)
{
    RecentTrack track;
    track.title = overlay.title;
    track.line = overlay.line;
    track.hasFields = overlay.hasFields;
    track.artist = overlay.artist;
    track.album = overlay.album;
    track.song = overlay.song;
    track.stored = UtcNow();
    if (!recent.empty() && recent.front().title == track.title)
        recent.erase(recent.begin());
    recent.insert(recent.begin(), track);
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
    outputs.settings = settings;
    OverlayContent& overlay = outputs.overlay;
    const std::string artworkVersion = overlay.artworkVersion;
    wchar_t artwork[kPathSize];
    lstrcpyW(artwork, overlay.artwork);
    std::vector<RecentTrack> recent = overlay.recent;
    overlay = OverlayContent();
    overlay.title = WholeTitle(record);
    overlay.state = record.isStopText ? "stoptext" : "playing";
    overlay.lengthSeconds = record.lengthSeconds;
    overlay.positionMs = record.positionMs;
    overlay.positionAtMs = record.positionAtMs;
    overlay.hasFields = record.hasFields;
    overlay.artist = record.fields.artist;
    overlay.album = record.fields.album;
    overlay.song = record.fields.title;
    // The copy on disk stays what the data names until a new one is made.
    overlay.artworkKept = settings.artworkFile[0] != L'\0';
    lstrcpyW(overlay.artwork, artwork);
    overlay.artworkVersion = artworkVersion;
    // With a format, it gives the title file's text and the overlay's line;
    // the stop text stays as it is.
    if (settings.titleFormat[0] != L'\0' && !record.isStopText)
        overlay.line = FormatTitle(WideAsUtf8(settings.titleFormat), record);
    outputs.titleText = overlay.line.empty() ? overlay.title : overlay.line;
    if (!record.isStopText)
        Remember(recent, overlay);
    overlay.recent = recent;
    lstrcpyW(outputs.artworkSource, record.artworkSource);
    for (int file = 0; file < kLocalFileCount; ++file) {
        outputs.pending[file] = true;
        outputs.logged[file] = false;
    }
    WritePending(outputs, settings);
}

bool KeepsOverlayData(const LocalOutputs& outputs)
{
    return outputs.settings.titleFile[0] != L'\0';
}

void KeepProgress(LocalOutputs& outputs, const char* state, int positionMs, long long atMs)
{
    outputs.overlay.state = state;
    outputs.overlay.positionMs = positionMs;
    outputs.overlay.positionAtMs = atMs;
    outputs.pending[kOverlayData] = true;
    WritePending(outputs, outputs.settings);
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
