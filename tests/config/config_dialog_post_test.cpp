// The dialog's connection test and the dialog that a failed stored-settings
// post opens, with the real post over WinInet against a loopback server and
// the plugin's real message boxes, recorded and closed by the UI robot.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "config/charset_setting.h"
#include "ui/config-rc.h"
#include "config/settings.h"
#include "dialog_fixture.h"
#include "post/post_track.h"
#include "settings_file.h"
#include "support/dialog_driver.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"

namespace {

constexpr DWORD kWaitMs = 10000;
// Long enough for a wrongly opened second dialog to have appeared.
constexpr DWORD kSettleMs = 500;

const char kSuccessText[] =
    "Connected to server = OK, Connected to form = OK. \n\n You should check the image on the "
    "server, and ensure it's been updated with 'Connection Test'";

class ConfigDialogPostTest : public DialogFixture {
protected:
    // Types the two values, presses Test and waits for the post's one box.
    SeenBox RunTest(HWND dialog, const std::string& server, const std::string& formPath)
    {
        SetItemText(dialog, IDC_SERVER_NAME, server);
        SetItemText(dialog, IDC_FORM_HANDLER, formPath);
        PressButton(dialog, IDC_TEST);
        EXPECT_TRUE(robot_.WaitForBoxes(1, kWaitMs));
        Sleep(kSettleMs);
        std::vector<SeenBox> boxes = robot_.Boxes();
        EXPECT_EQ(1u, boxes.size());
        return boxes.empty() ? SeenBox{} : boxes.front();
    }

    LoopbackHttpServer server_;
    UiRobot robot_;
};

TEST_F(ConfigDialogPostTest, TestAgainstA200ServerReportsSuccessAndStaysOpen)
{
    DWORD dialogThread = GetCurrentThreadId();
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SeenBox box = RunTest(dialog, server_.Host(), "/np.php?track=");
        EXPECT_EQ("Tunewire Plugin", box.caption);
        EXPECT_EQ(kSuccessText, box.text);
        EXPECT_EQ(dialogThread, box.threadId);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(1, CountConfigDialogs());
    });
    std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /np.php?track= HTTP/1.0", requests[0].requestLine);
    EXPECT_EQ("track=Connection+Test", requests[0].body);
    EXPECT_FALSE(IniExists());
}

// The mode is what the settings file said when the settings were last read;
// the dialog itself never reads the file.
TEST_F(ConfigDialogPostTest, TestPostsInTheModeTheSettingsFileSetsIt)
{
    const struct {
        const char* charsetLine;
        const char* body;
    } cases[] = {
        {"", "track=Connection+Test"},
        {"Charset=utf-8\r\n", "track=Connection+Test&charset=utf-8"},
        {"Charset=latin1\r\n", "track=Connection+Test"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].charsetLine);
        sandbox_.WriteIni(std::string("[WinAmp Tunewire Basic]\r\n") + cases[i].charsetLine);
        ReadSettings();
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetItemText(dialog, IDC_SERVER_NAME, server_.Host());
            SetItemText(dialog, IDC_FORM_HANDLER, "/np.php?track=");
            PressButton(dialog, IDC_TEST);
            ASSERT_TRUE(robot_.WaitForBoxes(i + 1, kWaitMs));
            EXPECT_EQ(kSuccessText, robot_.Boxes()[i].text);
            PressButton(dialog, IDCANCEL);
            EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
        });
        std::vector<RecordedRequest> requests = server_.Requests();
        ASSERT_EQ(i + 1, requests.size());
        EXPECT_EQ(cases[i].body, requests[i].body);
    }
}

TEST_F(ConfigDialogPostTest, TestedValuesReappearAfterCancel)
{
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        RunTest(dialog, server_.Host(), "/tested.php?track=");
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(server_.Host(), ItemText(dialog, IDC_SERVER_NAME));
        EXPECT_EQ("/tested.php?track=", ItemText(dialog, IDC_FORM_HANDLER));
    });
    EXPECT_FALSE(IniExists());
}

TEST_F(ConfigDialogPostTest, TestWithAnEmptyFieldReportsInvalidConfigWithoutASecondDialog)
{
    const struct {
        const char* name;
        std::string server;
        std::string formPath;
    } cases[] = {
        {"empty server", "", "/np.php?track="},
        {"empty form path", server_.Host(), ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetItemText(dialog, IDC_SERVER_NAME, cases[i].server);
            SetItemText(dialog, IDC_FORM_HANDLER, cases[i].formPath);
            PressButton(dialog, IDC_TEST);
            ASSERT_TRUE(robot_.WaitForBoxes(i + 1, kWaitMs));
            Sleep(kSettleMs);
            std::vector<SeenBox> boxes = robot_.Boxes();
            ASSERT_EQ(i + 1, boxes.size());
            EXPECT_EQ("Tunewire Plugin - Invalid Config:", boxes[i].caption);
            EXPECT_EQ("", boxes[i].text);
            EXPECT_TRUE(IsWindowVisible(dialog));
            EXPECT_EQ(1, CountConfigDialogs());
        });
    }
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_FALSE(IniExists());
}

TEST_F(ConfigDialogPostTest, TestWithAnUnresolvableServerReportsItWithoutASecondDialog)
{
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SeenBox box = RunTest(dialog, "tunewire-test.invalid", "/np.php?track=");
        EXPECT_EQ("Tunewire Plugin", box.caption);
        EXPECT_EQ("Failed to connect to server, check the server address is correct.", box.text);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(1, CountConfigDialogs());
    });
}

// The host's dialog is open on the test's thread when a stored-settings post
// on another thread finds the form path empty: that thread gets the box, then
// a dialog of its own, and both dialogs are open at once.
TEST_F(ConfigDialogPostTest, FailedStoredSettingsPostOpensASecondDialogOnItsThread)
{
    sandbox_.WriteIni(SettingsFileText(server_.Host(), ""));
    DWORD hostThread = GetCurrentThreadId();
    RunConfigDialog([&](HWND hostDialog) {
        ASSERT_NE(nullptr, hostDialog);
        std::atomic<DWORD> postThread{0};
        std::atomic<bool> posted{false};
        std::thread monitor([&] {
            postThread = GetCurrentThreadId();
            posted = PostTrack("x", kUseStoredSettings, kUseStoredSettings);
        });

        EXPECT_TRUE(robot_.WaitForBoxes(1, kWaitMs));
        HWND postDialog = WaitForConfigDialog(postThread, kWaitMs);
        EXPECT_NE(nullptr, postDialog);
        if (postDialog != nullptr) {
            std::vector<SeenBox> boxes = robot_.Boxes();
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ("Tunewire Plugin - Invalid Config:", boxes[0].caption);
            EXPECT_EQ(postThread, boxes[0].threadId);
            EXPECT_EQ(2, CountConfigDialogs());
            EXPECT_TRUE(IsWindowVisible(hostDialog));
            EXPECT_EQ(server_.Host(), ItemText(postDialog, IDC_SERVER_NAME));
            EXPECT_EQ("", ItemText(postDialog, IDC_FORM_HANDLER));
            PressButton(postDialog, IDCANCEL);
            EXPECT_TRUE(WaitUntilClosed(postDialog, kWaitMs));
        }
        monitor.join();
        EXPECT_TRUE(posted);
        EXPECT_NE(hostThread, postThread.load());
        EXPECT_TRUE(IsWindowVisible(hostDialog));
    });
    EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
