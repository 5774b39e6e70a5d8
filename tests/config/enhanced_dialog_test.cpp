// The Enhanced Features dialog driven as a user would, opened from the real
// configuration dialog's button: what it shows of the file, which bytes its
// OK writes, what Cancel leaves, the buttons that reach the shell (recorded,
// never run), the save dialog (replaced in this executable's import table),
// the clipboard and the boxes it raises (the robot reads and closes them).
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <set>
#include <string>

#include "ui/config-rc.h"
#include "dialog_fixture.h"
#include "monitor/latest_track.h"
#include "shell_recorder.h"
#include "support/dialog_driver.h"
#include "support/import_slot.h"
#include "support/ui_robot.h"
#include "support/user_folder_stand_in.h"

namespace {

constexpr DWORD kWaitMs = 10000;
const std::string kServerLines =
    "[WinAmp Tunewire Basic]\r\nServerName=s.example.com\r\nFormHandler=/f.php\r\n";
const std::string kOtherSection = "[Other]\r\nQuiet=1\r\n";

void Check(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// The three stop choices are radio buttons: exactly one is checked.
void ChooseStop(HWND dialog, int id)
{
    for (int choice : {IDC_EF_STOP_NOTHING, IDC_EF_STOP_EMPTY, IDC_EF_STOP_TEXT})
        Check(dialog, choice, choice == id);
}

std::wstring WideText(HWND dialog, int id)
{
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

// The test's own paths are ASCII.
std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

void PressOkAndWait(HWND dialog)
{
    PressButton(dialog, IDOK);
    EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
}

class EnhancedDialogTest : public DialogFixture {
protected:
    bool ButtonEnabled(HWND dialog, int id) const
    {
        return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
    }

    // The page the plugin ships, where Copy overlay takes it from.
    std::string ShipOverlay() const
    {
        const std::string page = "<!DOCTYPE html><title>overlay</title>\n";
        CreateDirectoryA((sandbox_.Directory() + "gen_tunewire").c_str(), nullptr);
        WriteWholeFile(sandbox_.Directory() + "gen_tunewire\\overlay.html", page);
        return page;
    }

    ShellRecorder shell_;
};

// One row per kind of change: the file before, what the user does, the file
// after OK, byte for byte. No row's file may differ in a key it did not touch.
struct RoundTrip {
    const char* name;
    std::string before;  // empty: no file
    std::function<void(HWND)> change;
    std::string after;   // empty: still no file
};

TEST_F(EnhancedDialogTest, OkWritesOnlyTheKeysTheUserChanged)
{
    const std::string handTyped = kServerLines + "quiet = YES\r\nStoppedText=\r\n" + kOtherSection;
    const RoundTrip rows[] = {
        {"nothing changed, no file", "", [](HWND) {}, ""},
        {"nothing changed, keys typed by hand stay as typed", handTyped,
         [](HWND dialog) {
             Check(dialog, IDC_EF_QUIET, false);
             Check(dialog, IDC_EF_QUIET, true);
         },
         handTyped},
        {"switches on", kServerLines,
         [](HWND dialog) {
             for (int id : {IDC_EF_UNICODE, IDC_EF_QUIET, IDC_EF_STREAMS, IDC_EF_INSTANT})
                 Check(dialog, id, true);
         },
         kServerLines + "Charset=utf-8\r\nQuiet=1\r\nStreams=1\r\nInstant=1\r\n"},
        {"a switch back to its default goes",
         kServerLines + "Quiet=yes\r\nStreams=on\r\n" + kOtherSection,
         [](HWND dialog) { Check(dialog, IDC_EF_QUIET, false); },
         kServerLines + "Streams=on\r\n" + kOtherSection},
        {"texts in any script, as UTF-8", kServerLines,
         [](HWND dialog) {
             SetDlgItemTextW(dialog, IDC_EF_TITLE_FILE, L"C:\\Streams\\Caf\u00E9 \u266A\\np.txt");
             ChooseStop(dialog, IDC_EF_STOP_TEXT);
             SetDlgItemTextW(dialog, IDC_EF_STOPPED_TEXT,
                             L"\u041F\u0430\u0443\u0437\u0430 \u2013 \u505C\u6B62 \U0001F3B5");
         },
         kServerLines + "TitleFile=C:\\Streams\\Caf\xC3\xA9 \xE2\x99\xAA\\np.txt\r\n"
                        "StoppedText=\xD0\x9F\xD0\xB0\xD1\x83\xD0\xB7\xD0\xB0 \xE2\x80\x93 "
                        "\xE5\x81\x9C\xE6\xAD\xA2 \xF0\x9F\x8E\xB5\r\n"},
        {"a title format, a cover art file and the tags posted", kServerLines,
         [](HWND dialog) {
             SetDlgItemTextW(dialog, IDC_EF_TITLE_FORMAT, L"%artist% \u2013 %title%[ (%album%)]");
             SetDlgItemTextW(dialog, IDC_EF_ARTWORK_FILE, L"C:\\Stream\\cover.png");
             Check(dialog, IDC_EF_POST_FIELDS, true);
         },
         kServerLines + "PostFields=1\r\nTitleFormat=%artist% \xE2\x80\x93 %title%[ (%album%)]\r\n"
                        "ArtworkFile=C:\\Stream\\cover.png\r\n"},
        {"an empty title is not nothing", kServerLines,
         [](HWND dialog) { ChooseStop(dialog, IDC_EF_STOP_EMPTY); },
         kServerLines + "StoppedText=\r\n"},
        {"post nothing removes the stop text", kServerLines + "StoppedText=Paused\r\n",
         [](HWND dialog) { ChooseStop(dialog, IDC_EF_STOP_NOTHING); }, kServerLines},
        {"blanks around a text are kept by quotes", kServerLines,
         [](HWND dialog) {
             ChooseStop(dialog, IDC_EF_STOP_TEXT);
             SetDlgItemTextW(dialog, IDC_EF_STOPPED_TEXT, L"  - ");
         },
         kServerLines + "StoppedText=\"  - \"\r\n"},
        {"an emptied title file goes", kServerLines + "TitleFile=C:\\np.txt\r\n" + kOtherSection,
         [](HWND dialog) { SetDlgItemTextW(dialog, IDC_EF_TITLE_FILE, L""); },
         kServerLines + kOtherSection},
        {"a section is added after the others", "[Other]\r\nx=1",
         [](HWND dialog) { Check(dialog, IDC_EF_QUIET, true); },
         "[Other]\r\nx=1\r\n[WinAmp Tunewire Basic]\r\nQuiet=1\r\n"},
        {"a byte-order mark stays", "\xEF\xBB\xBF" + kServerLines,
         [](HWND dialog) { Check(dialog, IDC_EF_STREAMS, true); },
         "\xEF\xBB\xBF" + kServerLines + "Streams=1\r\n"},
    };
    for (const RoundTrip& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteFileA(sandbox_.IniPath().c_str());
        if (!row.before.empty())
            sandbox_.WriteIni(row.before);
        RunEnhancedDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            row.change(dialog);
            PressOkAndWait(dialog);
        });
        if (row.after.empty())
            EXPECT_FALSE(IniExists());
        else
            EXPECT_EQ(row.after, sandbox_.ReadIni());
    }
}

TEST_F(EnhancedDialogTest, FieldsShowTheFilesValues)
{
    // A title file typed in UTF-8 and a stop text in the ANSI code page.
    sandbox_.WriteIni(kServerLines +
                      "Charset=UTF-8\r\nQuiet=yes\r\nStreams=0\r\n"
                      "TitleFile=C:\\M\xC3\xBAsica\\np.txt\r\nStoppedText=Caf\xE9\r\n"
                      "PostFields=on\r\nTitleFormat=%title% \xE2\x80\x93 %artist%\r\n"
                      "ArtworkFile=C:\\cover.jpg\r\n");
    RunEnhancedDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_EF_UNICODE));
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_EF_QUIET));
        EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_EF_STREAMS));
        EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_EF_INSTANT));
        EXPECT_EQ(L"C:\\M\u00FAsica\\np.txt", WideText(dialog, IDC_EF_TITLE_FILE));
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_EF_STOP_TEXT));
        EXPECT_EQ(L"Caf\u00E9", WideText(dialog, IDC_EF_STOPPED_TEXT));
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_EF_POST_FIELDS));
        EXPECT_EQ(L"%title% \u2013 %artist%", WideText(dialog, IDC_EF_TITLE_FORMAT));
        EXPECT_EQ(L"C:\\cover.jpg", WideText(dialog, IDC_EF_ARTWORK_FILE));
    });
}

