// The settings as a user under Program Files meets them: plugin.ini beside the
// module cannot be written (a folder of that name stands in its way), so OK
// and quit store into the per-user file, OK says so once, and the next post
// goes where the user said. The real dialog, boxes and a loopback server; the
// application-data folder is a stand-in, never the shared prefix's own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/config-rc.h"
#include "config/settings.h"
#include "config/settings_lock.h"
#include "dialog_fixture.h"
#include "loopback/loopback_http_server.h"
#include "plugin/lifecycle.h"
#include "post/post_track.h"
#include "settings_file.h"
#include "support/dialog_driver.h"
#include "support/ui_robot.h"
#include "support/user_folder_stand_in.h"

namespace {

constexpr DWORD kWaitMs = 10000;
const char kFormPath[] = "/np.php?track=";

class UserSettingsDialogTest : public DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        ASSERT_TRUE(CreateDirectoryA(sandbox_.IniPath().c_str(), nullptr));
    }

    void TearDown() override { RemoveDirectoryA(sandbox_.IniPath().c_str()); }

    // Types the two values and presses OK; returns once the dialog has closed.
    void ConfirmWithOk(const std::string& server, const std::string& formPath, HWND& dialogSeen)
    {
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            dialogSeen = dialog;
            SetItemText(dialog, IDC_SERVER_NAME, server);
            SetItemText(dialog, IDC_FORM_HANDLER, formPath);
            PressButton(dialog, IDOK);
            EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
        });
    }

    UserFolderStandIn userFolder_;
    LoopbackHttpServer server_;
    UiRobot robot_;
};

TEST_F(UserSettingsDialogTest, OkMovesTheSettingsSaysSoOnceAndThePostGoesToTheNewServer)
{
    const DWORD dialogThread = GetCurrentThreadId();
    HWND firstDialog = nullptr;
    ConfirmWithOk(server_.Host(), kFormPath, firstDialog);

    // The dialog closes only once its box has been answered, so the box has
    // been seen by now.
    std::vector<SeenBox> boxes = robot_.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("WinAmp Tunewire Basic", boxes[0].caption);
    EXPECT_EQ("Windows does not let the plugin write to its own folder (as under Program "
              "Files), so your settings are now stored for your Windows account in\n\n" +
                  userFolder_.IniPath() + "\n\nThe plugin reads them from there from now on.",
              boxes[0].text);
    EXPECT_EQ(firstDialog, boxes[0].owner);
    EXPECT_EQ(dialogThread, boxes[0].threadId);
    EXPECT_EQ(SettingsFileText(server_.Host(), kFormPath), userFolder_.ReadIni());

    // A post with the stored settings, as the monitor makes it, reads the
    // per-user file again.
    std::strcpy(g_serverName, "stale.invalid");
    EXPECT_TRUE(PostTrack("Title", kUseStoredSettings, kUseStoredSettings));
    std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /np.php?track= HTTP/1.0", requests[0].requestLine);
    EXPECT_EQ("track=Title", requests[0].body);

    HWND secondDialog = nullptr;
    ConfirmWithOk(server_.Host(), "/second.php?track=", secondDialog);
    EXPECT_EQ(1u, robot_.Boxes().size()) << "the second OK shows no box";
    EXPECT_EQ(SettingsFileText(server_.Host(), "/second.php?track="), userFolder_.ReadIni());
}

TEST_F(UserSettingsDialogTest, OkBesideAWritableModuleShowsNoBox)
{
    RemoveDirectoryA(sandbox_.IniPath().c_str());
    HWND dialog = nullptr;
    ConfirmWithOk(server_.Host(), kFormPath, dialog);
    EXPECT_TRUE(robot_.Boxes().empty());
    EXPECT_EQ(SettingsFileText(server_.Host(), kFormPath), sandbox_.ReadIni());
    EXPECT_FALSE(userFolder_.IniExists());
}

// Values that a Test left in the buffers, with no OK and no post since, are
// stored at quit like any others, and quit shows nothing; the next dialog
// tells of the move, once.
TEST_F(UserSettingsDialogTest, QuitStoresIntoTheUserFileAndTheNextDialogSaysSoOnce)
{
    ASSERT_EQ(0, PluginInit());
    {
        SettingsLock lock;  // the monitor thread runs
        std::strcpy(g_serverName, "tested.example.com");
        std::strcpy(g_formHandler, "/tested.php");
    }
    PluginQuit();
    EXPECT_TRUE(robot_.Boxes().empty());

    for (int run = 0; run < 2; ++run) {
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            if (run == 0) {
                EXPECT_TRUE(robot_.WaitForBoxes(1, kWaitMs));
            }
            PressButton(dialog, IDCANCEL);
            EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
        });
    }
    const std::vector<SeenBox> boxes = robot_.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find(userFolder_.IniPath())) << boxes[0].text;
    EXPECT_EQ(SettingsFileText("tested.example.com", "/tested.php"), userFolder_.ReadIni())
        << "the reminder is gone once told";
}

// Neither file can be written: OK says where it tried and why, and the
// dialog stays open with the values.
TEST_F(UserSettingsDialogTest, AStoreThatGoesNowhereIsToldAndTheDialogStaysOpen)
{
    // A file where the per-user folder should be.
    WriteWholeFile(userFolder_.Folder() + "Tunewire", "");
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, "typed.example.com");
        PressButton(dialog, IDOK);
        ASSERT_TRUE(robot_.WaitForBoxes(1, kWaitMs));
        EXPECT_FALSE(WaitUntilClosed(dialog, 1000));
        EXPECT_EQ("typed.example.com", ItemText(dialog, IDC_SERVER_NAME));
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    const std::vector<SeenBox> boxes = robot_.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("WinAmp Tunewire Basic", boxes[0].caption);
    const std::string& text = boxes[0].text;
    EXPECT_EQ(0u, text.find("Your settings could not be saved. The plugin tried:\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\n" + sandbox_.IniPath() + " (error ")) << text;
    EXPECT_NE(std::string::npos, text.find("\n" + userFolder_.IniPath() + " (error ")) << text;
    EXPECT_FALSE(userFolder_.IniExists());
}

}  // namespace
