// The title format as one table: each row a format and a track record, and
// the exact UTF-8 line it must give. Player titles in ANSI are read through
// code page 1252, the test prefix's.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "monitor/title_format.h"

namespace {

const std::string kPair = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

TrackRecord Tagged(const std::string& album = "Album", const std::string& artist = "Artist")
{
    TrackRecord record;
    record.playerTitle = "Artist - Song";
    record.hasFields = true;
    record.fields = {artist, "Song", album, "Various", "1999", "7", "Pop"};
    return record;
}

// A file without tags, or a stream: only the player's title.
TrackRecord Untagged(const std::string& playerTitle, TitleCharset charset = TitleCharset::kAnsi)
{
    TrackRecord record;
    record.playerTitle = playerTitle;
    record.charset = charset;
    return record;
}

TrackRecord WithTitle(const std::string& title)
{
    TrackRecord record = Tagged();
    record.fields.title = title;
    return record;
}

TrackRecord StopText()
{
    TrackRecord record = Untagged("Paused");
    record.isStopText = true;
    return record;
}

TEST(TitleFormatTest, FormatsEachRowExactly)
{
    ASSERT_EQ(1252u, GetACP());
    const struct {
        const char* name;
        std::string format;
        TrackRecord record;
        std::string expected;
    } rows[] = {
        {"every field", "%artist%|%title%|%album%|%albumartist%|%year%|%track%|%genre%|%player_title%",
         Tagged(), "Artist|Song|Album|Various|1999|7|Pop|Artist - Song"},
        {"names in any case", "%ARTIST% - %Title%", Tagged(), "Artist - Song"},
        {"group shown", "%artist% - %title%[ (%album%)]", Tagged(), "Artist - Song (Album)"},
        {"group with an empty field", "[%artist% / %album% / ]%title%", Tagged(""), "Song"},
        {"nested, inner empty", "[%artist%[ (%album%)] - ]%title%", Tagged(""), "Artist - Song"},
        {"nested, outer empty", "[%artist%[ (%album%)] - ]%title%", Tagged("Album", ""), "Song"},
        {"unclosed group", "%artist% [%album%", Tagged(""), "Artist ["},
        {"stray bracket", "%artist%] [x] [[%album%]", Tagged(), "Artist] [x] [Album"},
        {"no tags: title falls back", "[%artist% - ]%title%", Untagged("Caf\xE9"), "Caf\xC3\xA9"},
        {"stream: fallen-back title fills a group", "[(%title%)]",
         Untagged("Radio \xC3\xA9", TitleCharset::kUtf8), "(Radio \xC3\xA9)"},
        {"percent signs", "100%% %title% 5%", Tagged(), "100% Song 5%"},
        {"unknown names stay", "%foo%artist% %nope% %artist", Tagged(), "%fooArtist %nope% %artist"},
        {"field values are not read as a format", "%title%", WithTitle("[%artist%]"), "[%artist%]"},
        {"empty format", "", Untagged("Caf\xE9"), "Caf\xC3\xA9"},
        {"stop text as it is", "%artist% - %title%", StopText(), "Paused"},
        {"cut at 260 units", std::string(250, 'x') + "%title%", WithTitle(std::string(20, 'y')),
         std::string(250, 'x') + std::string(10, 'y')},
        {"pair across the cut", std::string(259, 'x') + "%title%", WithTitle(kPair + "z"),
         std::string(259, 'x')},
        {"pair inside the cut", std::string(258, 'x') + "%title%", WithTitle(kPair + "z"),
         std::string(258, 'x') + kPair},
        {"bytes that are not UTF-8", "\xFF%title%", WithTitle("\xC3"), "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, FormatTitle(row.format, row.record)) << row.name;
}

// Brackets nested far deeper than any format needs neither crash nor lose
// text.
TEST(TitleFormatTest, DeepNestingKeepsEveryCharacter)
{
    const std::string format = std::string(100000, '[') + "%artist%" + std::string(100000, ']');
    EXPECT_EQ("Artist", FormatTitle(format, Tagged()));
}

}  // namespace