// The button opens the dialog over the configuration dialog, which stays;
// "Visit Website" is where the button's web page went.
TEST_F(EnhancedDialogTest, OpensFromTheButtonAndVisitsTheWebsite)
{
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        HWND owner = GetWindow(dialog, GW_OWNER);
        char ownerCaption[64] = {};
        GetWindowTextA(owner, ownerCaption, sizeof ownerCaption);
        EXPECT_STREQ(kConfigDialogCaption, ownerCaption);
        EXPECT_TRUE(IsWindowUnicode(dialog));

        PressButton(dialog, IDC_EF_VISIT);
        const std::vector<ShellCall> calls = shell_.WaitForCalls(1);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(nullptr, calls[0].owner);
        EXPECT_EQ("open", calls[0].verb);
        EXPECT_EQ("http://www.example.com/glyphmill/upgrade.html", calls[0].target);
        EXPECT_FALSE(calls[0].hasParameters);
        EXPECT_FALSE(calls[0].hasDirectory);
        EXPECT_EQ(SW_SHOWNORMAL, calls[0].show);
        EXPECT_TRUE(IsWindowVisible(dialog));
    });
    EXPECT_FALSE(IniExists());
}

// Keyboard alone: every control that acts is a tab stop or in a group, each
// mnemonic is its control's own, Esc leaves and Enter confirms.
TEST_F(EnhancedDialogTest, KeyboardReachesEveryControl)
{
    RunEnhancedDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        std::set<char> mnemonics;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            char text[256] = {};
            GetWindowTextA(child, text, sizeof text);
            const std::string label = text;
            const size_t amp = label.find('&');
            if (amp != std::string::npos && amp + 1 < label.size()) {
                EXPECT_TRUE(mnemonics.insert(static_cast<char>(tolower(label[amp + 1]))).second)
                    << label;
            }
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            char className[16] = {};
            GetClassNameA(child, className, sizeof className);
            const bool radio = (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
            if (_stricmp(className, "Static") != 0 && (style & BS_TYPEMASK) != BS_GROUPBOX &&
                !radio) {
                EXPECT_TRUE(style & WS_TABSTOP) << label;
            }
        }
        EXPECT_GE(mnemonics.size(), 12u);
        PressKey(dialog, VK_ESCAPE);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    RunEnhancedDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        Check(dialog, IDC_EF_STREAMS, true);
        PressKey(dialog, VK_RETURN);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nStreams=1\r\n", sandbox_.ReadIni());
}

