// A form handler that accepts the post and never answers: the post gives up
// within its wait limit with the generic error box, and the monitor goes on
// to post the track that started meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/monitor_fixture.h"

namespace {

constexpr DWORD kWaitLimitMs = 15000;    // the plugin's own bound on a silent server
constexpr DWORD kNeverAnswersMs = 90000; // far beyond it: only the bound can end the post

class SilentServerTest : public MonitorFixture {};

TEST_F(SilentServerTest, PostEndsWithinTheWaitLimitAndTheNextTrackIsPosted)
{
    plugin_.Configure(server_.Host(), "/np.php?track=");
    server_.Script(ScriptedResponse::Answer(200, "late", kNeverAnswersMs));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "Second");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    const DWORD sent = GetTickCount();
    Host().Play(2, 180);

    ASSERT_TRUE(Host().PumpUntil([&] { return !robot_.Boxes().empty(); }, kWaitLimitMs + 5000));
    const DWORD waited = GetTickCount() - sent;
    EXPECT_GE(waited, kWaitLimitMs - 1000);
    const SeenBox box = robot_.Boxes()[0];
    EXPECT_EQ("Tunewire Plugin", box.caption);
    EXPECT_EQ("Generic Error Code: 12030", box.text);

    ASSERT_TRUE(PumpUntilPosts(2));
    EXPECT_EQ((std::vector<std::string>{"track=First", "track=Second"}), Bodies());
    EXPECT_EQ(1u, robot_.Boxes().size());
}

}  // namespace
