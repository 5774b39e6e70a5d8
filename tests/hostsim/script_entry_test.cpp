// The stand-in player's answers to the ANSI and wide queries for entries read
// from a UTF-8 playlist script, and as an older player without wide answers;
// its place in the track through a script's play, pause, resume, seek and stop.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host_window.h"
#include "playlist_script.h"
#include "host/host_queries.h"
#include "script_entry.h"

namespace {

// The window answers on its own thread: a query sent from that thread is
// answered at once.
LRESULT Ask(HostWindow& window, HostQuery query, WPARAM position)
{
    return SendMessageA(window.Handle(), kHostQueryMessage, position, query);
}

std::string AnsiAnswer(HostWindow& window, HostQuery query, WPARAM position)
{
    LRESULT answer = Ask(window, query, position);
    return answer == 0 ? "(null)" : reinterpret_cast<const char*>(answer);
}

std::wstring WideAnswer(HostWindow& window, HostQuery query, WPARAM position)
{
    LRESULT answer = Ask(window, query, position);
    return answer == 0 ? L"(null)" : reinterpret_cast<const wchar_t*>(answer);
}

class ScriptEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(1252u, GetACP()) << "the test prefix runs with the Western code page";
        std::istringstream script(
            "\xEF\xBB\xBF# saved by Notepad, with a byte-order mark\n"
            "0 entry 1 \"C:\\Music\\\xE6\x9C\x88.mp3\" \"\xD0\x9A\xD0\xB8 - \xE6\x9C\x88\"\n"
            "0 entry 2 \"C:\\Music\\caf\xE9.mp3\" \"Caf\xE9\"\n"
            "0 entry 3 null \"Untitled file\"\n");
        std::vector<ScriptEvent> events;
        std::string error;
        ASSERT_TRUE(ParseScript(script, events, error)) << error;
        ASSERT_EQ(3u, events.size());
        for (const ScriptEvent& event : events)
            SetScriptEntry(window_, event);
    }

    HostWindow window_;
};

TEST_F(ScriptEntryTest, Utf8TextsAnswerTheWideQueriesAndTheirAnsiFormTheAnsiOnes)
{
    EXPECT_EQ(L"C:\\Music\\\x6708.mp3", WideAnswer(window_, kQueryWideFileName, 1));
    EXPECT_EQ(L"\x041A\x0438 - \x6708", WideAnswer(window_, kQueryWideTitle, 1));
    EXPECT_EQ("C:\\Music\\?.mp3", AnsiAnswer(window_, kQueryFileName, 1));
    EXPECT_EQ("?? - ?", AnsiAnswer(window_, kQueryTitle, 1));

    std::vector<HostQueryRecord> queries = window_.Queries();
    ASSERT_EQ(4u, queries.size());
    EXPECT_EQ("C:\\Music\\\xE6\x9C\x88.mp3", queries[0].text) << "wide answers are logged as UTF-8";
}

TEST_F(ScriptEntryTest, AnEntryThatIsNotUtf8KeepsItsBytesAsTheAnsiTexts)
{
    EXPECT_EQ("C:\\Music\\caf\xE9.mp3", AnsiAnswer(window_, kQueryFileName, 2));
    EXPECT_EQ("Caf\xE9", AnsiAnswer(window_, kQueryTitle, 2));
    EXPECT_EQ(L"C:\\Music\\caf\x00E9.mp3", WideAnswer(window_, kQueryWideFileName, 2));
    EXPECT_EQ(L"Caf\x00E9", WideAnswer(window_, kQueryWideTitle, 2));
}

TEST_F(ScriptEntryTest, NullTextsAndUnknownPositionsAnswerNullInBothForms)
{
    EXPECT_EQ(0, Ask(window_, kQueryFileName, 3));
    EXPECT_EQ(0, Ask(window_, kQueryWideFileName, 3));
    EXPECT_EQ(L"Untitled file", WideAnswer(window_, kQueryWideTitle, 3));
    EXPECT_EQ(0, Ask(window_, kQueryWideTitle, 9));
    EXPECT_EQ(0, Ask(window_, kQueryTitle, 9));
}

TEST_F(ScriptEntryTest, AnOlderPlayerAnswersOnlyTheAnsiQueries)
{
    window_.SetAnsiOnly(true);
    EXPECT_EQ(0, Ask(window_, kQueryWideFileName, 1));
    EXPECT_EQ(0, Ask(window_, kQueryWideTitle, 1));
    EXPECT_EQ("C:\\Music\\?.mp3", AnsiAnswer(window_, kQueryFileName, 1));
    window_.SetAnsiOnly(false);
    EXPECT_NE(0, Ask(window_, kQueryWideTitle, 1));
}

}  // namespace

