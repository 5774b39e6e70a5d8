// Servers that trickle their answer a byte at a time, so that no single wait
// of the platform ever runs out: a monitor post and a Test post each end at
// the post's deadline with a box that says the server was too slow, over
// plain HTTP and through a TLS terminator of tls_post_test.sh (run outside
// that script, the TLS cases are skipped). Each case waits out the deadline,
// so each is a ctest entry of its own; together they cover a trickled head
// and a trickled body, plain and TLS, monitor and Test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "config/config-rc.h"
#include "config/dialog_fixture.h"
#include "loopback/clock.h"
#include "post/post_exchange.h"
#include "support/dialog_driver.h"
#include "support/monitor_fixture.h"

namespace {

constexpr DWORD kTrickleMs = 1000;  // each byte far inside the platform's 15 s wait
constexpr double kLateMs = 1000;    // how long after the deadline the box may come
constexpr DWORD kWaitMs = kPostDeadlineMs + 30000;  // for the box: only a fault takes this long
constexpr DWORD kSettleMs = 300;    // for a dialog the Test wrongly closed to be gone

const char kFormPath[] = "/np.php?track=";
const char kBusyLine[] = "Busy\r\n";
const char kTooSlowHead[] =
    "The server was too slow: no answer came within 30 seconds, so the post was given up.";
const char kTooSlowBody[] =
    "\n\nThe server was too slow: its answer (status 500) was cut off after 30 seconds.";

struct SlowRow {
    bool headTrickles;  // else the head comes whole and the body trickles
    bool overTls;
};

std::string Terminator(const char* name)
{
    const char* address = std::getenv((std::string("TUNEWIRE_TLS_") + name).c_str());
    return address == nullptr ? "" : address;
}

// The server that answers the row's post, and the Server setting that reaches it.
struct SlowServer {
    explicit SlowServer(const SlowRow& row)
        : answering(row.overTls ? Terminator("BACKEND") : ""),
          setting(row.overTls ? "https://" + Terminator("TRUSTED") : answering.Host())
    {
        std::string body;
        for (int line = 0; line < 60; ++line)
            body += kBusyLine;  // a minute and more of bytes
        answering.Script(ScriptedResponse::Trickle(500, body, kTrickleMs, row.headTrickles));
    }

    LoopbackHttpServer answering;
    const std::string setting;
};

bool Skipped(const SlowRow& row)
{
    return row.overTls && Terminator("BACKEND").empty();
}

// A trickled body shows the whole lines that came, then why it stops there.
void ExpectTooSlowBox(const SlowRow& row, const SeenBox& box)
{
    if (row.headTrickles) {
        EXPECT_EQ("Tunewire Plugin", box.caption);
        EXPECT_EQ(kTooSlowHead, box.text);
        return;
    }
    EXPECT_EQ("Tunewire Plugin - Failed To Post Data, Server Response:", box.caption);
    const std::string note = kTooSlowBody;
    ASSERT_GT(box.text.size(), note.size());
    const size_t kept = box.text.size() - note.size();
    EXPECT_EQ(note, box.text.substr(kept));
    std::string lines;
    while (lines.size() < kept)
        lines += "Busy";
    EXPECT_EQ(lines, box.text.substr(0, kept));
}

class SlowServerMonitorTest : public MonitorFixture {
protected:
    void Post(const SlowRow& row)
    {
        if (Skipped(row))
            GTEST_SKIP() << "needs the TLS terminators of tls_post_test.sh";
        SlowServer server(row);
        plugin_.Configure(server.setting, kFormPath);
        Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
        Host().Play(1, 200);
        Start();

        ASSERT_TRUE(Host().PumpUntil([&] { return !robot_.Boxes().empty(); }, kWaitMs));
        const double shown = NowMs();
        ASSERT_EQ(1u, server.answering.Requests().size());
        const double waited = shown - server.answering.Requests()[0].arrivedMs;
        EXPECT_LT(waited, kPostDeadlineMs + kLateMs);
        EXPECT_GT(waited, kPostDeadlineMs / 2);
        ExpectTooSlowBox(row, robot_.Boxes()[0]);
    }
};

class SlowServerTestButtonTest : public DialogFixture {
protected:
    void Post(const SlowRow& row)
    {
        if (Skipped(row))
            GTEST_SKIP() << "needs the TLS terminators of tls_post_test.sh";
        SlowServer server(row);
        UiRobot robot;
        const DWORD dialogThread = GetCurrentThreadId();
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetItemText(dialog, IDC_SERVER_NAME, server.setting);
            SetItemText(dialog, IDC_FORM_HANDLER, kFormPath);
            const double pressed = NowMs();
            PressButton(dialog, IDC_TEST);
            ASSERT_TRUE(robot.WaitForBoxes(1, kWaitMs));
            EXPECT_LT(NowMs() - pressed, kPostDeadlineMs + kLateMs);
            const SeenBox box = robot.Boxes()[0];
            EXPECT_EQ(dialogThread, box.threadId);
            ExpectTooSlowBox(row, box);
            EXPECT_TRUE(WaitUntilClosed(box.window, kWaitMs));
            Sleep(kSettleMs);
            EXPECT_TRUE(IsWindowVisible(dialog));
        });
    }
};

TEST_F(SlowServerMonitorTest, TrickledBody)
{
    Post({false, false});
}

TEST_F(SlowServerMonitorTest, TrickledHeadOverTls)
{
    Post({true, true});
}

TEST_F(SlowServerTestButtonTest, TrickledHead)
{
    Post({true, false});
}

TEST_F(SlowServerTestButtonTest, TrickledBodyOverTls)
{
    Post({false, true});
}

}  // namespace