TEST_F(EnhancedDialogTest, CancelWritesNothing)
{
    const std::string before = kServerLines + "Quiet=1\r\n";
    sandbox_.WriteIni(before);
    RunEnhancedDialog([](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        for (int id : {IDC_EF_UNICODE, IDC_EF_STREAMS, IDC_EF_INSTANT, IDC_EF_POST_FIELDS})
            Check(dialog, id, true);
        Check(dialog, IDC_EF_QUIET, false);
        SetDlgItemTextW(dialog, IDC_EF_TITLE_FILE, L"C:\\np.txt");
        SetDlgItemTextW(dialog, IDC_EF_TITLE_FORMAT, L"%title%");
        SetDlgItemTextW(dialog, IDC_EF_ARTWORK_FILE, L"C:\\cover.jpg");
        ChooseStop(dialog, IDC_EF_STOP_EMPTY);
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    });
    EXPECT_EQ(before, sandbox_.ReadIni());
}

TEST_F(EnhancedDialogTest, OpenSettingsFileOpensTheFileInUseCreatedWithItsSection)
{
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        PressButton(dialog, IDC_EF_OPEN_SETTINGS);
        const std::vector<ShellCall> calls = shell_.WaitForCalls(1);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(Wide(sandbox_.IniPath()), calls[0].wideTarget);
    });
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\n", sandbox_.ReadIni());
}

