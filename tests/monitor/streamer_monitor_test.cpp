// The streamer keys in the real DLL's monitor, against the stand-in player and
// a loopback form handler: quiet posts with their log and retries, the title
// file, the stopped text and stream titles, each alone and all together, in
// the default mode and with Charset=utf-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "monitor_turns.h"
#include "settings_file.h"
#include "ui/config-rc.h"
#include "support/dialog_driver.h"
#include "support/monitor_fixture.h"
#include "support/process_dialogs.h"

namespace {

const char kFormPath[] = "/np.php?track=";
// Far beyond what each wait needs on an idle machine (a retry comes 5 s and
// then 10 s after the try before it): a loaded machine only stretches them.
constexpr DWORD kRetryWaitMs = 30000;
constexpr DWORD kFileWaitMs = 10000;
// How much earlier than its schedule a post may seem to arrive: the monitor
// times a post from a moment shortly before or after the request arrives, and
// a loaded machine widens that. Far below the gaps that a wrong schedule makes.
constexpr double kScheduleSlackMs = 1000;

class StreamerMonitorTest : public MonitorFixture {
protected:
    // The settings file with the server and form path, then `lines`.
    void Configure(const std::string& lines, const std::string& server = "")
    {
        plugin_.Sandbox().WriteIni(
            SettingsFileText(server.empty() ? server_.Host() : server, kFormPath) + lines);
    }

    std::string Dir() { return plugin_.Sandbox().Directory(); }
    std::string TitleFile() { return Dir() + "np.txt"; }
    std::string TitleFileLine() { return "TitleFile=" + TitleFile() + "\r\n"; }

    std::vector<std::string> LogLines()
    {
        std::vector<std::string> lines;
        const std::string text = ReadWholeFile(Dir() + "tunewire.log");
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    bool PumpUntilLogLines(size_t count, DWORD timeoutMs)
    {
        return Host().PumpUntil([&] { return LogLines().size() >= count; }, timeoutMs);
    }

    bool PumpUntilTitleFileIs(const std::string& text)
    {
        return Host().PumpUntil([&] { return ReadWholeFile(TitleFile()) == text; }, kFileWaitMs);
    }

    static bool Contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }

    void PumpTurns(size_t count) { ::PumpTurns(Host(), count); }

    double ArrivalGap(size_t later) const
    {
        const std::vector<RecordedRequest> requests = server_.Requests();
        return requests[later].arrivedMs - requests[later - 1].arrivedMs;
    }

    bool AnyDialog() const { return !FindProcessDialogs(DialogState::kAnyState).empty(); }
};

TEST_F(StreamerMonitorTest, QuietRetriesUntilTheServerComesBackAndLogsEachTry)
{
    Configure("Quiet=1\r\n");
    server_.Script(ScriptedResponse::Answer(503, "Down for maintenance"));
    server_.Script(ScriptedResponse::Of(ScriptedResponse::Kind::kCloseSilently));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(3, kRetryWaitMs));
    ASSERT_TRUE(PumpUntilLogLines(3, kFileWaitMs));
    PumpTurns(2);

    EXPECT_EQ((std::vector<std::string>{"track=First", "track=First", "track=First"}), Bodies());
    EXPECT_GE(ArrivalGap(1), 5000 - kScheduleSlackMs);
    EXPECT_GE(ArrivalGap(2), 10000 - kScheduleSlackMs);
    EXPECT_TRUE(robot_.Boxes().empty());
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(3u, lines.size());
    const std::string target = " | First | " + server_.Host() + " " + kFormPath + " | ";
    EXPECT_TRUE(Contains(lines[0], "| try 1" + target + "status 503 | Down for maintenance"))
        << lines[0];
    EXPECT_TRUE(Contains(lines[1], "| try 2" + target + "status 0 | ")) << lines[1];
    EXPECT_TRUE(Contains(lines[2], "| try 3" + target + "status 200 | ")) << lines[2];
}

