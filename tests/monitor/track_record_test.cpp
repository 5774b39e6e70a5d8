// A new track's tags in the real DLL's monitor, against the stand-in player
// and a loopback form handler: which queries each set of keys makes (none
// without them, one of each tag per new track, the ANSI query after an older
// player's 0), and what the post then carries.
#include <gtest/gtest.h>

#include <string>

#include "monitor_turns.h"
#include "settings_file.h"
#include "support/monitor_fixture.h"

namespace {

const char kFormPath[] = "/np.php?track=";
constexpr int kTagCount = 7;

struct TagRow {
    const char* name;
    const char* keys;
    int length;        // 0: a stream
    bool olderPlayer;  // the wide queries answer null, and 3026 answers 0
    std::string body;
    int wideAsked;     // 3026 queries in the run
    int ansiAsked;     // 290 queries
};

// The artist fills the player's buffer without a terminating zero; the
// album is not known, after a title that is.
const std::string kLongArtist(300, 'A');
const std::string kCutArtist(260, 'A');

const TagRow kRows[] = {
    {"KeysOff", "", 200, false, "track=Radio+Song", 0, 0},
    {"TitleFileAlone", "TitleFile=np.txt\r\n", 200, false, "track=Radio+Song", 0, 0},
    {"Ansi", "PostFields=1\r\n", 200, false,
     "track=Radio+Song&artist=" + kCutArtist + "&album=&song=Caf%E9", 0, kTagCount},
    {"Unicode", "Charset=utf-8\r\nPostFields=1\r\n", 200, false,
     "track=Radio+Song&charset=utf-8&artist=" + kCutArtist + "&album=&song=Caf%C3%A9", kTagCount,
     0},
    {"UnicodeOlderPlayer", "Charset=utf-8\r\nPostFields=1\r\n", 200, true,
     "track=Radio+Song&charset=utf-8&artist=" + kCutArtist + "&album=&song=Caf%C3%A9", kTagCount,
     kTagCount},
    {"StreamHasNoTags", "Streams=1\r\nPostFields=1\r\nArtworkFile=art.jpg\r\n", 0, false,
     "track=Radio+Song", 0, 0},
};

class TrackRecordTest : public MonitorFixture, public ::testing::WithParamInterface<TagRow> {};

int Count(const std::vector<HostQueryRecord>& queries, LPARAM code)
{
    int count = 0;
    for (const HostQueryRecord& query : queries)
        count += query.code == code ? 1 : 0;
    return count;
}

TEST_P(TrackRecordTest, TagsAreAskedOncePerTrackOnlyWhenAKeyNeedsThem)
{
    const TagRow& row = GetParam();
    plugin_.Sandbox().WriteIni(SettingsFileText(server_.Host(), kFormPath) + row.keys);
    Host().SetAnsiOnly(row.olderPlayer);
    Host().SetEntry(1, L"C:\\Music\\a.mp3", L"Radio Song");
    Host().SetTags(L"C:\\Music\\a.mp3", {{"artist", std::wstring(kLongArtist.begin(),
                                                                 kLongArtist.end())},
                                         {"title", L"Caf\xE9"}});
    Host().Play(1, row.length);
    Start();
    ASSERT_TRUE(PumpUntilPosts(1));
    // Later turns of the same track ask nothing more.
    PumpTurns(Host(), 1);
    EXPECT_EQ(row.body, server_.Requests()[0].body);
    const std::vector<HostQueryRecord> queries = Host().Queries();
    EXPECT_EQ(row.wideAsked, Count(queries, kQueryWideExtendedFileInfo));
    EXPECT_EQ(row.ansiAsked, Count(queries, kQueryExtendedFileInfo));
}

INSTANTIATE_TEST_SUITE_P(Keys, TrackRecordTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<TagRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
