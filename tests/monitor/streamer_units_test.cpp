// The streamer features' own parts, statically linked: the retry schedule and
// which failures are retried, the switch words, the keys as read from a real
// settings file, the log's lines and its move aside, and the title file's
// replacement under a reader that never stops opening it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "config/streamer_settings.h"
#include "monitor/post_retry.h"
#include "monitor/quiet_log.h"
#include "monitor/title_file.h"
#include "monitor/utf8_title.h"
#include "config/module_paths.h"
#include "support/plugin_sandbox.h"
#include "support/user_folder_stand_in.h"

namespace {

std::wstring Wide(const std::string& ansi)
{
    std::vector<wchar_t> wide(ansi.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide.data();
}

// The title file `path` in `base`, as the monitor writes it; the full path
// written to goes into `written`.
DWORD WriteTitle(const std::wstring& path, const std::string& title,
                 std::wstring* written = nullptr, const std::wstring& base = L"")
{
    wchar_t full[kPathSize];
    const DWORD error = WriteTitleFile(path.c_str(), base.c_str(), title, full);
    if (written != nullptr)
        *written = full;
    return error;
}

TEST(RetryScheduleTest, DoublesFromFiveSecondsThenEveryMinute)
{
    const std::vector<DWORD> expected = {5000, 10000, 20000, 40000, 60000, 60000, 60000};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], RetryDelayMs(static_cast<int>(i) + 1)) << "retry " << i + 1;
    EXPECT_EQ(60000u, RetryDelayMs(1000000));
}

TEST(RetryScheduleTest, ARetryIsDueOnlyOnceItsDelayHasPassedAcrossTheTickWrap)
{
    PendingRetry retry;
    EXPECT_FALSE(RetryDue(retry, 0));
    const DWORD start = 0xFFFFF000u;  // the tick count wraps 4 s later
    ArmRetry(retry, "Title", TitleCharset::kAnsi, "", 2, start);
    EXPECT_FALSE(RetryDue(retry, start + 9999));
    EXPECT_TRUE(RetryDue(retry, start + 10000));
    CancelRetry(retry);
    EXPECT_FALSE(RetryDue(retry, start + 100000));
}

PostOutcome Failed(DWORD status, DWORD errorCode)
{
    PostOutcome outcome;
    outcome.status = status;
    outcome.errorCode = errorCode;
    return outcome;
}

TEST(RetryScheduleTest, OnlyFailuresThatMayPassAreRetried)
{
    struct Row {
        DWORD status;
        DWORD errorCode;
        bool mayPass;
    };
    const Row rows[] = {
        {0, 12029, true},   {0, 10061, true},   {0, 10054, true},   {0, 12031, true},
        {0, 12002, true},   {0, 12030, true},   {0, 12007, true},   {0, 0, true},
        {0, 12152, true},   {0, 12163, true},   {0, 12164, true},   {0, 12165, true},
        {500, 0, true},     {503, 0, true},     {599, 0, true},     {429, 0, true},
        {404, 0, false},    {403, 0, false},    {400, 0, false},    {301, 0, false},
        {308, 0, false},    {0, 12057, false},  {0, 12045, false},  {0, 12038, false},
        {0, 12037, false},  {0, 12157, false},  {600, 0, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.mayPass, MayPass(Failed(row.status, row.errorCode)))
            << row.status << " " << row.errorCode;
    PostOutcome taken = Failed(200, 0);
    taken.taken = true;
    EXPECT_FALSE(MayPass(taken));
    PostOutcome invalid;
    invalid.invalidConfig = true;
    EXPECT_FALSE(MayPass(invalid));
    // The placeholder never resolves; another name may come back.
    PostOutcome placeholder = Failed(0, 12007);
    placeholder.server = "your-server.invalid";
    EXPECT_FALSE(MayPass(placeholder));
    placeholder.server = "radio.example";
    EXPECT_TRUE(MayPass(placeholder));
}

TEST(StreamerSettingsTest, SwitchWordsInAnyCase)
{
    for (const char* on : {"1", "yes", "YES", "true", "True", "on", "oN"})
        EXPECT_TRUE(IsSwitchOn(on)) << on;
    for (const char* off : {"", "0", "no", "off", "false", "2", "yes please", "y", " on"})
        EXPECT_FALSE(IsSwitchOn(off)) << off;
}

class StreamerSettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { sandbox_.AdoptAsStaticModule(); }
    PluginSandbox sandbox_;
};