TEST_F(StreamerMonitorTest, QuietLogsAFailureThatNeedsTheUserOnceAndNeverRetriesIt)
{
    Configure("Quiet=on\r\n");
    server_.Script(ScriptedResponse::Answer(404, "No such form"));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilLogLines(1, kFileWaitMs));
    // Past the first retry's time.
    Host().Pump(6000);
    PumpTurns(1);

    EXPECT_EQ(1u, server_.Requests().size());
    EXPECT_TRUE(robot_.Boxes().empty());
    ASSERT_EQ(1u, LogLines().size());
    EXPECT_TRUE(Contains(LogLines()[0], "| status 404 | No such form")) << LogLines()[0];
}

TEST_F(StreamerMonitorTest, QuietANewTrackReplacesThePendingTitleAndAStopEndsRetries)
{
    Configure("Quiet=TRUE\r\n");
    server_.Script(ScriptedResponse::Answer(503, "busy"));
    server_.Script(ScriptedResponse::Answer(503, "busy"));
    server_.Script(ScriptedResponse::Answer(200, "ok"));
    server_.Script(ScriptedResponse::Answer(503, "busy"));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "Second");
    Host().SetEntry(3, "C:\\Music\\c.mp3", "Third");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    Host().Play(2, 180);
    ASSERT_TRUE(PumpUntilPosts(3, kRetryWaitMs));
    Host().Play(3, 170);
    ASSERT_TRUE(PumpUntilPosts(4, kRetryWaitMs));
    // Stopped long before the retry of the third title is due.
    Host().Stop();
    // Past the first retry's time, counted from the stop.
    Host().Pump(6000);
    PumpTurns(1);

    EXPECT_EQ((std::vector<std::string>{"track=First", "track=Second", "track=Second",
                                        "track=Third"}),
              Bodies());
    EXPECT_EQ(4u, LogLines().size());
    EXPECT_TRUE(robot_.Boxes().empty());
}

TEST_F(StreamerMonitorTest, QuietNeverOpensTheDialogAndQuitDuringARetryWaitIsPrompt)
{
    Configure("Quiet=yes\r\n", "np.invalid");
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilLogLines(1, kFileWaitMs));
    // Once a turn without change has had its last answer, the monitor is in
    // its pause with the retry pending: quit must not find it waiting for an
    // answer this thread cannot give while it quits.
    PumpTurns(1);
    ASSERT_TRUE(Host().PumpUntil(
        [&] {
            const std::vector<HostQueryRecord> queries = Host().Queries();
            return queries.back().code == kQueryPlaylistPosition;
        },
        kFileWaitMs));
    EXPECT_FALSE(AnyDialog());
    const DWORD quitMs = Quit();

    EXPECT_LT(quitMs, 1000u);
    EXPECT_TRUE(robot_.Boxes().empty());
    ASSERT_EQ(1u, LogLines().size());
    EXPECT_TRUE(Contains(LogLines()[0], "| np.invalid /np.php?track= | error 12007 | "))
        << LogLines()[0];
}

// The user who wants the title file alone leaves the server empty or at the
// placeholder that quit stores: no post, no box, no dialog, no log line.
struct TitleFileAloneRow {
    const char* serverLine;
    const char* quietLine;
};

class TitleFileAloneTest : public StreamerMonitorTest,
                           public ::testing::WithParamInterface<TitleFileAloneRow> {};

TEST_P(TitleFileAloneTest, WritesTheFileAndShowsNothing)
{
    plugin_.Sandbox().WriteIni(std::string("[WinAmp Tunewire Basic]\r\n") + GetParam().serverLine +
                               "FormHandler=/x\r\n" + GetParam().quietLine + TitleFileLine());
    Host().SetEntry(1, "C:\\Music\\a.mp3", "Caf\xE9 Noir");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "Second");
    Host().Play(1, 200);
    Start();
    // The ANSI title, converted from the ANSI code page.
    EXPECT_TRUE(PumpUntilTitleFileIs("Caf\xC3\xA9 Noir"));
    Host().Play(2, 180);
    EXPECT_TRUE(PumpUntilTitleFileIs("Second"));
    PumpTurns(1);

    EXPECT_TRUE(robot_.Boxes().empty());
    EXPECT_FALSE(AnyDialog());
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(LogLines().empty());
}

