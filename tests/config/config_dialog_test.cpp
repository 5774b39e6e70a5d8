// The configuration dialog driven as a user would, on the test's own thread
// (the foreground one, so focus behaves as for the host's dialog). The shell
// is replaced by a recorder: no browser, editor or file window is started.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "config/settings.h"
#include "dialog_fixture.h"
#include "settings_file.h"
#include "shell_recorder.h"
#include "support/dialog_driver.h"

namespace {

constexpr DWORD kWaitMs = 5000;

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

class ConfigDialogTest : public DialogFixture {
protected:
    ShellRecorder shell_;
};

TEST_F(ConfigDialogTest, ShowsTheBuffersNotTheFile)
{
    sandbox_.WriteIni(SettingsFileText("file.example.com", "/file.php"));
    RunConfigDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ("buffer.example.com", ItemText(dialog, IDC_SERVER_NAME));
        EXPECT_EQ("/buffer.php?track=", ItemText(dialog, IDC_FORM_HANDLER));
    });
}

TEST_F(ConfigDialogTest, CaptionAndLabelsAreReplacedAtStart)
{
    RunConfigDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        char caption[64] = {};
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ("Version  v1.0.0.1  Basic.", caption);
        EXPECT_EQ("Enhanced Features", ItemText(dialog, IDC_ENHANCED_FEATURES));
        EXPECT_EQ("Want More? See what the enhanced version does ->",
                  ItemText(dialog, IDC_ENHANCED_HINT));
    });
}

TEST_F(ConfigDialogTest, NotesAreSixLinesWithoutATrailingBreak)
{
    const std::vector<std::string> expected = {
        "Notes:",
        "1/  The Server setting should NOT have the HTTP:// prefix",
        "2/  The Form URL should always start with a /",
        "3/  All settings are CaSE SenSiTiVE!!",
        "4/  If you having trouble with the settings, try pasting the files into a web browser,",
        "     and see what the response is. For example:   "
        "http://www.example.com/MyHandler.php?track=\"Artist - Title\"",
    };
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(expected, SplitLines(ItemText(dialog, IDC_NOTES)));
    });
}

TEST_F(ConfigDialogTest, FocusStartsInTheFormPathField)
{
    DWORD dialogThread = GetCurrentThreadId();
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetGUIThreadInfo(dialogThread, &info));
        EXPECT_EQ(GetDlgItem(dialog, IDC_FORM_HANDLER), info.hwndFocus);
    });
}

TEST_F(ConfigDialogTest, IsOwnedByTheHostWindow)
{
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
    g_pluginDescriptor.parentWindow = host;
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(host, GetWindow(dialog, GW_OWNER));
    });
    g_pluginDescriptor.parentWindow = nullptr;
    DestroyWindow(host);
}

TEST_F(ConfigDialogTest, OkStoresBothFieldsAndCloses)
{
    INT_PTR result = RunConfigDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, "typed.example.com");
        SetItemText(dialog, IDC_FORM_HANDLER, "/typed.php?track=");
        PressButton(dialog, IDOK);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_EQ(0, result);
    EXPECT_STREQ("typed.example.com", g_serverName);
    EXPECT_STREQ("/typed.php?track=", g_formHandler);
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=typed.example.com\r\n"
              "FormHandler=/typed.php?track=\r\n",
              sandbox_.ReadIni());
}

TEST_F(ConfigDialogTest, EnterActsAsOk)
{
    RunConfigDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_FORM_HANDLER, "/entered");
        PressKey(dialog, VK_RETURN);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_STREQ("/entered", g_formHandler);
    EXPECT_NE(std::string::npos, sandbox_.ReadIni().find("FormHandler=/entered\r\n"));
}

TEST_F(ConfigDialogTest, OkStoresEmptyFieldsAsEmptyKeys)
{
    RunConfigDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, "");
        SetItemText(dialog, IDC_FORM_HANDLER, "");
        PressButton(dialog, IDOK);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_STREQ("", g_serverName);
    EXPECT_STREQ("", g_formHandler);
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=\r\nFormHandler=\r\n", sandbox_.ReadIni());
}

TEST_F(ConfigDialogTest, TextBeyond1023CharactersIsDropped)
{
    const std::string longServer(1500, 's');
    const std::string longPath = "/" + std::string(1500, 'p');
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, longServer);
        SetItemText(dialog, IDC_FORM_HANDLER, longPath);
        ASSERT_EQ(longPath, ItemText(dialog, IDC_FORM_HANDLER));
        PressButton(dialog, IDOK);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_EQ(longServer.substr(0, 1023), std::string(g_serverName));
    EXPECT_EQ(longPath.substr(0, 1023), std::string(g_formHandler));
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=" + longServer.substr(0, 1023) +
                  "\r\nFormHandler=" + longPath.substr(0, 1023) + "\r\n",
              sandbox_.ReadIni());
}

// Every way of leaving without OK: the fields are never read.
TEST_F(ConfigDialogTest, CancelEscAndTheCloseBoxStoreNothing)
{
    struct Way {
        const char* name;
        void (*leave)(HWND dialog);
    };
    const Way ways[] = {
        {"Cancel", [](HWND dialog) { PressButton(dialog, IDCANCEL); }},
        {"Esc", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
        {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        INT_PTR result = RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetItemText(dialog, IDC_SERVER_NAME, "discarded.example.com");
            SetItemText(dialog, IDC_FORM_HANDLER, "/discarded");
            way.leave(dialog);
            EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
        });
        EXPECT_EQ(0, result);
        EXPECT_STREQ("buffer.example.com", g_serverName);
        EXPECT_STREQ("/buffer.php?track=", g_formHandler);
        EXPECT_FALSE(IniExists());
    }
}

TEST_F(ConfigDialogTest, ShellButtonsOpenTheirTargetsAndLeaveTheDialogOpen)
{
    const struct {
        int button;
        std::string target;
    } cases[] = {
        {IDC_SERVER_FILES, sandbox_.Directory() + "gen_tunewire\\"},
        {IDC_VIEW_README, sandbox_.Directory() + "gen_tunewire\\readme.txt"},
    };
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(cases[i].target);
            PressButton(dialog, cases[i].button);
            std::vector<ShellCall> calls = shell_.WaitForCalls(i + 1);
            ASSERT_EQ(i + 1, calls.size());
            const ShellCall& call = calls.back();
            EXPECT_EQ(nullptr, call.owner);
            EXPECT_EQ("open", call.verb);
            EXPECT_EQ(cases[i].target, call.target);
            EXPECT_FALSE(call.hasParameters);
            EXPECT_FALSE(call.hasDirectory);
            EXPECT_EQ(SW_SHOWNORMAL, call.show);
            EXPECT_TRUE(IsWindowVisible(dialog));
        }
    });
    EXPECT_FALSE(IniExists());
}

}  // namespace