// Open log is greyed until the quiet log exists beside the settings file.
TEST_F(EnhancedDialogTest, OpenLogOpensTheLogOnlyWhenThereIsOne)
{
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_FALSE(ButtonEnabled(dialog, IDC_EF_OPEN_LOG));
    });
    const std::string log = sandbox_.Directory() + "tunewire.log";
    WriteWholeFile(log, "line\r\n");
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(ButtonEnabled(dialog, IDC_EF_OPEN_LOG));
        PressButton(dialog, IDC_EF_OPEN_LOG);
        const std::vector<ShellCall> calls = shell_.WaitForCalls(1);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(Wide(log), calls[0].wideTarget);
    });
}

// plugin.ini beside the module cannot be written (a folder of that name
// stands in its way), as under Program Files.
class UnwritableModuleFolderTest : public EnhancedDialogTest {
protected:
    void SetUp() override
    {
        EnhancedDialogTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(sandbox_.IniPath().c_str(), nullptr));
    }
    void TearDown() override { RemoveDirectoryA(sandbox_.IniPath().c_str()); }

    UserFolderStandIn userFolder_;
    UiRobot robot_;
};

TEST_F(UnwritableModuleFolderTest, OpenSettingsFileMovesTheSettingsFirst)
{
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        PressButton(dialog, IDC_EF_OPEN_SETTINGS);
        const std::vector<ShellCall> calls = shell_.WaitForCalls(1);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(userFolder_.WideIniPath(), calls[0].wideTarget);
    });
    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_NE(std::string::npos, robot_.Boxes()[0].text.find(userFolder_.IniPath()));
    // The defaults, not the buffers' values, which no one stored.
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=your-server.invalid\r\n"
              "FormHandler=/MyFormHandler.php?track=\r\n",
              userFolder_.ReadIni());
}

TEST_F(UnwritableModuleFolderTest, OkStoresIntoTheUserFile)
{
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        Check(dialog, IDC_EF_QUIET, true);
        PressOkAndWait(dialog);
    });
    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=your-server.invalid\r\n"
              "FormHandler=/MyFormHandler.php?track=\r\nQuiet=1\r\n",
              userFolder_.ReadIni());
}

// Neither file can be written: the box says so and the dialog keeps what the
// user typed.
TEST_F(UnwritableModuleFolderTest, AFailedStoreShowsABoxAndKeepsTheDialogOpen)
{
    ASSERT_TRUE(CreateDirectoryA((userFolder_.Folder() + "Tunewire").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(userFolder_.IniPath().c_str(), nullptr));
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        Check(dialog, IDC_EF_QUIET, true);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(robot_.WaitForBoxes(1, kWaitMs));
        const SeenBox box = robot_.Boxes()[0];
        EXPECT_EQ("WinAmp Tunewire Basic", box.caption);
        EXPECT_EQ(0u, box.text.find("Your changes could not be stored in " + sandbox_.IniPath() +
                                    " (error "))
            << box.text;
        EXPECT_EQ(dialog, box.owner);
        Sleep(200);  // the box is answered; the dialog must still be there
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_EF_QUIET));
    });
    RemoveDirectoryA(userFolder_.IniPath().c_str());
}

// The shell gets the wide paths whole, under a user name outside the ANSI
// code page, where an ANSI path would reach it as '?'.
TEST_F(EnhancedDialogTest, OpenSettingsFileAndOpenLogHandTheShellTheWholePath)
{
    UserFolderStandIn userFolder(L"\u0141ukasz \u592A\u90CE");
    userFolder.WriteIni(kServerLines);
    const std::wstring log = userFolder.WideFolder() + L"Tunewire\\tunewire.log";
    WriteWholeWideFile(log, "line\r\n");
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        PressButton(dialog, IDC_EF_OPEN_SETTINGS);
        PressButton(dialog, IDC_EF_OPEN_LOG);
        const std::vector<ShellCall> calls = shell_.WaitForCalls(2);
        ASSERT_EQ(2u, calls.size());
        EXPECT_EQ(userFolder.WideIniPath(), calls[0].wideTarget);
        EXPECT_EQ(log, calls[1].wideTarget);
    });
    DeleteFileW(log.c_str());  // the stand-in removes only the files it knows
}