INSTANTIATE_TEST_SUITE_P(
    EmptyOrPlaceholder, TitleFileAloneTest,
    ::testing::Values(TitleFileAloneRow{"ServerName=\r\n", ""},
                      TitleFileAloneRow{"ServerName=your-server.invalid\r\n", ""},
                      TitleFileAloneRow{"ServerName=your-server.invalid\r\n", "Quiet=1\r\n"}));

TEST_F(StreamerMonitorTest, TitleFileInUnicodeModeHoldsTheWideTitleAndIsWrittenBeforeThePost)
{
    Configure("Charset=utf-8\r\n" + TitleFileLine());
    server_.Hold();
    Host().SetEntry(1, L"C:\\Music\\a.mp3", L"\x6708\x5149 - \x591C\x66F2");
    Host().Play(1, 200);
    Start();
    // The server holds the post open: the file is there all the same.
    EXPECT_TRUE(PumpUntilTitleFileIs("\xE6\x9C\x88\xE5\x85\x89 - \xE5\xA4\x9C\xE6\x9B\xB2"));
    server_.Release();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    EXPECT_EQ("track=%E6%9C%88%E5%85%89+%2D+%E5%A4%9C%E6%9B%B2&charset=utf-8", Bodies()[0]);
}

// The local overlay's data follows the title file, a hostile title escaped.
TEST_F(StreamerMonitorTest, TitleFileKeepsTheOverlayDataBesideIt)
{
    Configure("Charset=utf-8\r\n" + TitleFileLine());
    Host().SetEntry(1, L"C:\\Music\\a.mp3", L"</script>\x2028\"x\"");
    Host().Play(1, 200);
    Start();
    const std::string start = "window.tunewireNowPlaying = {\"title\":"
                              "\"\\u003C/script\\u003E\\u2028\\u0022x\\u0022\",\"stored\":\"";
    EXPECT_TRUE(Host().PumpUntil(
        [&] { return ReadWholeFile(Dir() + "nowplaying.js").compare(0, start.size(), start) == 0; },
        kFileWaitMs))
        << ReadWholeFile(Dir() + "nowplaying.js");
}

TEST_F(StreamerMonitorTest, ATitleFileThatCannotBeWrittenShowsOneBoxPerRun)
{
    // A file where the title file's folder should be.
    WriteWholeFile(Dir() + "missing", "");
    Configure("TitleFile=" + Dir() + "missing\\np.txt\r\n");
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "Second");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    Host().Play(2, 180);
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    PumpTurns(1);

    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_EQ("Tunewire Plugin", robot_.Boxes()[0].caption);
    EXPECT_EQ("Could not write the title file " + Dir() +
                  "missing\\np.txt: its folder does not exist (error 3). Tunewire keeps trying.",
              robot_.Boxes()[0].text);
}