namespace {

// A stream's next song: a later entry event for the entry that plays changes
// the title the player answers, without a play event.
TEST(ScriptEntryStreamTest, ALaterEntryEventChangesThePlayingEntrysTitle)
{
    std::istringstream script(
        "0 entry 2 \"http://radio.example/stream\" \"Station - One\"\n"
        "0 play 2 -1\n"
        "5000 entry 2 \"http://radio.example/stream\" \"Station - Two\"\n");
    std::vector<ScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseScript(script, events, error)) << error;
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(-1, events[1].length);

    HostWindow window;
    SetScriptEntry(window, events[0]);
    window.Play(events[1].position, events[1].length);
    EXPECT_EQ(-1, Ask(window, kQueryTrackLength, 1));
    EXPECT_EQ("Station - One", AnsiAnswer(window, kQueryTitle, 2));
    SetScriptEntry(window, events[2]);
    EXPECT_EQ("Station - Two", AnsiAnswer(window, kQueryTitle, 2));
    EXPECT_EQ(L"Station - Two", WideAnswer(window, kQueryWideTitle, 2));
    EXPECT_EQ(1, Ask(window, kQueryIsPlaying, 0));
}

}  // namespace

// A tags event answers both tag queries for its file, by the file's name in
// either form; a tag it lacks leaves the asker's buffer as it was.
TEST(ScriptTagsTest, ATagsEventAnswersTheWideAndTheAnsiTagQueries)
{
    std::istringstream script("0 tags \"C:\\Music\\caf\xC3\xA9.mp3\" artist \"Caf\xC3\xA9 Noir\" "
                              "title \"\xE6\x9C\x88\"\n");
    std::vector<ScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseScript(script, events, error)) << error;
    HostWindow window;
    SetScriptTags(window, events.at(0));

    wchar_t wide[8] = L"kept";
    WideExtendedFileInfoQuery wideQuery{L"C:\\Music\\caf\xE9.mp3", L"artist", wide, 8};
    EXPECT_EQ(1, SendMessageA(window.Handle(), kHostQueryMessage,
                              reinterpret_cast<WPARAM>(&wideQuery), kQueryWideExtendedFileInfo));
    EXPECT_EQ(std::wstring(L"Caf\xE9 Noi"), std::wstring(wide, 8));  // filled, no zero

    char ansi[8] = "kept";
    ExtendedFileInfoQuery ansiQuery{"C:\\Music\\caf\xE9.mp3", "title", ansi, 8};
    EXPECT_EQ(1, SendMessageA(window.Handle(), kHostQueryMessage,
                              reinterpret_cast<WPARAM>(&ansiQuery), kQueryExtendedFileInfo));
    EXPECT_STREQ("?", ansi);
    ansiQuery.metadata = "album";
    EXPECT_EQ(1, SendMessageA(window.Handle(), kHostQueryMessage,
                              reinterpret_cast<WPARAM>(&ansiQuery), kQueryExtendedFileInfo));
    EXPECT_STREQ("?", ansi);

    std::istringstream unpaired("0 tags \"C:\\a.mp3\" artist\n");
    EXPECT_FALSE(ParseScript(unpaired, events, error));
}

namespace {

// One script event, without its time, as hostsim.exe reads and applies it.
ScriptEvent ScriptLine(const std::string& line)
{
    std::istringstream script("0 " + line + "\n");
    std::vector<ScriptEvent> events;
    std::string error;
    if (!ParseScript(script, events, error) || events.size() != 1)
        ADD_FAILURE() << "cannot read \"" << line << "\": " << error;
    return events.empty() ? ScriptEvent{} : events[0];
}

// The notices the window sends itself, seen through a subclass of it, in the
// order sent: "3003 13003 603/0 603/2" for a file that starts.
std::string g_notices;
WNDPROC g_hostProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kHostQueryMessage && IsTrackNotification(wParam, lParam)) {
        g_notices += g_notices.empty() ? "" : " ";
        g_notices += std::to_string(lParam);
        if (lParam == kNotifyChange)
            g_notices += "/" + std::to_string(wParam);
    }
    return CallWindowProcA(g_hostProc, window, message, wParam, lParam);
}

