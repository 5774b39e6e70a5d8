// Form handlers that answer a post with an error body that never ends and
// from which the failure text keeps nothing: bare line feeds, bare carriage
// returns, lines that start with a zero byte. Each post must end within a few
// seconds with a box of what was kept, and the monitor go on to the next track.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback/clock.h"
#include "support/monitor_fixture.h"

namespace {

constexpr double kPromptMs = 5000;  // reading the plugin's byte bound takes a fraction of it
constexpr DWORD kWaitMs = 15000;    // well short of the server's own one-minute stream

struct EndlessRow {
    const char* kept;  // the line before the endless part: all the box can show
    std::string repeat;
};

class EndlessAnswerTest : public MonitorFixture {};

TEST_F(EndlessAnswerTest, EachPostEndsWithWhatWasKeptAndTheNextTrackIsPosted)
{
    const EndlessRow rows[] = {
        {"Busy: bare line feeds", "\n"},
        {"Busy: bare carriage returns", "\r"},
        {"Busy: lines from a zero byte", std::string("\0 hidden\r\n", 10)},
    };
    plugin_.Configure(server_.Host(), "/np.php?track=");
    for (const EndlessRow& row : rows)
        server_.Script(ScriptedResponse::Endless(500, std::string(row.kept) + "\r\n", row.repeat));
    Host().SetEntry(1, "C:\\Music\\1.mp3", "One");
    Host().SetEntry(2, "C:\\Music\\2.mp3", "Two");
    Host().SetEntry(3, "C:\\Music\\3.mp3", "Three");
    Host().SetEntry(4, "C:\\Music\\4.mp3", "Four");
    Host().Play(1, 100);
    Start();

    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].kept);
        ASSERT_TRUE(Host().PumpUntil([&] { return robot_.Boxes().size() > i; }, kWaitMs));
        const double shown = NowMs();
        ASSERT_EQ(i + 1, server_.Requests().size());
        EXPECT_LT(shown - server_.Requests()[i].arrivedMs, kPromptMs);
        EXPECT_EQ("Tunewire Plugin - Failed To Post Data, Server Response:",
                  robot_.Boxes()[i].caption);
        EXPECT_EQ(rows[i].kept, robot_.Boxes()[i].text);
        Host().Play(static_cast<int>(i) + 2, 100);
    }

    ASSERT_TRUE(PumpUntilPosts(4));
    EXPECT_EQ((std::vector<std::string>{"track=One", "track=Two", "track=Three", "track=Four"}),
              Bodies());
    EXPECT_EQ(3u, robot_.Boxes().size());
}

}  // namespace