// A reader holds the title file across two track changes and the box that
// tells of it stays open: the posts and the overlay's data still follow each
// change, and the file gets the latest title once the reader lets go.
TEST_F(StreamerMonitorTest, AHeldTitleFileAndItsOpenBoxHoldNothingElseUp)
{
    Configure(TitleFileLine());
    robot_.SetDismissing(false);
    const char* const titles[] = {"First", "Second", "Third"};
    for (int i = 0; i < 3; ++i)
        Host().SetEntry(i + 1, ("C:\\Music\\" + std::to_string(i) + ".mp3").c_str(), titles[i]);
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilTitleFileIs("First"));
    HANDLE reader = CreateFileA(TitleFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    for (int i = 1; i < 3; ++i) {
        Host().Play(i + 1, 200 - i);
        EXPECT_TRUE(PumpUntilPosts(static_cast<size_t>(i) + 1, kRetryWaitMs));
        EXPECT_TRUE(Host().PumpUntil(
            [&] { return Contains(ReadWholeFile(Dir() + "nowplaying.js"), titles[i]); },
            kFileWaitMs));
    }
    CloseHandle(reader);
    EXPECT_TRUE(PumpUntilTitleFileIs("Third"));
    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_NE(std::string::npos, robot_.Boxes()[0].text.find("another program has the file open"));
    robot_.SetDismissing(true);
}

// OK in Enhanced Features during a track writes that track's files under the
// new settings within a turn, with no post, and the preview then formats the
// track's own tags.
TEST_F(StreamerMonitorTest, OkInEnhancedFeaturesWritesThePlayingTracksFilesAtOnce)
{
    Configure("");
    const std::string dir = Dir();
    const std::wstring media = std::wstring(dir.begin(), dir.end()) + L"a.mp3";
    WriteWholeFile(Dir() + "cover.jpg", "image");
    Host().SetEntry(1, media.c_str(), L"Band - Song");
    Host().SetTags(media, {{"artist", L"Band"}, {"title", L"Song"}});
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    const DialogOpener hostsConfig = [&] {
        plugin_.Descriptor()->config();
        return INT_PTR(0);
    };
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_EF_TITLE_FILE, TitleFile());
        SetItemText(dialog, IDC_EF_TITLE_FORMAT, "%artist%");
        SetItemText(dialog, IDC_EF_ARTWORK_FILE, Dir() + "art.jpg");
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntilClosed(dialog, kFileWaitMs));
        // The overlay's data is written last, after the cover and the title file.
        const auto written = [&] {
            return Contains(ReadWholeFile(Dir() + "nowplaying.js"), "\"artwork\":\"art.jpg?v=");
        };
        const DWORD start = GetTickCount();
        while (!written() && GetTickCount() - start < kFileWaitMs)
            Sleep(20);
        EXPECT_TRUE(written());
        EXPECT_EQ("Band", ReadWholeFile(TitleFile()));
        EXPECT_EQ("image", ReadWholeFile(Dir() + "art.jpg"));
    }, hostsConfig);
    RunEnhancedDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ("Band", ItemText(dialog, IDC_EF_FORMAT_PREVIEW));
    }, hostsConfig);
    EXPECT_EQ(1u, server_.Requests().size()) << "no post";
}

// The number after `"key":` in a JSON text; -1 when there is none.
long long JsonNumber(const std::string& json, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\":");
    return at == std::string::npos ? -1 : std::atoll(json.c_str() + at + key.size() + 3);
}

