// The monitor thread of the real DLL against the stand-in main window and a
// loopback form handler: which turns send which queries, how long it pauses,
// and which track changes end in a post.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/config-rc.h"
#include "host/host_queries.h"
#include "monitor_turns.h"
#include "support/dialog_driver.h"
#include "support/monitor_fixture.h"

namespace {

class MonitorTest : public MonitorFixture {
protected:
    MonitorTest() { plugin_.Configure(server_.Host(), "/np.php?track="); }

    // Pumps until the monitor has finished `count` more turns after now.
    void PumpTurns(size_t count) { ::PumpTurns(Host(), count); }
};

TEST_F(MonitorTest, PlayChangeStopAndReplayPostEachNewTrackOnce)
{
    Host().SetEntry(4, "C:\\Music\\a.mp3", "Artist A - One");
    Host().SetEntry(5, "C:\\Music\\b.mp3", "Artist B - Two");
    Host().Play(4, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(2);
    Host().Play(5, 180);
    ASSERT_TRUE(PumpUntilPosts(2));
    PumpTurns(1);
    Host().Stop();
    PumpTurns(3);
    Host().Play(5, 180);
    PumpTurns(2);

    EXPECT_EQ((std::vector<std::string>{"track=Artist+A+%2D+One", "track=Artist+B+%2D+Two"}),
              Bodies());
    EXPECT_TRUE(robot_.Boxes().empty()) << "a successful post shows nothing";

    std::vector<Turn> turns = Turns(Host().Queries());
    ASSERT_GE(turns.size(), 10u);
    EXPECT_EQ(kNewFile, turns[0].codes);
    EXPECT_EQ(kNoChange, turns[1].codes);
    size_t notPlaying = 0;
    for (size_t i = 1; i + 1 < turns.size(); ++i) {
        DWORD gap = turns[i + 1].start - turns[i].start;
        if (turns[i].codes == kNotPlaying) {
            ++notPlaying;
            EXPECT_NEAR(2000, static_cast<int>(gap), 250) << "turn " << i;
        } else if (turns[i].codes == kNoChange) {
            EXPECT_NEAR(1000, static_cast<int>(gap), 250) << "turn " << i;
        }
    }
    EXPECT_GE(notPlaying, 2u);
    // Playing the same entry again after the stop is no change.
    EXPECT_EQ(kNoChange, turns.back().codes);
}

TEST_F(MonitorTest, PausedPlayerIsOnlyAskedWhetherItPlaysEveryTwoSeconds)
{
    Host().SetEntry(4, "C:\\Music\\a.mp3", "Artist A - One");
    Host().SetEntry(5, "C:\\Music\\b.mp3", "Artist B - Two");
    Host().Pause(4, 200);
    Start();
    PumpTurns(2);
    // A paused player moving to another entry, or learning a new length, is
    // still not playing.
    Host().Pause(5, 180);
    PumpTurns(1);
    Host().Pause(5, 181);
    PumpTurns(1);

    EXPECT_TRUE(server_.Requests().empty());
    std::vector<Turn> turns = Turns(Host().Queries());
    ASSERT_GE(turns.size(), 4u);
    for (size_t i = 0; i < turns.size(); ++i) {
        EXPECT_EQ(kNotPlaying, turns[i].codes) << "turn " << i;
        if (i + 1 < turns.size()) {
            EXPECT_NEAR(2000, static_cast<int>(turns[i + 1].start - turns[i].start), 250)
                << "turn " << i;
        }
    }
}

TEST_F(MonitorTest, EachQueryCarriesItsArgument)
{
    Host().SetEntry(7, "C:\\Music\\a.mp3", "Artist A - One");
    Host().Play(7, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));

    std::vector<HostQueryRecord> queries = Host().Queries();
    ASSERT_GE(queries.size(), 5u);
    const std::vector<std::pair<LPARAM, WPARAM>> expected = {
        {kQueryIsPlaying, 0}, {kQueryTrackLength, 1}, {kQueryPlaylistPosition, 0},
        {kQueryFileName, 7},  {kQueryTitle, 7},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, queries[i].code) << "query " << i;
        EXPECT_EQ(expected[i].second, queries[i].argument) << "query " << i;
    }
}

TEST_F(MonitorTest, SameFileAndMissingTitleTurnsPostNothing)
{
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().SetEntry(2, "C:\\Music\\a.mp3", "A again");
    Host().SetEntry(3, "C:\\Music\\c.mp3", nullptr);
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(1);
    Host().Play(2, 100);
    PumpTurns(2);
    Host().Play(3, 100);
    PumpTurns(2);
    // The change was used up: a title arriving later is not posted.
    Host().SetEntry(3, "C:\\Music\\c.mp3", "C");
    PumpTurns(2);

    EXPECT_EQ(1u, server_.Requests().size());
    std::vector<Turn> turns = Turns(Host().Queries());
    std::vector<std::vector<LPARAM>> kinds;
    for (const Turn& turn : turns)
        if (kinds.empty() || kinds.back() != turn.codes)
            kinds.push_back(turn.codes);
    EXPECT_EQ((std::vector<std::vector<LPARAM>>{kNewFile, kNoChange, kSameFile, kNoChange,
                                                 kNewFile, kNoChange}),
              kinds);
}