constexpr int kKeeps = -2;         // the event leaves the place in the track where it was
constexpr DWORD kReadGapMs = 120;  // between a row's two reads: a playing track moves on

struct PlaceRow {
    const char* line;     // the script event
    LRESULT isPlaying;    // the answer to 104 after it: 1 playing, 3 paused, 0 stopped
    int startsAt;         // where it puts the track, in ms (-1 stopped), or kKeeps
    const char* notices;  // what the window told itself
};

const PlaceRow kPlaceRows[] = {
    {"play 1 200", 1, 0, "3003 13003 603/0 603/2"},
    {"pause 1 200", 3, kKeeps, "603/2"},
    {"resume", 1, kKeeps, "603/2"},
    {"seek 5000", 1, 5000, ""},
    {"pause 1 200", 3, kKeeps, "603/2"},
    {"seek 7000", 3, 7000, ""},
    {"resume", 1, kKeeps, "603/2"},
    {"pause 2 180", 3, 0, "603/2"},  // another entry is paused at its start
    {"resume", 1, kKeeps, "603/2"},
    {"play 3 100 at 2500", 1, 2500, "3003 13003 603/0 603/2"},
    {"stop", 0, -1, "603/2"},
    {"seek 900", 0, -1, ""},  // nothing plays, so nothing moves or resumes
    {"resume", 0, -1, ""},
};

// The window reads GetTickCount when a track starts, moves or is answered
// for, and the test reads it just before and after each of those moments:
// every bound below holds however slowly a loaded machine runs the rows.
// While the track plays, the answer is the answer's tick plus an offset the
// test knows to lie in [low, high]; otherwise it is a value in [low, high].
TEST(TrackPlaceTest, PlayPauseResumeSeekAndStopMoveThePlaceInTheTrack)
{
    HostWindow window;
    g_hostProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
    const DWORD start = GetTickCount();
    auto now = [start] { return static_cast<long long>(GetTickCount() - start); };
    bool moving = false;
    long long low = -1;
    long long high = -1;
    for (const PlaceRow& row : kPlaceRows) {
        SCOPED_TRACE(row.line);
        g_notices.clear();
        const ScriptEvent event = ScriptLine(row.line);
        const long long before = now();
        ApplyScriptEvent(window, event);
        const long long after = now();
        EXPECT_EQ(row.notices, g_notices);
        EXPECT_EQ(row.isPlaying, Ask(window, kQueryIsPlaying, 0));

        // Where the event put the track, then what that says of the answers.
        const bool keeps = row.startsAt == kKeeps;
        const long long lowest = keeps ? low + (moving ? before : 0) : row.startsAt;
        const long long highest = keeps ? high + (moving ? after : 0) : row.startsAt;
        moving = row.isPlaying == 1;
        low = moving ? lowest - after : lowest;
        high = moving ? highest - before : highest;

        LRESULT reads[2] = {};
        long long answered = 0;
        for (LRESULT& read : reads) {
            while (&read != reads && now() - answered < kReadGapMs)
                Sleep(10);
            const long long asked = now();
            read = Ask(window, kQueryTrackLength, 0);
            answered = now();
            EXPECT_LE(low + (moving ? asked : 0), read);
            EXPECT_GE(high + (moving ? answered : 0), read);
        }
        if (moving) {
            EXPECT_GT(reads[1], reads[0]);
        } else {
            EXPECT_EQ(reads[0], reads[1]);
            low = high = reads[0];
        }
    }
    EXPECT_EQ(100, Ask(window, kQueryTrackLength, 1)) << "the length of the last track played";
}

// Lines the parser refuses, as it refuses any line it cannot read whole.
TEST(TrackPlaceTest, MalformedResumeSeekAndPlayAtLinesAreRefused)
{
    const char* const kLines[] = {
        "0 resume 1",           "0 seek",          "0 seek -5",
        "0 seek 12x",           "0 seek \"500\"",  "0 seek 2147483648",
        "0 seek 500 600",       "0 play 1 200 at", "0 play 1 200 from 500",
        "0 play 1 200 at -1",   "0 pause 1 200 at 500",
    };
    for (const char* line : kLines) {
        std::istringstream script(std::string("0 play 1 200\n") + line + "\n");
        std::vector<ScriptEvent> events;
        std::string error;
        EXPECT_FALSE(ParseScript(script, events, error)) << line;
        EXPECT_EQ(0u, error.find("line 2: ")) << line << ": " << error;
    }
    EXPECT_EQ(2147483647, ScriptLine("seek 2147483647").trackMs);
}

}  // namespace