// The local overlay's progress: written when a track starts, on pause and
// resume, on a seek and at a stop, never while a track simply plays on; the
// cover's version stays through all of it. The tracks played before are
// listed newest first, without the stop text.
TEST_F(StreamerMonitorTest, TheOverlayDataFollowsPauseResumeAndSeekAndListsWhatPlayedBefore)
{
    Configure(TitleFileLine() + "StoppedText=Off air\r\nArtworkFile=art.jpg\r\n");
    const std::string json = Dir() + "nowplaying.json";
    const auto state = [&] { return ReadWholeFile(json); };
    const auto pumpUntilState = [&](const std::string& part) {
        return Host().PumpUntil([&] { return Contains(state(), part); }, kFileWaitMs);
    };
    WriteWholeFile(Dir() + "cover.jpg", "image");
    Host().SetEntry(1, (Dir() + "a.mp3").c_str(), "First");
    Host().SetEntry(2, (Dir() + "b.mp3").c_str(), "Second");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(pumpUntilState("\"title\":\"First\",\"stored\":"));
    Host().Play(2, 180, 5000);
    ASSERT_TRUE(pumpUntilState("\"title\":\"Second\",\"stored\":"));
    const std::string started = state();
    EXPECT_TRUE(Contains(started, "\"state\":\"playing\",\"length\":180,\"position\":"));
    EXPECT_GE(JsonNumber(started, "position"), 5000);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const long long nowMs =
        ((static_cast<long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
         116444736000000000LL) / 10000;
    EXPECT_LT(std::llabs(JsonNumber(started, "positionAt") - nowMs), 60000)
        << "milliseconds since 1970, as the page's clock counts";
    EXPECT_TRUE(Contains(started, "\"recent\":[{\"title\":\"Second\",\"stored\":"));
    EXPECT_TRUE(Contains(started, "},{\"title\":\"First\",\"stored\":"));
    const auto cover = [](const std::string& text) {
        const size_t at = text.find("\"artwork\":\"art.jpg?v=");
        return at == std::string::npos ? "" : text.substr(at, text.find('"', at + 11) - at);
    };
    ASSERT_NE("", cover(started));
    PumpTurns(3);
    EXPECT_EQ(started, state()) << "nothing is written while the track plays on";

    Host().Pause(2, 180);
    ASSERT_TRUE(pumpUntilState("\"state\":\"paused\""));
    const std::string paused = state();
    PumpTurns(2);
    EXPECT_EQ(paused, state());
    ASSERT_TRUE(Host().Seek(90000));
    ASSERT_TRUE(Host().Resume());
    ASSERT_TRUE(pumpUntilState("\"state\":\"playing\""));
    EXPECT_GE(JsonNumber(state(), "position"), 90000);
    ASSERT_TRUE(Host().Seek(10000));
    ASSERT_TRUE(Host().PumpUntil([&] { return JsonNumber(state(), "position") < 20000; },
                                 kFileWaitMs));
    EXPECT_EQ(cover(started), cover(state())) << "the cover keeps its address";

    Host().Stop();
    ASSERT_TRUE(pumpUntilState("\"title\":\"Off air\",\"stored\":"));
    EXPECT_TRUE(Contains(state(), "\"state\":\"stoptext\""));
    EXPECT_TRUE(Contains(state(), "\"recent\":[{\"title\":\"Second\""));
}

// A reader that holds the title file and shares nothing: the new title
// waits, is told once however many turns try it, and reaches the file at the
// first turn after the reader lets go, with no new track.
class HeldTitleFileTest : public StreamerMonitorTest,
                          public ::testing::WithParamInterface<bool> {};

TEST_P(HeldTitleFileTest, ThePendingTitleIsWrittenOnceTheReaderLetsGoAndToldOnce)
{
    const bool quiet = GetParam();
    Configure(std::string(quiet ? "Quiet=1\r\n" : "") + TitleFileLine());
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().SetEntry(2, "C:\\Music\\b.mp3", "Second");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilTitleFileIs("First"));
    HANDLE reader = CreateFileA(TitleFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    Host().Play(2, 180);
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    PumpTurns(3);
    CloseHandle(reader);
    EXPECT_TRUE(PumpUntilTitleFileIs("Second"));

    size_t told = robot_.Boxes().size();
    for (const std::string& line : LogLines())
        told += Contains(line, "| title file | Could not write the title file ") ? 1 : 0;
    EXPECT_EQ(1u, told);
    EXPECT_EQ(quiet ? 0u : 1u, robot_.Boxes().size());
}

INSTANTIATE_TEST_SUITE_P(BoxOrLog, HeldTitleFileTest, ::testing::Bool());

TEST_F(StreamerMonitorTest, QuietLogsATitleFileThatCannotBeWritten)
{
    WriteWholeFile(Dir() + "missing", "");
    Configure("Quiet=1\r\nTitleFile=" + Dir() + "missing\\np.txt\r\n");
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilLogLines(2, kFileWaitMs));

    EXPECT_TRUE(robot_.Boxes().empty());
    EXPECT_TRUE(Contains(LogLines()[0], "| title file | Could not write the title file "))
        << LogLines()[0];
    EXPECT_TRUE(Contains(LogLines()[1], "| try 1 | First | ")) << LogLines()[1];
}

