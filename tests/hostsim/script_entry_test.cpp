// The stand-in player's answers to the ANSI and wide queries for entries read
// from a UTF-8 playlist script, and as an older player without wide answers.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host_window.h"
#include "playlist_script.h"
#include "plugin/host_queries.h"
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
