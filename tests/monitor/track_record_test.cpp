// A new track's tags in the real DLL's monitor, against the stand-in player
// and a loopback form handler: which queries each set of keys makes (none
// without them, one of each tag per new track, the ANSI query after an older
// player's 0), and what the post then carries.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

#include "monitor_turns.h"
#include "settings_file.h"
#include "support/monitor_fixture.h"

namespace {

const char kFormPath[] = "/np.php?track=";
// Far beyond what each wait needs on an idle machine: a loaded one only
// stretches them.
constexpr DWORD kWaitMs = 20000;
// A retry comes 5 s after the failed try.
constexpr DWORD kRetryWaitMs = 30000;
// Artist, title and album; the others only when the format names them.
constexpr int kTagCount = 3;

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
    {"FormatAsksWhatItNames", "Charset=utf-8\r\nTitleFormat=[%Genre%] %title%\r\n", 200, false,
     "track=Radio+Song&charset=utf-8", kTagCount + 1, 0},
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
    ASSERT_TRUE(PumpUntilPosts(1, kWaitMs));
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

// A retry posts the whole form again, tags included.
TEST_F(TrackRecordTest, AQuietRetryPostsTheTagsAgain)
{
    plugin_.Sandbox().WriteIni(SettingsFileText(server_.Host(), kFormPath) +
                               "Quiet=1\r\nPostFields=1\r\n");
    server_.Script(ScriptedResponse::Answer(503, "Busy"));
    Host().SetEntry(1, "C:\\Music\\a.mp3", "Radio Song");
    Host().SetTags(L"C:\\Music\\a.mp3", {{"artist", L"Band"}, {"title", L"Song"}});
    Host().Play(1, 200);
    Start();
    ASSERT_TRUE(PumpUntilPosts(2, kRetryWaitMs));
    const std::string body = "track=Radio+Song&artist=Band&album=&song=Song";
    EXPECT_EQ(body, server_.Requests()[0].body);
    EXPECT_EQ(body, server_.Requests()[1].body);
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// One record reaches the title file, the cover's copy and the overlay's data
// alike; a track without tags or cover, and then the stop text, replace them.
TEST_F(TrackRecordTest, TheFormatTheCoverAndTheOverlayDataFollowEachTrack)
{
    const std::string dir = plugin_.Sandbox().Directory();
    CreateDirectoryA((dir + "Music").c_str(), nullptr);
    WriteWholeFile(dir + "Music\\Cover.JPG", "jpeg bytes");
    plugin_.Sandbox().WriteIni(SettingsFileText(server_.Host(), kFormPath) +
                               "Charset=utf-8\r\nTitleFile=np.txt\r\nArtworkFile=art.jpg\r\n"
                               "StoppedText=Off air\r\n"
                               "TitleFormat=\xE2\x99\xAA [%artist% - ]%title%[ (%album%)]\r\n");
    // The sandbox's path is ASCII.
    const std::wstring tagged = std::wstring(dir.begin(), dir.end()) + L"Music\\a.mp3";
    Host().SetEntry(1, tagged.c_str(), L"Player Title");
    Host().SetTags(tagged, {{"artist", L"\x0410\x043D\x0430"}, {"title", L"Song"},
                            {"album", L"Album"}});
    Host().SetEntry(2, L"C:\\Elsewhere\\b.mp3", L"Second");
    auto fileIs = [&](const std::string& name, const std::string& text) {
        return Host().PumpUntil([&] { return ReadWholeFile(dir + name) == text; }, kWaitMs);
    };
    auto jsonHas = [&](const std::string& part) {
        return Host().PumpUntil([&] { return Has(ReadWholeFile(dir + "nowplaying.json"), part); },
                                kWaitMs);
    };
    Host().Play(1, 200);
    Start();
    EXPECT_TRUE(fileIs("np.txt", "\xE2\x99\xAA \xD0\x90\xD0\xBD\xD0\xB0 - Song (Album)"));
    EXPECT_TRUE(fileIs("art.jpg", "jpeg bytes"));
    EXPECT_TRUE(jsonHas("\"title\":\"Player Title\""));
    const std::string json = ReadWholeFile(dir + "nowplaying.json");
    EXPECT_TRUE(Has(json, "\"artist\":\"\xD0\x90\xD0\xBD\xD0\xB0\",\"album\":\"Album\",\"song\":\"Song\""))
        << json;
    EXPECT_TRUE(Has(json, "\"artwork\":\"art.jpg?v=")) << json;

    Host().Play(2, 180);
    EXPECT_TRUE(fileIs("np.txt", "\xE2\x99\xAA Second"));
    EXPECT_TRUE(jsonHas("\"artwork\":null"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir + "art.jpg").c_str()));

    Host().Stop();
    EXPECT_TRUE(fileIs("np.txt", "Off air"));
}

// The music file's own picture becomes the cover copy where its folder has
// no image, in every form the reader takes; a folder image wins over it.
TEST_F(TrackRecordTest, AFilesOwnPictureIsTheCoverUnlessItsFolderHasOne)
{
    const std::string dir = plugin_.Sandbox().Directory();
    const std::string samples = BinaryDirectory() + "cover-samples\\";
    plugin_.Sandbox().WriteIni(SettingsFileText(server_.Host(), kFormPath) +
                               "ArtworkFile=art.jpg\r\n");
    const struct {
        const char* file;
        const char* picture;
    } rows[] = {
        {"id3v23.mp3", "front.jpg"}, {"id3v24.mp3", "front.jpg"}, {"cover.flac", "front.jpg"},
        {"cover.m4a", "front.jpg"},  {"cover.ogg", "front.jpg"},  {"cover.opus", "big.png"},
        {"id3v24.mp3", "back.png"},  // the same kind of file in a folder with its own image
    };
    Start();
    int position = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        ++position;
        // A folder per track, holding the file alone or, last, beside a folder image.
        const std::string folder = dir + "album" + std::to_string(position) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        CopyFileA((samples + row.file).c_str(), (folder + row.file).c_str(), FALSE);
        if (&row == &rows[std::size(rows) - 1])
            CopyFileA((samples + "back.png").c_str(), (folder + "folder.png").c_str(), FALSE);
        const std::wstring media(folder.begin(), folder.end());
        Host().SetEntry(position, (media + std::wstring(row.file, row.file + std::strlen(row.file))).c_str(),
                        L"Title");
        Host().Play(position, 100 + position);
        // The copy is made before the track's post.
        ASSERT_TRUE(PumpUntilPosts(static_cast<size_t>(position), kWaitMs));
        EXPECT_TRUE(ReadWholeFile(dir + "art.jpg") == ReadWholeFile(samples + row.picture));
    }
}

}  // namespace
