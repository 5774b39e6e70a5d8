// Stored-settings posts, each re-reading plugin.ini as the monitor's do, run
// without pause on one thread while the real configuration dialog on the
// test's thread stores and tests one of two settings pairs again and again.
// Each pair names its own loopback server and a long form path of its own,
// so any value torn between two writes shows up as a request at the wrong
// server, or at no server at all.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "ui/config-rc.h"
#include "config/settings.h"
#include "post/post_track.h"
#include "settings_file.h"
#include "support/dialog_driver.h"
#include "support/plugin_sandbox.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr int kDialogRounds = 12;
constexpr int kTestsPerRound = 2;
const char kSuccessText[] =
    "Connected to server = OK, Connected to form = OK. \n\n You should check the image on the "
    "server, and ensure it's been updated with 'Connection Test'";

struct Pair {
    std::string server;
    std::string formPath;
};

TEST(SettingsRaceTest, PostsAndTheDialogNeverSeeATornValue)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    g_pluginDescriptor.parentWindow = nullptr;
    LoopbackHttpServer servers[2];
    UiRobot robot;
    const Pair pairs[2] = {
        {servers[0].Host(), "/a.php?v=" + std::string(1000, 'a')},
        {servers[1].Host(), "/b.php?v=" + std::string(1000, 'b')},
    };
    auto isWhole = [&](const std::string& server, const std::string& formPath) {
        return (server == pairs[0].server && formPath == pairs[0].formPath) ||
               (server == pairs[1].server && formPath == pairs[1].formPath);
    };
    sandbox.WriteIni(SettingsFileText(pairs[0].server, pairs[0].formPath));
    ReadSettings();

    std::atomic<bool> stop{false};
    std::atomic<int> storedPosts{0};
    std::thread monitor([&] {
        while (!stop) {
            PostTrack("Stored", kUseStoredSettings, kUseStoredSettings);
            ++storedPosts;
        }
    });

    size_t tests = 0;
    for (int round = 0; round < kDialogRounds && !::testing::Test::HasFailure(); ++round) {
        const int postsBefore = storedPosts;
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            EXPECT_TRUE(isWhole(ItemText(dialog, IDC_SERVER_NAME),
                                ItemText(dialog, IDC_FORM_HANDLER)));
            for (int i = 0; i <= kTestsPerRound; ++i) {
                const Pair& pair = pairs[(round + i) % 2];
                SetItemText(dialog, IDC_SERVER_NAME, pair.server);
                SetItemText(dialog, IDC_FORM_HANDLER, pair.formPath);
                if (i == kTestsPerRound)
                    break;
                PressButton(dialog, IDC_TEST);
                ASSERT_TRUE(robot.WaitForBoxes(++tests, kWaitMs));
            }
            PressButton(dialog, IDOK);
            EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
        });
        EXPECT_GT(storedPosts, postsBefore) << "stored posts go on while the dialog works";
    }
    stop = true;
    monitor.join();

    for (int i = 0; i < 2; ++i)
        for (const RecordedRequest& request : servers[i].Requests())
            EXPECT_EQ("POST " + pairs[i].formPath + " HTTP/1.0", request.requestLine);
    for (const SeenBox& box : robot.Boxes())
        EXPECT_EQ(kSuccessText, box.text) << box.caption;
    EXPECT_EQ(tests, robot.Boxes().size());
    EXPECT_EQ(servers[0].Requests().size() + servers[1].Requests().size(),
              tests + static_cast<size_t>(storedPosts));
    ReadSettings();
    EXPECT_TRUE(isWhole(GetServerName(), GetFormHandler()));
}

}  // namespace
