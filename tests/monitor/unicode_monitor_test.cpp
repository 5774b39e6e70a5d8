// The monitor of the real DLL in both modes against a stand-in player that
// holds texts outside the ANSI code page: which queries each turn sends, what
// a post carries, and how file names are told apart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor_turns.h"
#include "settings_file.h"
#include "support/monitor_fixture.h"

namespace {

const std::vector<LPARAM> kWideNoChange = {104, 105, 125};
const std::vector<LPARAM> kWideSameFile = {104, 105, 125, 214};
const std::vector<LPARAM> kWideNewFile = {104, 105, 125, 214, 213};
const std::vector<LPARAM> kOlderPlayerNewFile = {104, 105, 125, 214, 211, 213, 212};

// Japanese, Cyrillic and an emoji (a surrogate pair), and their UTF-8 in a form.
const wchar_t kJapanese[] = L"\x6708\x5149 - \x591C\x66F2";
const char kJapaneseForm[] = "%E6%9C%88%E5%85%89+%2D+%E5%A4%9C%E6%9B%B2";
const wchar_t kCyrillic[] = L"\x041A\x0438\x043D\x043E";
const char kCyrillicForm[] = "%D0%9A%D0%B8%D0%BD%D0%BE";
const char kCharsetField[] = "&charset=utf-8";

class UnicodeMonitorTest : public MonitorFixture {
protected:
    // `charsetLine` is a whole line for the plugin's section, or "".
    void Configure(const std::string& charsetLine)
    {
        plugin_.Sandbox().WriteIni(SettingsFileText(server_.Host(), "/np.php?track=") + charsetLine);
    }

    void PumpTurns(size_t count) { ::PumpTurns(Host(), count); }

    // The kinds of turn in order, repeats of one kind counted once.
    std::vector<std::vector<LPARAM>> Kinds()
    {
        std::vector<std::vector<LPARAM>> kinds;
        for (const Turn& turn : Turns(Host().Queries()))
            if (kinds.empty() || kinds.back() != turn.codes)
                kinds.push_back(turn.codes);
        return kinds;
    }

