// One short scenario, run by ctest once in each of the ANSI code pages that
// users meet (the table in this folder's CMakeLists.txt gives each run its
// locale, from which Wine takes the code page): titles in scripts outside the
// code page reach the title file and the overlay's data whole while the post
// stays as the code page makes it, and no store of plugin.ini, by the dialog,
// by quit or by the move to a per-user folder named outside the code page,
// changes a byte that it does not write, and the settings file opens from
// there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "config/settings.h"
#include "dialog_fixture.h"
#include "post/url_encode.h"
#include "settings_file.h"
#include "shell_recorder.h"
#include "support/dialog_driver.h"
#include "support/monitor_fixture.h"
#include "support/refused_writes.h"
#include "support/ui_robot.h"
#include "support/user_folder_stand_in.h"

namespace {

constexpr DWORD kFileWaitMs = 10000;
const char kFormPath[] = "/np.php?track=";
// Other keys and sections in UTF-8, as the Enhanced Features dialog and
// Notepad write them: an en dash and accents that double-byte code pages
// would turn into other bytes.
const std::string kOtherSection = "[Other]\r\nNote=Caf\xC3\xA9 \xE2\x80\x93 kept\r\n";
const std::string kOptInLines =
    "StoppedText=Caf\xC3\xA9 \xE2\x80\x93 off air\r\n"
    "TitleFormat=%artist% \xE2\x80\x93 %title%\r\n";

// Japanese, Chinese, Korean and Cyrillic, and a line separator, which
// every code page lacks.
const wchar_t* const kTitles[] = {
    L"\x521D\x97F3\x30DF\x30AF - \x5343\x672C\x685C",
    L"\x5468\x6770\x4F26 - \x6674\x5929",
    L"\xC544\xC774\xC720 - \xC88B\xC740 \xB0A0",
    L"\x041A\x0438\x043D\x043E - \x0413\x0440\x0443\x043F\x043F\x0430",
    L"Line\x2028" L"Break",
};

std::string Bytes(const std::wstring& text, UINT codePage)
{
    const int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size) - 1);
    return bytes;
}

// The run's code page is the row's, or nothing here means anything.
void ExpectTheRowsCodePage()
{
    const char* expected = std::getenv("TUNEWIRE_CODE_PAGE");
    ASSERT_NE(nullptr, expected) << "run by ctest, which sets the row's code page";
    ASSERT_EQ(static_cast<UINT>(std::atoi(expected)), GetACP())
        << "the locale of the row is missing (scripts/setup.sh generates it)";
}

class CodePageMonitorTest : public MonitorFixture {};

TEST_F(CodePageMonitorTest, TitlesOutsideTheCodePageReachTheLocalOutputsWhole)
{
    ExpectTheRowsCodePage();
    const std::string dir = plugin_.Sandbox().Directory();
    const std::string ini = kOtherSection + SettingsFileText(server_.Host(), kFormPath) +
                            "TitleFile=" + dir + "np.txt\r\nStoppedText=Caf\xC3\xA9 \xE2\x80\x93 off air\r\n";
    plugin_.Sandbox().WriteIni(ini);
    Start();
    int position = 0;
    for (const wchar_t* title : kTitles) {
        SCOPED_TRACE(Bytes(title, CP_UTF8));
        ++position;
        const std::wstring file = L"C:\\Music\\" + std::to_wstring(position) + L".mp3";
        Host().SetEntry(position, file.c_str(), title);
        Host().Play(position, 200 + position);
        const std::string whole = Bytes(title, CP_UTF8);
        EXPECT_TRUE(Host().PumpUntil([&] { return ReadWholeFile(dir + "np.txt") == whole; },
                                     kFileWaitMs))
            << ReadWholeFile(dir + "np.txt");
        ASSERT_TRUE(PumpUntilPosts(static_cast<size_t>(position), kFileWaitMs));
        EXPECT_EQ("track=" + UrlEncode(Bytes(title, CP_ACP)), Bodies().back())
            << "the post is as the code page makes it";
        std::string json = whole;
        const std::string separator = "\xE2\x80\xA8";
        if (json.find(separator) != std::string::npos)
            json.replace(json.find(separator), separator.size(), "\\u2028");
        EXPECT_NE(std::string::npos,
                  ReadWholeFile(dir + "nowplaying.json").find("{\"title\":\"" + json + "\""));
    }
    Quit();
    EXPECT_EQ(ini, plugin_.Sandbox().ReadIni()) << "quit stores unchanged values";
}

class CodePageSettingsTest : public DialogFixture {
protected:
    // Types a server into the configuration dialog and presses OK.
    static void ChangeServerInTheDialog(const std::string& server)
    {
        RunConfigDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetItemText(dialog, IDC_SERVER_NAME, server);
            PressButton(dialog, IDOK);
            EXPECT_TRUE(WaitUntilClosed(dialog, kFileWaitMs));
        });
    }

    // A user name that no ANSI code page holds.
    UserFolderStandIn userFolder_{L"\x0141ukasz \x592A\x90CE"};
    UiRobot robot_;  // answers the box that tells of the move
};

TEST_F(CodePageSettingsTest, EachStoreChangesOnlyTheKeyItWritesAndTheMoveKeepsTheSection)
{
    ExpectTheRowsCodePage();
    const std::string section =
        "[WinAmp Tunewire Basic]\r\nServerName=old.example.com\r\n" + kOptInLines +
        "FormHandler=/np.php?track=\r\n";
    sandbox_.WriteIni(kOtherSection + section);
    ReadSettings();

    ChangeServerInTheDialog("new.example.com");
    std::string changed = kOtherSection + section;
    changed.replace(changed.find("old.example.com"), 15, "new.example.com");
    EXPECT_EQ(changed, sandbox_.ReadIni());

    std::wstring folder(sandbox_.Directory().begin(), sandbox_.Directory().end());
    const RefusedWrites refused(folder);
    ChangeServerInTheDialog("moved.example.com");
    EXPECT_EQ(changed, sandbox_.ReadIni()) << "the file beside the module is left alone";
    std::string moved = section;
    moved.replace(moved.find("old.example.com"), 15, "moved.example.com");
    EXPECT_EQ(moved, ReadWholeWideFile(userFolder_.WideIniPath()));
    // The dialogs run on this thread; a box of another thread is none of theirs.
    size_t notices = 0;
    for (const SeenBox& box : robot_.Boxes())
        notices += box.threadId == GetCurrentThreadId() ? 1 : 0;
    EXPECT_EQ(1u, notices) << "the move is told once";

    // The settings now live under the user's name, which the code page lacks.
    const ShellRecorder shell;
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        PressButton(dialog, IDC_EF_OPEN_SETTINGS);
        const std::vector<ShellCall> calls = shell.WaitForCalls(1);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(userFolder_.WideIniPath(), calls[0].wideTarget);
    });
}

}  // namespace
