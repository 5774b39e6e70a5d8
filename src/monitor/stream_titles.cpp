// The title is asked only when the key is on, so a stream entry's turn sends
// the same queries as ever without it. The last posted title is kept as the
// bytes that were posted, ANSI or UTF-8, and compared as such.
#include "monitor/stream_titles.h"

#include <cstring>

#include "config/charset_setting.h"
#include "config/streamer_settings.h"
#include "monitor/host_ask.h"

namespace {

// A station that changes its title with every jingle and advert must not make
// the plugin post faster than a form handler draws or a viewer reads.
constexpr DWORD kStreamPostIntervalMs = 5000;

bool PostedLast(const StreamTitleState& stream, const StreamerState& streamer, int position)
{
    return stream.posted && stream.position == position && stream.postNumber == streamer.posts;
}

}  // namespace

TurnForRetries StreamTurn(StreamTitleState& stream, StreamerState& streamer, HWND host,
                          int position, bool changed)
{
    if (changed || !stream.keyRead) {
        stream.streams = ReadStreamerSettings().streams;
        stream.keyRead = true;
    }
    if (!stream.streams)
        return TurnForRetries::kWaiting;
    const bool unicode = IsUnicodeMode();
    char title[kUtf8TextSize];
    if (!AskEntryTitle(host, position, unicode, title))
        return TurnForRetries::kWaiting;
    const bool posted = PostedLast(stream, streamer, position);
    if (posted && std::strcmp(stream.title, title) == 0)
        return TurnForRetries::kTitleStands;
    const DWORD now = GetTickCount();
    if (stream.posted && now - stream.postTick < kStreamPostIntervalMs)
        return TurnForRetries::kWaiting;
    // A stream's title changes in place: it has no tags or folder of its own.
    const StreamerSettings settings = ReadStreamerSettings();
    TrackRecord record = TitleRecord(title, unicode);
    char whole[kUtf8TextSize];
    if (!unicode && HasLocalOutput(settings) && AskEntryTitle(host, position, true, whole))
        record.wideTitle = whole;
    PostMonitorTitle(streamer, settings, record);
    stream.posted = true;
    stream.position = position;
    stream.postNumber = streamer.posts;
    stream.postTick = now;
    std::strcpy(stream.title, title);
    return TurnForRetries::kPosted;
}