    bool AnyWideQuery()
    {
        for (const HostQueryRecord& query : Host().Queries())
            if (query.code == 213 || query.code == 214)
                return true;
        return false;
    }
};

TEST_F(UnicodeMonitorTest, DefaultModeAsksOnlyTheAnsiQueriesAndPostsTheAnsiText)
{
    Configure("");
    Host().SetEntry(1, L"C:\\Music\\\x6708\x5149\x591C\x66F2.mp3", kJapanese);
    Host().SetEntry(2, L"C:\\Music\\\x4E2D\x6587\x6B4C\x66F2.mp3", kCyrillic);
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(1);
    Host().Play(2, 200);
    PumpTurns(3);

    EXPECT_FALSE(AnyWideQuery());
    // Both file names reach the ANSI queries as "C:\Music\????.mp3": the same
    // file, so the second entry is not posted.
    EXPECT_EQ((std::vector<std::string>{"track=%3F%3F+%2D+%3F%3F"}), Bodies());
    EXPECT_EQ((std::vector<std::vector<LPARAM>>{kNewFile, kNoChange, kSameFile, kNoChange}),
              Kinds());
}

TEST_F(UnicodeMonitorTest, UnicodeModeAsksTheWideQueriesAtTheSamePointsOfTheTurn)
{
    Configure("Charset=UTF-8\r\n");
    Host().SetEntry(1, L"C:\\Music\\\x6708\x5149\x591C\x66F2.mp3", kJapanese);
    Host().SetEntry(2, L"C:\\Music\\\x4E2D\x6587\x6B4C\x66F2.mp3", kCyrillic);
    Host().SetEntry(3, L"C:\\Music\\\x4E2D\x6587\x6B4C\x66F2.mp3", L"the same file again");
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(1);
    // Its ANSI name is the first one's, "C:\Music\????.mp3"; its wide name is not.
    Host().Play(2, 200);
    ASSERT_TRUE(PumpUntilPosts(2));
    PumpTurns(1);
    Host().Play(3, 200);
    PumpTurns(2);

    EXPECT_EQ((std::vector<std::string>{std::string("track=") + kJapaneseForm + kCharsetField,
                                        std::string("track=") + kCyrillicForm + kCharsetField}),
              Bodies());
    EXPECT_EQ((std::vector<std::vector<LPARAM>>{kWideNewFile, kWideNoChange, kWideNewFile,
                                                 kWideNoChange, kWideSameFile, kWideNoChange}),
              Kinds());
    EXPECT_TRUE(robot_.Boxes().empty());
}

TEST_F(UnicodeMonitorTest, AnOlderPlayersNullWideAnswersFallBackToTheAnsiQueries)
{
    Configure("Charset=utf-8\r\n");
    Host().SetAnsiOnly(true);
    Host().SetEntry(1, "C:\\Music\\caf\xE9.mp3", "Caf\xE9 \x80 50%");
    Host().SetEntry(2, "C:\\Music\\caf\xE9.mp3", "same file");
    Host().SetEntry(3, "C:\\Music\\other.mp3", nullptr);
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    PumpTurns(1);
    Host().Play(2, 200);
    PumpTurns(2);
    Host().Play(3, 200);
    PumpTurns(2);

    // Widened from the Western code page, then posted as UTF-8.
    EXPECT_EQ((std::vector<std::string>{"track=Caf%C3%A9+%E2%82%AC+50%25&charset=utf-8"}),
              Bodies());
    EXPECT_EQ((std::vector<std::vector<LPARAM>>{kOlderPlayerNewFile, kWideNoChange,
                                                 {104, 105, 125, 214, 211}, kWideNoChange,
                                                 kOlderPlayerNewFile, kWideNoChange}),
              Kinds());
}

TEST_F(UnicodeMonitorTest, LongTitlesAreCutOutsideSurrogatePairsAndUnpairedOnesReplaced)
{
    Configure("Charset=utf-8\r\n");
    const std::wstring emoji = L"\xD83C\xDFB5";  // U+1F3B5, two units
    // The pair would take the 260th and 261st units: the cut comes before it.
    const std::wstring longTitle = std::wstring(259, L'a') + emoji + L"tail";
    Host().SetEntry(1, L"C:\\Music\\long.mp3", longTitle.c_str());
    Host().SetEntry(2, L"C:\\Music\\odd.mp3", (L"x\xD800y\xDC00" L"z" + emoji).c_str());
    Host().SetEntry(3, L"C:\\Music\\short.mp3", (std::wstring(258, L'b') + emoji).c_str());
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    Host().Play(2, 200);
    ASSERT_TRUE(PumpUntilPosts(2));
    Host().Play(3, 200);
    ASSERT_TRUE(PumpUntilPosts(3));

    EXPECT_EQ((std::vector<std::string>{
                  "track=" + std::string(259, 'a') + kCharsetField,
                  std::string("track=x%EF%BF%BDy%EF%BF%BDz%F0%9F%8E%B5") + kCharsetField,
                  "track=" + std::string(258, 'b') + "%F0%9F%8E%B5" + kCharsetField,
              }),
              Bodies());
}

// The setting is read with the others at each post, so a change takes effect
// from the track after the next. Whatever the mode, a file is compared with
// the one really posted last: here B comes back after C and D were posted in
// the other mode, and is posted again.
TEST_F(UnicodeMonitorTest, SwitchingTheModeWhilePlayingComparesWithTheLastRealPost)
{
    Configure("");
    const char* names[] = {"A", "B", "C", "D"};
    for (int i = 0; i < 4; ++i)
        Host().SetEntry(i + 1, (std::string("C:\\Music\\") + names[i] + ".mp3").c_str(),
                        names[i]);
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    Configure("Charset=utf-8\r\n");
    Host().Play(2, 201);
    ASSERT_TRUE(PumpUntilPosts(2));
    Host().Play(3, 202);
    ASSERT_TRUE(PumpUntilPosts(3));
    Configure("");
    Host().Play(4, 203);
    ASSERT_TRUE(PumpUntilPosts(4));
    Host().Play(2, 201);
    ASSERT_TRUE(PumpUntilPosts(5));

    EXPECT_EQ((std::vector<std::string>{"track=A", "track=B", std::string("track=C") + kCharsetField,
                                        std::string("track=D") + kCharsetField, "track=B"}),
              Bodies());
}

}  // namespace
