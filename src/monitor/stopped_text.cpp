// The count runs on every turn; the settings are read only on the
// turn that completes a stop, so a stopped player costs no more file reads
// than one per stop. The text is an ANSI value of the settings file; in
// Unicode mode it is posted as UTF-8, like every title of that mode.
#include "monitor/stopped_text.h"

#include <string>

#include "config/charset_setting.h"
#include "config/streamer_settings.h"
#include "monitor/utf8_title.h"

namespace {

// The playing query's answer of a stopped player.
constexpr LRESULT kStoppedAnswer = 0;
// Two turns, about four seconds: a player that stops between two tracks of a
// playlist, as some do for a moment, does not count.
constexpr int kStoppedTurnsToPost = 2;

}  // namespace

bool PostStoppedTextWhenDue(StoppedTextState& stopped, StreamerState& streamer,
                            LRESULT playingAnswer)
{
    if (playingAnswer != kStoppedAnswer) {
        stopped.stoppedTurns = 0;
        return false;
    }
    EndRetries(streamer);
    if (stopped.stoppedTurns >= kStoppedTurnsToPost)
        return false;
    if (++stopped.stoppedTurns < kStoppedTurnsToPost)
        return false;
    const StreamerSettings settings = ReadStreamerSettings();
    if (!settings.stoppedTextSet)
        return false;
    if (IsUnicodeMode()) {
        const std::string utf8 = AsUtf8(settings.stoppedText.c_str(), TitleCharset::kAnsi);
        PostMonitorTitle(streamer, utf8.c_str(), TitleCharset::kUtf8);
    } else {
        PostMonitorTitle(streamer, settings.stoppedText.c_str(), TitleCharset::kAnsi);
    }
    return true;
}