TEST_F(StreamerMonitorTest, StoppedTextIsPostedOnceAfterAStopAndNotAfterAPause)
{
    Configure("StoppedText=Off air\r\n" + TitleFileLine());
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    Host().Pause(1, 200);
    PumpTurns(3);
    EXPECT_EQ(1u, server_.Requests().size()) << "a pause is not a stop";
    Host().Stop();
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    EXPECT_TRUE(PumpUntilTitleFileIs("Off air"));
    PumpTurns(3);
    EXPECT_EQ(2u, server_.Requests().size()) << "once per stop";
    // The same file played again is posted again.
    Host().Play(1, 200);
    ASSERT_TRUE(PumpUntilPosts(3, kRetryWaitMs));
    EXPECT_TRUE(PumpUntilTitleFileIs("First"));

    EXPECT_EQ((std::vector<std::string>{"track=First", "track=Off+air", "track=First"}), Bodies());
    EXPECT_TRUE(robot_.Boxes().empty());
}

TEST_F(StreamerMonitorTest, AnEmptyStoppedTextIsPostedAsAnEmptyTitleInUnicodeMode)
{
    Configure("Charset=utf-8\r\nStoppedText=\r\n" + TitleFileLine());
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    EXPECT_TRUE(PumpUntilTitleFileIs("First"));
    Host().Stop();
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    EXPECT_TRUE(PumpUntilTitleFileIs(""));

    EXPECT_EQ((std::vector<std::string>{"track=First&charset=utf-8", "track=&charset=utf-8"}),
              Bodies());
}

// A stop text that meets a server that is down is tried again while the
// player stays stopped; a text longer than a title is cut as a title is.
class StoppedTextRetryTest : public StreamerMonitorTest,
                             public ::testing::WithParamInterface<bool> {};

TEST_P(StoppedTextRetryTest, ALongStopTextIsCutAndRetriedWhileStopped)
{
    const bool unicode = GetParam();
    // 300 euro signs in the ANSI code page; a title keeps 260 characters.
    Configure(std::string(unicode ? "Charset=utf-8\r\n" : "") + "Quiet=1\r\nStoppedText=" +
              std::string(300, '\x80') + "\r\n");
    server_.Script(ScriptedResponse::Answer(200, "ok"));
    server_.Script(ScriptedResponse::Answer(503, "busy"));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "First");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    Host().Stop();
    ASSERT_TRUE(PumpUntilPosts(3, kRetryWaitMs));

    std::string cut;
    for (int i = 0; i < 260; ++i)
        cut += unicode ? "%E2%82%AC" : "%80";
    const std::string charset = unicode ? "&charset=utf-8" : "";
    EXPECT_EQ((std::vector<std::string>{"track=First" + charset, "track=" + cut + charset,
                                        "track=" + cut + charset}),
              Bodies());
    EXPECT_GE(ArrivalGap(2), 5000 - kScheduleSlackMs);
}

INSTANTIATE_TEST_SUITE_P(BothModes, StoppedTextRetryTest, ::testing::Bool());

TEST_F(StreamerMonitorTest, StreamTitlesArePostedAsTheyChangeAtMostEveryFiveSeconds)
{
    Configure("Streams=1\r\n");
    Host().SetEntry(1, "http://radio.example/stream", "Station - Song One");
    Host().Play(1, -1);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    Host().SetEntry(1, "http://radio.example/stream", "Station - Song Two");
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    PumpTurns(2);

    EXPECT_EQ((std::vector<std::string>{"track=Station+%2D+Song+One",
                                        "track=Station+%2D+Song+Two"}),
              Bodies());
    EXPECT_GE(ArrivalGap(1), 5000 - kScheduleSlackMs);
    // The title is asked on each playing turn; the file name never.
    const std::vector<Turn> turns = Turns(Host().Queries());
    ASSERT_GE(turns.size(), 3u);
    EXPECT_EQ((std::vector<LPARAM>{104, 105, 125, 212}), turns.back().codes);
}

