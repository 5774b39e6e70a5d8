// The title is asked only when the key is on, so a stream entry's turn sends
// the same queries as ever without it. The last posted title is kept as the
// bytes that were posted, ANSI or UTF-8, and compared as such.
#include "monitor/stream_titles.h"

#include <cstring>

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "config/streamer_settings.h"
#include "plugin/host_queries.h"

namespace {

// A station that changes its title with every jingle and advert must not make
// the plugin post faster than a form handler draws or a viewer reads.
constexpr DWORD kStreamPostIntervalMs = 5000;

LRESULT Ask(HWND host, WPARAM argument, HostQuery query)
{
    return SendMessageA(host, kHostQueryMessage, argument, query);
}

// The entry's title in the mode's form into `title`; false when the player
// has none. An older player's null wide answer is followed by the ANSI query.
bool AskStreamTitle(HWND host, int position, bool unicode, char* title)
{
    if (unicode) {
        const LRESULT wide = Ask(host, position, kQueryWideTitle);
        if (wide != 0) {
            wchar_t text[kWideTextSize];
            CopyWideHostText(text, reinterpret_cast<const wchar_t*>(wide));
            ConvertToUtf8(text, title);
            return true;
        }
    }
    const LRESULT ansi = Ask(host, position, kQueryTitle);
    if (ansi == 0)
        return false;
    if (unicode) {
        wchar_t text[kWideTextSize];
        CopyAnsiHostTextAsWide(text, reinterpret_cast<const char*>(ansi));
        ConvertToUtf8(text, title);
    } else {
        CopyBounded(title, reinterpret_cast<const char*>(ansi), title + kHostTextLimit);
    }
    return true;
}

bool PostedLast(const StreamTitleState& stream, const StreamerState& streamer, int position)
{
    return stream.posted && stream.position == position && stream.postNumber == streamer.posts;
}

}  // namespace

bool StreamTurn(StreamTitleState& stream, StreamerState& streamer, HWND host, int position)
{
    if (!ReadStreamerSettings().streams)
        return false;
    const bool unicode = IsUnicodeMode();
    char title[kUtf8TextSize];
    if (!AskStreamTitle(host, position, unicode, title))
        return false;
    const bool posted = PostedLast(stream, streamer, position);
    if (posted && std::strcmp(stream.title, title) == 0) {
        RetryPendingPost(streamer);
        return false;
    }
    const DWORD now = GetTickCount();
    if (stream.posted && now - stream.postTick < kStreamPostIntervalMs)
        return false;
    PostMonitorTitle(streamer, title, unicode ? TitleCharset::kUtf8 : TitleCharset::kAnsi);
    stream.posted = true;
    stream.position = position;
    stream.postNumber = streamer.posts;
    stream.postTick = now;
    std::strcpy(stream.title, title);
    return true;
}
