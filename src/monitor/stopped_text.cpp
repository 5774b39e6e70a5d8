// The count runs on every turn; the settings are read only on the turn that
// completes a stop, so a stopped player costs no more file reads than one per
// stop. The text is cut as the player's titles are: at 260 bytes in the
// default mode, at 260 UTF-16 units (never between the halves of a pair, and
// so never inside a UTF-8 sequence) in Unicode mode, where it is posted as
// UTF-8 like every title of that mode.
#include "monitor/stopped_text.h"

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "config/streamer_settings.h"
#include "monitor/host_text.h"

namespace {

// The playing query's answer of a stopped player.
constexpr LRESULT kStoppedAnswer = 0;
// Two stopped turns, two to three seconds after Stop (the first within a
// second of it, the second two seconds after that): a player that stops
// between two tracks of a playlist, as some do for a moment, does not count.
constexpr int kStoppedTurnsToPost = 2;

// `text` as the title the mode posts, in `title` (kUtf8TextSize bytes).
void AsTitle(const wchar_t* text, bool unicode, char* title)
{
    if (unicode) {
        wchar_t wide[kWideTextSize];
        CopyWideHostText(wide, text);
        ConvertToUtf8(wide, title);
        return;
    }
    // A setting has at most kSettingSize - 1 characters, each at most two
    // bytes in any ANSI code page.
    char ansi[2 * kSettingSize];
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr) == 0)
        ansi[0] = '\0';
    CopyBounded(title, ansi, title + kHostTextLimit);
}

}  // namespace

TurnForRetries StoppedTextTurn(StoppedTextState& stopped, StreamerState& streamer,
                               LRESULT playingAnswer)
{
    if (playingAnswer != kStoppedAnswer) {
        stopped.stoppedTurns = 0;
        return TurnForRetries::kWaiting;
    }
    if (stopped.stoppedTurns >= kStoppedTurnsToPost)
        return TurnForRetries::kTitleStands;
    if (++stopped.stoppedTurns < kStoppedTurnsToPost)
        return TurnForRetries::kWaiting;
    const StreamerSettings settings = ReadStreamerSettings();
    if (!settings.stoppedTextSet)
        return TurnForRetries::kStopCompleted;
    const bool unicode = IsUnicodeMode();
    char title[kUtf8TextSize];
    AsTitle(settings.stoppedText, unicode, title);
    TrackRecord record = TitleRecord(title, unicode);
    record.isStopText = true;
    AsTitle(settings.stoppedText, true, title);
    record.wideTitle = title;
    PostMonitorTitle(streamer, settings, record);
    return TurnForRetries::kPosted;
}
