// The Instant key through the real DLL: the stand-in player sends its
// notifications as the player does, and the hook wakes the monitor. Changes
// are made early in a pause, far from the next poll, so a woken turn and a
// polled one lie a second or more apart; bounds sit between the two.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "loopback/clock.h"
#include "monitor_turns.h"
#include "settings_file.h"
#include "support/monitor_fixture.h"

namespace {

const char kFormPath[] = "/np.php?track=";
// How long the test lets the monitor settle into its pause before a change.
constexpr DWORD kSettleMs = 200;
// A woken post comes within tens of milliseconds; the poll that meets a
// change made early in a stopped player's two-second pause, after 1.8 s.
constexpr double kWokenWithinMs = 1000;
// The poll's pause while playing, less what a coarse tick may take off it.
constexpr DWORD kPolledGapMs = 900;
// The spacing of posts, less the same.
constexpr double kPostGapMs = 950;
// Counts queries whatever they were answered: no answer the stand-in gives.
constexpr LRESULT kAnyAnswer = LONG_MIN;

class InstantTest : public MonitorFixture {
protected:
    void Configure(const std::string& lines)
    {
        plugin_.Sandbox().WriteIni(SettingsFileText(server_.Host(), kFormPath) + lines);
    }

    size_t Count(LPARAM code, LRESULT answer = kAnyAnswer)
    {
        size_t count = 0;
        for (const HostQueryRecord& query : Host().Queries())
            count += query.code == code && (answer == kAnyAnswer || query.answer == answer);
        return count;
    }

    // Pumps until the monitor has asked `code` once more (answered `answer`,
    // when given).
    void PumpPast(LPARAM code, LRESULT answer = kAnyAnswer)
    {
        const size_t before = Count(code, answer);
        ASSERT_TRUE(Host().PumpUntil([&] { return Count(code, answer) > before; }, 5000));
    }

    // Runs `work` on a thread of its own while this, the window's, pumps.
    void OnAnotherThread(const std::function<void()>& work)
    {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            work();
            done = true;
        });
        Host().PumpUntil([&] { return done.load(); }, 10000);
        thread.join();
    }

    // Sends one notification as the player does, from the window's thread.
    void Notify(WPARAM argument, LPARAM code)
    {
        SendMessageA(Host().Handle(), kHostQueryMessage, argument, code);
    }
};

struct WakeCase {
    const char* name;
    const char* lines;   // after the server and form path
    bool notifying;      // the host sends its notifications
    bool initElsewhere;  // init and quit run on a thread that is not the window's
    bool woken;          // the change is posted before the next poll
};

class InstantWakeTest : public InstantTest, public ::testing::WithParamInterface<WakeCase> {};

TEST_P(InstantWakeTest, APlayNotifiedEarlyInAStoppedPauseIsPostedAtOnceOnlyWhenHooked)
{
    const WakeCase& c = GetParam();
    Configure(c.lines);
    Host().SetNotifying(c.notifying);
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    if (c.initElsewhere)
        OnAnotherThread([&] { Start(); });
    else
        Start();
    PumpPast(kQueryIsPlaying);
    Host().Pump(kSettleMs);
    const double changedAt = NowMs();
    Host().Play(1, 200);
    ASSERT_TRUE(PumpUntilPosts(1));
    const double latency = server_.Requests()[0].arrivedMs - changedAt;
    if (c.woken)
        EXPECT_LT(latency, kWokenWithinMs);
    else
        EXPECT_GT(latency, kWokenWithinMs);
    EXPECT_EQ("track=A", server_.Requests()[0].body);
    if (c.initElsewhere)
        OnAnotherThread([&] { Quit(); });
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstantWakeTest,
    ::testing::Values(WakeCase{"On", "Instant=1\r\n", true, false, true},
                      // The hook goes on the thread that owns the main window.
                      WakeCase{"InitOnAnotherThread", "Instant=yes\r\n", true, true, true},
                      WakeCase{"Off", "", true, false, false},
                      WakeCase{"OffByWord", "Instant=0\r\n", true, false, false},
                      // The poll stays: a change the player gives no notice of.
                      WakeCase{"NoNotice", "Instant=1\r\n", false, false, false}),
    [](const ::testing::TestParamInfo<WakeCase>& info) { return info.param.name; });

// The host sends the rest of a burst while the woken monitor waits for its
// first answer: the turn sees everything the burst announced, and the next
// turn is the poll's, a second later, not another woken one.
TEST_F(InstantTest, ABurstOfNotificationsMakesOneTurn)
{
    Configure("Instant=1\r\n");
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpPast(kQueryPlaylistPosition);  // a second turn, past the post's second
    PumpPast(kQueryPlaylistPosition);
    Host().Pump(kSettleMs);
    const size_t before = Host().Queries().size();
    const DWORD burstAt = GetTickCount();
    Notify(kChangeTitle, kNotifyChange);
    // Not pumping, the woken monitor's first query waits in this thread's queue.
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) &&
           GetTickCount() - burstAt < kPolledGapMs)
        Sleep(1);
    Notify(kChangeStatus, kNotifyChange);
    Notify(0, kNotifyPlayingFile);
    PumpTurns(Host(), 2);

    const std::vector<HostQueryRecord> all = Host().Queries();
    const std::vector<Turn> turns =
        Turns(std::vector<HostQueryRecord>(all.begin() + before, all.end()));
    ASSERT_GE(turns.size(), 2u);
    EXPECT_LT(turns[0].start - burstAt, kPolledGapMs - kSettleMs) << "no woken turn";
    EXPECT_GE(turns[1].start - turns[0].start, kPolledGapMs) << "a second woken turn";
    EXPECT_EQ(1u, server_.Requests().size());
}

// A change within a second of a post is posted as that second ends.
TEST_F(InstantTest, NoTwoPostsComeWithinASecond)
{
    Configure("Instant=1\r\n");
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "B");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    Host().Play(2, 180);
    ASSERT_TRUE(PumpUntilPosts(2));
    const std::vector<RecordedRequest> requests = server_.Requests();
    EXPECT_GE(requests[1].arrivedMs - requests[0].arrivedMs, kPostGapMs);
    EXPECT_EQ((std::vector<std::string>{"track=A", "track=B"}), Bodies());
}

// A file that has just started has no length yet. With Streams=1 a turn that
// saw it so would post its title as a stream's, and the file again once its
// length is known; the woken turn leaves it to the next.
TEST_F(InstantTest, AWokenTurnThatSeesNoLengthPostsNothing)
{
    Configure("Instant=1\r\nStreams=1\r\n");
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Start();
    PumpPast(kQueryIsPlaying);
    Host().Pump(kSettleMs);
    Host().Play(1, -1);
    PumpPast(kQueryTrackLength, -1);
    Host().Play(1, 200);
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(Host(), 2);
    EXPECT_EQ((std::vector<std::string>{"track=A"}), Bodies());
}

}  // namespace
