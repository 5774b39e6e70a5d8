// The dialog's copies into and out of the shared settings buffers hold the
// settings lock. A helper thread holds the lock while the dialog opens, or
// while OK or Test is pressed, and checks that the dialog's thread waits:
// buffers, file, fields and server stay as they were until the lock is
// released, and take the new values right after.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "ui/config-rc.h"
#include "config/settings.h"
#include "config/settings_lock.h"
#include "dialog_fixture.h"
#include "support/dialog_driver.h"
#include "support/process_dialogs.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"

namespace {

constexpr DWORD kWaitMs = 10000;
// How long the dialog's thread is given, once it is inside a handler, to
// finish a copy it should not be able to make.
constexpr DWORD kSettleMs = 300;
// A thread that answers a sent message within this time is not blocked.
constexpr UINT kAnswerMs = 100;

// Waits until the thread of `window` stops answering sent messages, which it
// does once it is inside a handler that waits (here: for the settings lock),
// or until the window is gone. False if neither happens in time.
bool WaitUntilBlocked(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, kAnswerMs, &ignored) == 0)
            return true;
        Sleep(10);
    }
    return false;
}

HWND WaitForAnyDialog(DWORD threadId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        std::vector<ProcessDialog> dialogs = FindProcessDialogs(DialogState::kAnyState, threadId);
        if (!dialogs.empty())
            return dialogs.front().window;
        Sleep(10);
    }
    return nullptr;
}

class ConfigDialogLockTest : public DialogFixture {
protected:
    std::string StoredValue(const char* key) const
    {
        char value[kSettingSize] = {};
        GetPrivateProfileStringA("WinAmp Tunewire Basic", key, "(none)", value, sizeof value,
                                 sandbox_.IniPath().c_str());
        return value;
    }
};

TEST_F(ConfigDialogLockTest, OpeningWaitsForTheLockBeforeFillingTheFields)
{
    const DWORD dialogThread = GetCurrentThreadId();
    std::promise<void> held;
    std::thread holder([&] {
        SettingsLock lock;
        // A refill of the buffers caught half-way: only the server is new yet.
        std::strcpy(g_serverName, "new.example.com");
        held.set_value();
        HWND dialog = WaitForAnyDialog(dialogThread, kWaitMs);
        EXPECT_NE(nullptr, dialog);
        if (dialog != nullptr) {
            EXPECT_TRUE(WaitUntilBlocked(dialog, kWaitMs));
            Sleep(kSettleMs);
            EXPECT_FALSE(IsWindowVisible(dialog)) << "the dialog opened while the lock was held";
        }
        std::strcpy(g_formHandler, "/new.php?track=");
    });
    held.get_future().wait();

    RunConfigDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ("new.example.com", ItemText(dialog, IDC_SERVER_NAME));
        EXPECT_EQ("/new.php?track=", ItemText(dialog, IDC_FORM_HANDLER));
    });
    holder.join();
}

TEST_F(ConfigDialogLockTest, OkWaitsForTheLockBeforeCopyingAndStoring)
{
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, "typed.example.com");
        SetItemText(dialog, IDC_FORM_HANDLER, "/typed.php?track=");
        {
            // The driver's thread is the helper that holds the lock; it sends
            // the dialog nothing meanwhile, as the dialog's thread is stuck.
            SettingsLock lock;
            PressButton(dialog, IDOK);
            EXPECT_TRUE(WaitUntilBlocked(dialog, kWaitMs));
            Sleep(kSettleMs);
            EXPECT_STREQ("buffer.example.com", g_serverName);
            EXPECT_STREQ("/buffer.php?track=", g_formHandler);
            EXPECT_FALSE(IniExists());
            EXPECT_TRUE(IsWindow(dialog));
        }
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_STREQ("typed.example.com", g_serverName);
    EXPECT_STREQ("/typed.php?track=", g_formHandler);
    EXPECT_EQ("typed.example.com", StoredValue("ServerName"));
    EXPECT_EQ("/typed.php?track=", StoredValue("FormHandler"));
}

TEST_F(ConfigDialogLockTest, TestWaitsForTheLockBeforeCopyingAndPosting)
{
    LoopbackHttpServer server;
    UiRobot robot;
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, server.Host());
        SetItemText(dialog, IDC_FORM_HANDLER, "/typed.php?track=");
        {
            SettingsLock lock;
            PressButton(dialog, IDC_TEST);
            EXPECT_TRUE(WaitUntilBlocked(dialog, kWaitMs));
            Sleep(kSettleMs);
            EXPECT_STREQ("buffer.example.com", g_serverName);
            EXPECT_STREQ("/buffer.php?track=", g_formHandler);
            EXPECT_TRUE(server.Requests().empty());
        }
        EXPECT_TRUE(robot.WaitForBoxes(1, kWaitMs));
        EXPECT_EQ(server.Host(), std::string(g_serverName));
        EXPECT_STREQ("/typed.php?track=", g_formHandler);
        EXPECT_EQ(1u, server.Requests().size());
        EXPECT_EQ(server.Host(), ItemText(dialog, IDC_SERVER_NAME));
    });
    EXPECT_FALSE(IniExists()) << "Test stores nothing";
}

}  // namespace
