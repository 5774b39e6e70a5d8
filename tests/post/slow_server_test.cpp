// Servers that trickle their answer a byte at a time, so that no single wait
// of the platform runs out: a monitor post and a Test post each end at the
// post's deadline with a box that says the server was too slow. Four cases
// cover a trickled head and body, plain and TLS (tls_post_test.sh's trusted
// terminator; skipped outside it), monitor and Test; each waits out the
// deadline, so each is a ctest entry of its own.
#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "config/dialog_fixture.h"
#include "loopback/clock.h"
#include "post/post_exchange.h"
#include "support/dialog_driver.h"
#include "support/monitor_fixture.h"
#include "support/post_fixture.h"

namespace {

constexpr DWORD kTrickleMs = 1000;  // each byte far inside the platform's 15 s wait
constexpr double kLateMs = 1000;    // how long after the deadline the box may come
constexpr DWORD kWaitMs = kPostDeadlineMs + 30000;  // only a fault takes this long

struct SlowRow {
    bool headTrickles;  // else the head comes whole and the body trickles
    bool overTls;
};

// The server that answers the row's post and the Server setting that reaches it.
struct SlowServer {
    explicit SlowServer(const SlowRow& row)
        : answering(row.overTls ? TlsTerminator("BACKEND") : ""),
          setting(row.overTls ? "https://" + TlsTerminator("TRUSTED") : answering.Host())
    {
        std::string body;
        while (body.size() < 300)  // minutes of bytes
            body += "Busy\r\n";
        answering.Script(ScriptedResponse::Trickle(500, body, kTrickleMs, row.headTrickles));
    }
    LoopbackHttpServer answering;
    const std::string setting;
};

// A trickled body shows the whole lines that came, then why it stops there.
void ExpectTooSlowBox(const SlowRow& row, const SeenBox& box)
{
    if (row.headTrickles) {
        EXPECT_EQ("Tunewire Plugin", box.caption);
        EXPECT_EQ("The server was too slow: no answer came within 30 seconds, so the post was "
                  "given up.",
                  box.text);
        return;
    }
    EXPECT_EQ("Tunewire Plugin - Failed To Post Data, Server Response:", box.caption);
    const std::string note =
        "\n\nThe server was too slow: its answer (status 500) was cut off after 30 seconds.";
    ASSERT_GT(box.text.size(), note.size());
    std::string lines;
    while (lines.size() < box.text.size() - note.size())
        lines += "Busy";
    EXPECT_EQ(lines + note, box.text);
}

bool LacksTerminators(const SlowRow& row)
{
    return row.overTls && TlsTerminator("BACKEND").empty();
}

class SlowServerMonitorTest : public MonitorFixture {
protected:
    void Post(const SlowRow& row)
    {
        if (LacksTerminators(row))
            GTEST_SKIP() << "needs the TLS terminators of tls_post_test.sh";
        SlowServer server(row);
        plugin_.Configure(server.setting, "/np.php?track=");
        Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
        Host().Play(1, 200);
        Start();
        ASSERT_TRUE(Host().PumpUntil([&] { return !robot_.Boxes().empty(); }, kWaitMs));
        const double waited = NowMs() - server.answering.Requests().at(0).arrivedMs;
        EXPECT_LT(waited, kPostDeadlineMs + kLateMs);
        EXPECT_GT(waited, kPostDeadlineMs / 2);
        ExpectTooSlowBox(row, robot_.Boxes()[0]);
    }
};

// The box comes on the dialog's thread, and the dialog stays open after it.
// The deadline closed each of the post's handles once, child first.
class SlowServerTestButtonTest : public DialogFixture {
protected:
    void Post(const SlowRow& row)
    {
        if (LacksTerminators(row))
            GTEST_SKIP() << "needs the TLS terminators of tls_post_test.sh";
        SlowServer server(row);
        UiRobot robot;
        WinInetSpy spy;
        const DWORD dialogThread = GetCurrentThreadId();
        RunConfigDialog([&](HWND dialog) {
            SetItemText(dialog, IDC_SERVER_NAME, server.setting);
            SetItemText(dialog, IDC_FORM_HANDLER, "/np.php?track=");
            const double pressed = NowMs();
            PressButton(dialog, IDC_TEST);
            ASSERT_TRUE(robot.WaitForBoxes(1, kWaitMs));
            EXPECT_LT(NowMs() - pressed, kPostDeadlineMs + kLateMs);
            const SeenBox box = robot.Boxes()[0];
            EXPECT_EQ(dialogThread, box.threadId);
            ExpectTooSlowBox(row, box);
            EXPECT_EQ((std::vector<std::string>{"InternetCloseHandle(request)",
                                                "InternetCloseHandle(connection)",
                                                "InternetCloseHandle(session)"}),
                      spy.CallsOf("InternetCloseHandle"));
            EXPECT_TRUE(WaitUntilClosed(box.window, kWaitMs));
            Sleep(300);  // a dialog the Test wrongly closed would be gone by now
            EXPECT_TRUE(IsWindowVisible(dialog));
        });
    }
};

TEST_F(SlowServerMonitorTest, TrickledBody) { Post({false, false}); }
TEST_F(SlowServerMonitorTest, TrickledHeadOverTls) { Post({true, true}); }
TEST_F(SlowServerTestButtonTest, TrickledHead) { Post({true, false}); }
TEST_F(SlowServerTestButtonTest, TrickledBodyOverTls) { Post({false, true}); }

}  // namespace