// Nothing opens the file: a box says which and why, over the dialog.
TEST_F(EnhancedDialogTest, AFailedShellOpenShowsThePathAndTheError)
{
    UiRobot robot;
    shell_.FailWideCalls(SE_ERR_NOASSOC);
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        PressButton(dialog, IDC_EF_OPEN_SETTINGS);
        ASSERT_TRUE(robot.WaitForBoxes(1, kWaitMs));
        EXPECT_EQ("Windows could not open " + sandbox_.IniPath() + " (error 31).",
                  robot.Boxes()[0].text);
        EXPECT_EQ(dialog, robot.Boxes()[0].owner);
    });
}

// A file Notepad saved as "Unicode" (UTF-16) is left as it is, wherever it
// lies, rather than edited line by line into a mix of encodings.
TEST_F(EnhancedDialogTest, AUtf16FileIsNeverEdited)
{
    UiRobot robot;
    const std::string utf16("\xFF\xFE[\0W\0]\0\r\0\n\0", 12);
    sandbox_.WriteIni(utf16);
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        Check(dialog, IDC_EF_QUIET, true);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(robot.WaitForBoxes(1, kWaitMs));
        EXPECT_NE(std::string::npos, robot.Boxes()[0].text.find("(error 1630)"))
            << robot.Boxes()[0].text;
    });
    EXPECT_EQ(utf16, sandbox_.ReadIni());
}

// The save dialog is replaced: it notes what it was asked and answers with a
// file in folders that do not exist yet, as a user may type one.
std::wstring g_chosenFile;
std::wstring g_askedExtension;
std::wstring g_offeredFile;
DWORD g_askedFlags;

BOOL WINAPI ChooseFile(OPENFILENAMEW* choice)
{
    g_askedExtension = choice->lpstrDefExt != nullptr ? choice->lpstrDefExt : L"";
    g_offeredFile = choice->lpstrFile;
    g_askedFlags = choice->Flags;
    wcscpy(choice->lpstrFile, g_chosenFile.c_str());
    return TRUE;
}

// Browse offers the file where it is written, a title file in Documents when
// there is none yet, and asks before an existing file is chosen.
TEST_F(EnhancedDialogTest, BrowseOffersTheFileAsksBeforeReplacingAndCreatesTheFolder)
{
    const auto real = reinterpret_cast<decltype(&GetSaveFileNameW)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("comdlg32.dll"), "GetSaveFileNameW")));
    ImportReplacement<decltype(&GetSaveFileNameW)> swap("comdlg32.dll", real, &ChooseFile);
    wchar_t documents[MAX_PATH] = {};
    ASSERT_EQ(S_OK,
              SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents));
    const struct {
        int button;
        int field;
        std::wstring typed;
        std::wstring offered;
        std::string folder;
        const wchar_t* extension;
    } browses[] = {
        {IDC_EF_BROWSE, IDC_EF_TITLE_FILE, L"", std::wstring(documents) + L"\\nowplaying.txt",
         sandbox_.Directory() + "obs\\now playing", L"txt"},
        {IDC_EF_BROWSE, IDC_EF_TITLE_FILE, L"obs\\np.txt",
         Wide(sandbox_.Directory()) + L"obs\\np.txt", sandbox_.Directory() + "obs\\now playing",
         L"txt"},
        {IDC_EF_ARTWORK_BROWSE, IDC_EF_ARTWORK_FILE, L"", L"",
         sandbox_.Directory() + "obs\\cover art", L"jpg"},
    };
    for (const auto& browse : browses) {
        SCOPED_TRACE(browse.offered);
        g_chosenFile = Wide(browse.folder) + L"\\chosen";
        g_askedFlags = 0;
        RunEnhancedDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetDlgItemTextW(dialog, browse.field, browse.typed.c_str());
            PressButton(dialog, browse.button);
            const DWORD start = GetTickCount();
            while (WideText(dialog, browse.field) != g_chosenFile &&
                   GetTickCount() - start < kWaitMs)
                Sleep(10);
            EXPECT_EQ(g_chosenFile, WideText(dialog, browse.field));
        });
        EXPECT_EQ(browse.extension, g_askedExtension);
        EXPECT_EQ(browse.offered, g_offeredFile);
        EXPECT_TRUE(g_askedFlags & OFN_OVERWRITEPROMPT);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(browse.folder.c_str()));
    }
    EXPECT_FALSE(IniExists()) << "Cancel stores nothing";
}