// A stream entry reads the key once, when it starts playing, not on every
// turn: an edit applies from the next entry on.
TEST_F(StreamerMonitorTest, TheStreamsKeyIsReadOncePerEntry)
{
    Configure("");
    Host().SetEntry(1, "http://radio.example/one", "One - Song");
    Host().SetEntry(2, "http://radio.example/two", "Two - Song");
    Host().Play(1, 0);
    Start();
    PumpTurns(2);
    Configure("Streams=1\r\n");
    PumpTurns(3);
    EXPECT_TRUE(server_.Requests().empty()) << "the entry that was playing keeps what it read";
    Host().Play(2, 0);
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    EXPECT_EQ((std::vector<std::string>{"track=Two+%2D+Song"}), Bodies());
}

TEST_F(StreamerMonitorTest, StreamTitlesInUnicodeModeAreAskedWideAndAFileAfterThemIsPosted)
{
    Configure("Streams=yes\r\nCharset=utf-8\r\n");
    Host().SetEntry(1, L"http://radio.example/stream", L"\x041A\x0438\x043D\x043E");
    Host().SetEntry(2, "C:\\Music\\a.mp3", "First");
    Host().Play(2, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1, kRetryWaitMs));
    Host().Play(1, 0);
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    PumpTurns(1);
    Host().Play(2, 200);
    ASSERT_TRUE(PumpUntilPosts(3, kRetryWaitMs));

    EXPECT_EQ((std::vector<std::string>{"track=First&charset=utf-8",
                                        "track=%D0%9A%D0%B8%D0%BD%D0%BE&charset=utf-8",
                                        "track=First&charset=utf-8"}),
              Bodies());
}

// All four keys at once, in both modes: a stream whose first post meets a
// server that is down, the title file following each title, and the stop.
class AllKeysTest : public StreamerMonitorTest, public ::testing::WithParamInterface<bool> {};

TEST_P(AllKeysTest, StreamRetryTitleFileAndStoppedTextTogether)
{
    const bool unicode = GetParam();
    const std::string charset = unicode ? "&charset=utf-8" : "";
    Configure(std::string(unicode ? "Charset=utf-8\r\n" : "") +
              "Quiet=1\r\nStreams=1\r\nStoppedText=Off air\r\n" + TitleFileLine());
    server_.Script(ScriptedResponse::Of(ScriptedResponse::Kind::kReset));
    Host().SetEntry(1, "http://radio.example/stream", "Station - News");
    Host().Play(1, 0);
    Start();
    EXPECT_TRUE(PumpUntilTitleFileIs("Station - News"));
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    Host().Stop();
    ASSERT_TRUE(PumpUntilPosts(3, kRetryWaitMs));
    EXPECT_TRUE(PumpUntilTitleFileIs("Off air"));
    ASSERT_TRUE(PumpUntilLogLines(3, kFileWaitMs));

    EXPECT_EQ((std::vector<std::string>{"track=Station+%2D+News" + charset,
                                        "track=Station+%2D+News" + charset,
                                        "track=Off+air" + charset}),
              Bodies());
    EXPECT_TRUE(robot_.Boxes().empty());
    const std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(Contains(lines[1], "| try 2 | Station - News | ")) << lines[1];
    EXPECT_TRUE(Contains(lines[2], "| try 1 | Off air | ")) << lines[2];
    EXPECT_TRUE(Contains(lines[2], "| status 200 | ")) << lines[2];
}

INSTANTIATE_TEST_SUITE_P(BothModes, AllKeysTest, ::testing::Bool());

}  // namespace