// The turn that finds the last posted file again pauses once, a second, and
// the next turn follows right after that pause.
TEST_F(MonitorTest, ASameFileTurnPausesOneSecondBeforeTheNextTurn)
{
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().SetEntry(2, "C:\\Music\\a.mp3", "A again");
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(1);
    Host().Play(2, 100);
    PumpTurns(2);

    const std::vector<Turn> turns = Turns(Host().Queries());
    size_t sameFile = 0;
    for (size_t i = 0; i + 1 < turns.size(); ++i) {
        if (turns[i].codes != kSameFile)
            continue;
        ++sameFile;
        const DWORD gap = turns[i + 1].start - turns[i].start;
        EXPECT_GE(gap, 950u) << "no pause after the same file";
        EXPECT_LT(gap, 1900u) << "a second pause after the same file";
    }
    EXPECT_EQ(1u, sameFile);
}

TEST_F(MonitorTest, UnknownLengthIsPostedOnlyOnceItTurnsPositive)
{
    Host().SetEntry(1, "http://radio.example.com/stream", "Live");
    Host().Play(1, 0);
    Start();
    PumpTurns(2);
    Host().Play(1, -1);
    PumpTurns(2);
    EXPECT_TRUE(server_.Requests().empty());
    Host().Play(1, 1);
    ASSERT_TRUE(PumpUntilPosts(1));
    EXPECT_EQ("track=Live", server_.Requests()[0].body);
}

TEST_F(MonitorTest, OnlyTheLastPostedFileIsRemembered)
{
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "B");
    Host().SetEntry(3, "C:\\Music\\B.mp3", "B upper");
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    Host().Play(2, 100);
    ASSERT_TRUE(PumpUntilPosts(2));
    Host().Play(1, 100);
    ASSERT_TRUE(PumpUntilPosts(3));
    Host().Play(2, 100);
    ASSERT_TRUE(PumpUntilPosts(4));
    // File names are compared with their case.
    Host().Play(3, 100);
    ASSERT_TRUE(PumpUntilPosts(5));
    EXPECT_EQ((std::vector<std::string>{"track=A", "track=B", "track=A", "track=B",
                                        "track=B+upper"}),
              Bodies());
}

TEST_F(MonitorTest, NullFileNameRightAfterAPostKeepsTheLastFile)
{
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().SetEntry(2, nullptr, "Unnamed");
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    Host().Play(2, 120);
    PumpTurns(3);
    EXPECT_EQ(1u, server_.Requests().size());
}

TEST_F(MonitorTest, TextsFromTheHostAreCutAt260Characters)
{
    const std::string longName = "C:\\" + std::string(300, 'n');
    std::string sameStart = longName;
    sameStart[280] = 'X';  // differs only past the 260th character
    const std::string longTitle = std::string(259, 't') + "uvw";
    Host().SetEntry(1, longName.c_str(), longTitle.c_str());
    Host().SetEntry(2, sameStart.c_str(), "Other");
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    Host().Play(2, 100);
    PumpTurns(3);

    ASSERT_EQ(1u, server_.Requests().size());
    EXPECT_EQ("track=" + std::string(259, 't') + "u", server_.Requests()[0].body);
}

TEST_F(MonitorTest, QuitAndUnloadDuringASlowPostLeaveNothingBehind)
{
    server_.Script(ScriptedResponse::Answer(200, "late", 5000));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));

    DWORD quitMs = Quit();
    EXPECT_GE(quitMs, 2900u);
    EXPECT_LT(quitMs, 3600u);
    std::string dll = plugin_.Sandbox().Directory() + "gen_tunewire.dll";
    plugin_.Sandbox().Unload();
    EXPECT_NE(nullptr, GetModuleHandleA(dll.c_str())) << "the monitor still runs plugin code";

    // The post ends when the server answers; the monitor then sees the flag,
    // sends no query and lets the module go.
    size_t queries = Host().Queries().size();
    EXPECT_TRUE(Host().PumpUntil([&] { return GetModuleHandleA(dll.c_str()) == nullptr; }, 5000));
    EXPECT_EQ(queries, Host().Queries().size());
    EXPECT_EQ(1u, server_.Requests().size());
    EXPECT_TRUE(robot_.Boxes().empty());
}

// A plugin nobody has configured yet: its placeholder server never resolves,
// so the first track goes nowhere, and the user is told and shown the dialog.
using FirstRunTest = MonitorFixture;

TEST_F(FirstRunTest, TheFirstTrackReportsTheUnknownServerAndOpensTheDialog)
{
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().Play(1, 100);
    Start();
    ASSERT_TRUE(Host().PumpUntil([&] { return !robot_.Boxes().empty(); }, 10000));
    const SeenBox box = robot_.Boxes()[0];
    EXPECT_EQ("Tunewire Plugin", box.caption);
    EXPECT_EQ("Failed to connect to server, check the server address is correct.", box.text);
    EXPECT_NE(GetCurrentThreadId(), box.threadId) << "the monitor's thread shows it";

    HWND dialog = nullptr;
    ASSERT_TRUE(Host().PumpUntil(
        [&] { return (dialog = WaitForConfigDialog(box.threadId, 0)) != nullptr; }, 10000));
    EXPECT_EQ("your-server.invalid", ItemText(dialog, IDC_SERVER_NAME));
    EXPECT_EQ("/MyFormHandler.php?track=", ItemText(dialog, IDC_FORM_HANDLER));
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(Host().PumpUntil([&] { return !IsWindow(dialog); }, 10000));
    EXPECT_EQ(1u, robot_.Boxes().size());
    EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