// The preview follows the format as it is typed: over a sample while nothing
// plays, over the monitor's record of the playing track once it keeps one. An
// empty format shows the player's title, as the title file then holds it.
TEST_F(EnhancedDialogTest, PreviewFormatsThePlayingTrackOrASample)
{
    const auto preview = [](HWND dialog, const wchar_t* format) {
        SetDlgItemTextW(dialog, IDC_EF_TITLE_FORMAT, format);
        return WideText(dialog, IDC_EF_FORMAT_PREVIEW);
    };
    ForgetLatestTrack();
    sandbox_.WriteIni(kServerLines + "TitleFormat=%title% by %artist%\r\n");
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(L"Song by Artist", WideText(dialog, IDC_EF_FORMAT_PREVIEW));
        EXPECT_EQ(L"Artist \u2013 Song (Album)", preview(dialog, L"%artist% \u2013 %title%[ (%album%)]"));
        EXPECT_EQ(L"Artist - Song", preview(dialog, L""));
    });
    TrackRecord playing;
    playing.playerTitle = "Caf\xE9 - Ol\xE9";  // ANSI, code page 1252
    playing.hasFields = true;
    playing.fields.artist = "Caf\xC3\xA9";
    playing.fields.title = "Ol\xC3\xA9";
    KeepLatestTrack(playing);
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(L"Ol\u00E9 by Caf\u00E9", WideText(dialog, IDC_EF_FORMAT_PREVIEW));
        EXPECT_EQ(L"Ol\u00E9 & co", preview(dialog, L"%title%[ (%album%)] & co"));
        EXPECT_EQ(L"Caf\u00E9 - Ol\u00E9", preview(dialog, L""));
    });
    ForgetLatestTrack();
    EXPECT_EQ(kServerLines + "TitleFormat=%title% by %artist%\r\n", sandbox_.ReadIni());
}

// The shipped page goes beside the title file, into a folder made for it; a
// copy already there is kept.
TEST_F(EnhancedDialogTest, CopyOverlayPutsThePageBesideTheTitleFile)
{
    UiRobot robot;
    const std::string page = ShipOverlay();
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetDlgItemTextW(dialog, IDC_EF_TITLE_FILE,
                        (std::wstring(sandbox_.Directory().begin(), sandbox_.Directory().end()) +
                         L"Stream \u00E9\\np.txt")
                            .c_str());
        for (size_t boxes = 1; boxes <= 2; ++boxes) {
            PressButton(dialog, IDC_EF_COPY_OVERLAY);
            ASSERT_TRUE(robot.WaitForBoxes(boxes, kWaitMs));
        }
    });
    // The boxes as read back through the ANSI code page, 1252 here.
    const std::string ansiFolder = sandbox_.Directory() + "Stream \xE9";
    EXPECT_EQ(page, ReadWholeFile(ansiFolder + "\\overlay.html"));
    const std::vector<SeenBox> boxes = robot.Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("overlay.html is now in " + ansiFolder +
                  "\\: add it to your streaming program as a browser source.",
              boxes[0].text);
    EXPECT_EQ("overlay.html is already in " + ansiFolder + "\\: it was kept.", boxes[1].text);
}

// A plugin folder named outside the ANSI code page, as the ANSI module name
// then gives it: '?' in place of its letters, a path to nowhere. The page is
// found all the same.
const char kUnnamedFolder[] = "C:\\no such folder\\gen_tunewire.dll";
DWORD WINAPI ModuleNameOutsideTheCodePage(HMODULE, LPSTR name, DWORD size)
{
    lstrcpynA(name, kUnnamedFolder, static_cast<int>(size));
    return static_cast<DWORD>(lstrlenA(name));
}