TEST_F(StreamerSettingsFileTest, AbsentKeysAreOffAndAnEmptyStoppedTextIsSet)
{
    sandbox_.WriteIni("[WinAmp Tunewire Basic]\r\nServerName=s\r\n");
    StreamerSettings absent = ReadStreamerSettings();
    EXPECT_FALSE(absent.quiet);
    EXPECT_FALSE(absent.streams);
    EXPECT_STREQ(L"", absent.titleFile);
    EXPECT_FALSE(absent.stoppedTextSet);
    EXPECT_EQ(Wide(sandbox_.Directory() + "tunewire.log"), absent.logFile);

    sandbox_.WriteIni("[WinAmp Tunewire Basic]\r\nQuiet=Yes\r\nStreams=on\r\n"
                      "TitleFile=%TEMP%\\np.txt\r\nStoppedText=\r\n"
                      "[Other]\r\nStoppedText=other\r\n");
    StreamerSettings set = ReadStreamerSettings();
    EXPECT_TRUE(set.quiet);
    EXPECT_TRUE(set.streams);
    EXPECT_STREQ(L"%TEMP%\\np.txt", set.titleFile);
    EXPECT_TRUE(set.stoppedTextSet);
    EXPECT_STREQ(L"", set.stoppedText);
}

TEST(QuietLogTest, ALineHoldsTheTryTitleTargetResultAndTheCutBoxText)
{
    PostOutcome outcome = Failed(503, 0);
    outcome.server = "127.0.0.1";
    outcome.formPath = "/np.php?track=";
    outcome.text = "Down\r\nfor\tmaintenance";
    EXPECT_EQ("try 2 | Caf\xC3\xA9 | 127.0.0.1 /np.php?track= | status 503 | Down  for maintenance",
              OutcomeLine(2, AsUtf8("Caf\xE9", TitleCharset::kAnsi), outcome));

    outcome = Failed(0, 12029);
    outcome.text = std::string(400, '\xE9');  // ANSI bytes from the box, 300 kept as UTF-8
    const std::string line = OutcomeLine(1, "T", outcome);
    std::string kept;
    for (int i = 0; i < 300; ++i)
        kept += "\xC3\xA9";
    EXPECT_EQ("try 1 | T |   | error 12029 | " + kept, line);

    PostOutcome invalid;
    invalid.invalidConfig = true;
    EXPECT_NE(std::string::npos, OutcomeLine(1, "T", invalid).find("| invalid configuration |"));
}

TEST(QuietLogTest, AFullLogMovesAsideReplacingTheOlderOne)
{
    TempDir dir;
    const std::string log = dir.Path() + "tunewire.log";
    WriteWholeFile(log + ".1", "oldest\r\n");
    AppendLogLine(Wide(log).c_str(), "first");
    std::string text = ReadWholeFile(log);
    EXPECT_EQ(" | first\r\n", text.substr(19));
    EXPECT_EQ("oldest\r\n", ReadWholeFile(log + ".1"));

    WriteWholeFile(log, std::string(256 * 1024, 'x'));
    AppendLogLine(Wide(log).c_str(), "second");
    EXPECT_EQ(256u * 1024u, ReadWholeFile(log + ".1").size());
    text = ReadWholeFile(log);
    EXPECT_EQ(" | second\r\n", text.substr(19));
    // The time at the start of each line, local: "YYYY-MM-DD HH:MM:SS".
    EXPECT_EQ('-', text[4]);
    EXPECT_EQ(':', text[13]);
}

TEST(TitleFileTest, WritesTheTitleAloneExpandingVariables)
{
    TempDir dir;
    SetEnvironmentVariableA("TUNEWIRE_TEST_DIR", dir.Path().c_str());
    std::wstring path;
    EXPECT_EQ(0u, WriteTitle(L"%TUNEWIRE_TEST_DIR%np.txt", "Caf\xC3\xA9", &path));
    EXPECT_EQ(Wide(dir.Path() + "np.txt"), path);
    EXPECT_EQ("Caf\xC3\xA9", ReadWholeFile(dir.Path() + "np.txt"));
    EXPECT_EQ(0u, WriteTitle(path, ""));
    EXPECT_EQ("", ReadWholeFile(dir.Path() + "np.txt"));
    // Nothing else is left beside it.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir.Path() + "*.tunewire-new").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

// A relative path is taken in the settings file's folder, here one named
// outside the ANSI code page, and the folders on the way are made.
TEST(TitleFileTest, ARelativePathIsTakenInTheSettingsFolderAndItsFoldersAreMade)
{
    TempDir dir;
    const std::wstring base = Wide(dir.Path()) + L"\x0416\x0435\x043D\x044F\\";
    ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
    std::wstring path;
    EXPECT_EQ(0u, WriteTitle(L"obs\\now\\np.txt", "T", &path, base));
    EXPECT_EQ(base + L"obs\\now\\np.txt", path);
    EXPECT_EQ("T", ReadWholeWideFile(path));
    // A file where a folder should be cannot be got round: its error is told.
    WriteWholeFile(dir.Path() + "blocker", "");
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
              WriteTitle(Wide(dir.Path() + "blocker\\np.txt"), "T"));
}