TEST_F(EnhancedDialogTest, CopyOverlayFindsThePageByTheModulesWideName)
{
    UiRobot robot;
    const std::string page = ShipOverlay();
    const auto real = reinterpret_cast<decltype(&GetModuleFileNameA)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetModuleFileNameA")));
    ImportReplacement<decltype(&GetModuleFileNameA)> ansiName("kernel32.dll", real,
                                                            &ModuleNameOutsideTheCodePage);
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_EF_TITLE_FILE, sandbox_.Directory() + "out\\np.txt");
        PressButton(dialog, IDC_EF_COPY_OVERLAY);
        ASSERT_TRUE(robot.WaitForBoxes(1, kWaitMs));
    });
    EXPECT_EQ(page, ReadWholeFile(sandbox_.Directory() + "out\\overlay.html"))
        << robot.Boxes()[0].text;
}

// What Copy address put on the clipboard, once there is something: the
// dialog's thread copies in its own time and holds the clipboard meanwhile.
std::wstring CopiedAddress(HWND dialog)
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    PressButton(dialog, IDC_EF_COPY_ADDRESS);
    std::wstring text;
    for (const DWORD start = GetTickCount(); text.empty() && GetTickCount() - start < kWaitMs;) {
        Sleep(10);
        if (!OpenClipboard(nullptr))
            continue;
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        if (const void* locked = data != nullptr ? GlobalLock(data) : nullptr) {
            text = static_cast<const wchar_t*>(locked);
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

// Where the dialog says the title file goes is where the monitor writes it:
// the folder shown, Open folder, the overlay's address (copied as it is
// shown) and Copy overlay all name the one folder, for each way of typing
// the path.
TEST_F(EnhancedDialogTest, TheFolderShownIsWhereTheTitleFileIsWritten)
{
    UiRobot robot;
    const std::string page = ShipOverlay();
    const std::wstring base = Wide(sandbox_.Directory());
    std::string address = "file:///" + sandbox_.Directory();
    for (char& c : address)
        c = c == '\\' ? '/' : c;
    SetEnvironmentVariableW(L"TUNEWIRE_STREAM", (base + L"var").c_str());
    const struct {
        const char* name;
        std::wstring typed;
        std::wstring folder;
        std::string address;  // of overlay.html in it
    } rows[] = {
        {"absolute", base + L"abs\\np.txt", base + L"abs\\", address + "abs/overlay.html"},
        {"relative: in the settings file's folder", L"obs\\np.txt", base + L"obs\\",
         address + "obs/overlay.html"},
        {"a bare name: in the settings file's folder", L"nowplaying.txt", base,
         address + "overlay.html"},
        {"a variable", L"%TUNEWIRE_STREAM%\\np.txt", base + L"var\\", address + "var/overlay.html"},
        {"names outside the code page, blanks, '#' and '%'",
         base + L"\u0141ukasz \u592A\u90CE #1 100%\\np.txt",
         base + L"\u0141ukasz \u592A\u90CE #1 100%\\",
         address + "%C5%81ukasz%20%E5%A4%AA%E9%83%8E%20%231%20100%25/overlay.html"},
    };
    size_t done = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunEnhancedDialog([&](HWND dialog) {
            ASSERT_NE(nullptr, dialog);
            SetDlgItemTextW(dialog, IDC_EF_TITLE_FILE, row.typed.c_str());
            EXPECT_EQ(row.folder, WideText(dialog, IDC_EF_TITLE_FOLDER));
            EXPECT_EQ(Wide(row.address), WideText(dialog, IDC_EF_OVERLAY_ADDRESS));
            EXPECT_EQ(Wide(row.address), CopiedAddress(dialog));
            PressButton(dialog, IDC_EF_OPEN_FOLDER);
            const std::vector<ShellCall> calls = shell_.WaitForCalls(done + 1);
            ASSERT_EQ(done + 1, calls.size());
            EXPECT_EQ(row.folder, calls.back().wideTarget);
            PressButton(dialog, IDC_EF_COPY_OVERLAY);
            ASSERT_TRUE(robot.WaitForBoxes(done + 1, kWaitMs));
        });
        ++done;
        const std::wstring overlay = row.folder + L"overlay.html";
        EXPECT_EQ(page, ReadWholeWideFile(overlay));
        DeleteFileW(overlay.c_str());  // the sandbox's removal sees ANSI names only
        RemoveDirectoryW(row.folder.c_str());
    }
    SetEnvironmentVariableW(L"TUNEWIRE_STREAM", nullptr);
}

}  // namespace