// A reader that keeps the file open makes every replacement fail: one that
// shares writing gets the title rewritten in place under its handle, one that
// shares nothing keeps the old one until it lets go.
TEST(TitleFileTest, AFileHeldOpenIsRewrittenInPlaceWhenTheReaderSharesWriting)
{
    struct Row {
        DWORD share;
        DWORD error;
        const char* whileHeld;
    };
    const Row rows[] = {
        {FILE_SHARE_READ | FILE_SHARE_WRITE, 0, "New"},
        {0, ERROR_SHARING_VIOLATION, "Old title"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.share);
        TempDir dir;
        const std::wstring file = Wide(dir.Path() + "np.txt");
        ASSERT_EQ(0u, WriteTitle(file, "Old title"));
        HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, row.share, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, reader);
        EXPECT_EQ(row.error, WriteTitle(file, "New"));
        char buffer[64];
        DWORD got = 0;
        ReadFile(reader, buffer, sizeof buffer, &got, nullptr);
        EXPECT_EQ(row.whileHeld, std::string(buffer, got)) << "through the reader's handle";
        CloseHandle(reader);
        EXPECT_EQ(0u, WriteTitle(file, "New"));
        EXPECT_EQ("New", ReadWholeWideFile(file));
    }
}

// A reader opening and reading the file in a loop, as a streaming program
// polls a text source, sees one whole title or the other, never an empty or
// partial file. The writer goes on until the reader has seen both titles many
// times, so the replacements really happened under its eyes.
TEST(TitleFileTest, AReaderNeverSeesAnEmptyOrPartialTitle)
{
    TempDir dir;
    const std::string file = dir.Path() + "np.txt";
    const std::string titles[] = {std::string(200, 'a') + " - First",
                                  std::string(300, 'b') + " - Second Title"};
    ASSERT_EQ(0u, WriteTitle(Wide(file), titles[0]));

    constexpr int kChangesToSee = 50;
    constexpr DWORD kBoundMs = 60000;  // a loaded machine; far longer than an idle one needs
    std::atomic<bool> done{false};
    std::atomic<int> changesSeen{0};
    std::vector<std::string> wrong;
    std::thread reader([&] {
        std::string last = titles[0];
        while (!done) {
            HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            // While the move replaces the file, an open is refused for a moment
            // with a sharing violation, and the reader reads at its next poll; a
            // missing file would be a moment without a title.
            if (handle == INVALID_HANDLE_VALUE) {
                if (GetLastError() != ERROR_SHARING_VIOLATION && wrong.size() < 5)
                    wrong.push_back("(no file: error " + std::to_string(GetLastError()) + ")");
                continue;
            }
            char buffer[1024];
            DWORD got = 0;
            ReadFile(handle, buffer, sizeof buffer, &got, nullptr);
            CloseHandle(handle);
            const std::string text(buffer, got);
            if (text != titles[0] && text != titles[1]) {
                if (wrong.size() < 5)
                    wrong.push_back(text);
            } else if (text != last) {
                last = text;
                ++changesSeen;
            }
            // A poll, not a lock on the file: a real reader lets go between reads.
            Sleep(1);
        }
    });
    const DWORD start = GetTickCount();
    for (int i = 1; changesSeen < kChangesToSee && GetTickCount() - start < kBoundMs; ++i)
        WriteTitle(Wide(file), titles[i % 2]);
    done = true;
    reader.join();
    EXPECT_GE(changesSeen.load(), kChangesToSee);
    EXPECT_TRUE(wrong.empty()) << "read \"" << (wrong.empty() ? "" : wrong[0]) << "\"";
}

}  // namespace
