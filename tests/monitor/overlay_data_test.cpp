// The local overlay's data on its own: the JSON text of hostile titles, one
// row each, compared with what the form handler's encoder gives for them
// (markup, quotes and the ampersand as \u escapes, U+2028/U+2029 escaped,
// other characters as UTF-8), the script that wraps it, the tags and the
// artwork's address when the record has them, and where the files go.
#include <gtest/gtest.h>

#include <string>

#include "common/text_convert.h"
#include "monitor/overlay_data.h"
#include "support/plugin_sandbox.h"

namespace {

const char kStored[] = "2026-12-09T20:15:00Z";
const wchar_t kFolder[] = L"C:\\Stream\\";  // where the JSON file goes

OverlayContent TitleOnly(const std::string& title)
{
    OverlayContent content;
    content.track.title = title;
    return content;
}

TEST(OverlayDataTest, TitlesAreEscapedByConstruction)
{
    const struct {
        const char* name;
        std::string title;
        std::string json;  // the title's JSON string, quotes included
    } rows[] = {
        {"plain", "Artist - Title", "\"Artist - Title\""},
        {"a script element", "</script><script>alert(1)</script>",
         "\"\\u003C/script\\u003E\\u003Cscript\\u003Ealert(1)\\u003C/script\\u003E\""},
        {"quotes, apostrophe, ampersand, backslash", "\"O'Neil\" & C:\\x",
         "\"\\u0022O\\u0027Neil\\u0022 \\u0026 C:\\\\x\""},
        {"line separators end a script line", "a\xE2\x80\xA8" "b\xE2\x80\xA9" "c",
         "\"a\\u2028b\\u2029c\""},
        {"control characters", "t\tn\nr\rz\x01" "e\x1F", "\"t\\tn\\nr\\rz\\u0001e\\u001F\""},
        {"any script, emoji included", "\xE6\x9C\x88\xE5\x85\x89 \xF0\x9F\x8E\xB5",
         "\"\xE6\x9C\x88\xE5\x85\x89 \xF0\x9F\x8E\xB5\""},
        {"bytes that are not UTF-8", "Caf\xE9", "\"Caf\xEF\xBF\xBD\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string json = OverlayJson(TitleOnly(row.title), kStored, kFolder);
        EXPECT_EQ("{\"title\":" + row.json + ",\"stored\":\"" + kStored + "\"}\n", json);
        EXPECT_EQ("window.tunewireNowPlaying = {\"title\":" + row.json + ",\"stored\":\"" +
                      kStored + "\"};\n",
                  OverlayScript(json));
    }
}

OverlayContent Tagged(const wchar_t* artwork)
{
    OverlayContent content = TitleOnly("A - S");
    content.track.hasFields = true;
    content.track.artist = "A";
    content.track.song = "S";
    content.artworkKept = true;
    content.artworkVersion = "20261209201500";
    lstrcpynW(content.artwork, artwork, kPathSize);
    return content;
}

TEST(OverlayDataTest, TagsAndArtworkOnlyWhenTheRecordHasThem)
{
    OverlayContent formatted = TitleOnly("A - S");
    formatted.track.line = "S by A";
    OverlayContent hostile = Tagged(L"");
    hostile.artworkKept = false;
    hostile.track.artist = "</script>\xE2\x80\xA8";
    hostile.track.album = "\"&'";
    const struct {
        const char* name;
        OverlayContent content;
        std::string after;  // what follows "stored"
    } rows[] = {
        {"a format's line, no tags", formatted, ",\"line\":\"S by A\""},
        {"tags with an empty album, artwork beside the data", Tagged(L"c:\\stream\\Cover Art.JPG"),
         ",\"artist\":\"A\",\"album\":\"\",\"song\":\"S\",\"artwork\":\"Cover%20Art.JPG?v=20261209201500\""},
        {"artwork elsewhere, any letters",
         Tagged(L"D:\\Art\\#1 \"x\" <\u00E9>&\u6708.png"),
         ",\"artist\":\"A\",\"album\":\"\",\"song\":\"S\",\"artwork\":"
         "\"file:///D:/Art/%231%20%22x%22%20%3C%C3%A9%3E%26%E6%9C%88.png?v=20261209201500\""},
        {"artwork on a network share", Tagged(L"\\\\nas\\art\\c.jpg"),
         ",\"artist\":\"A\",\"album\":\"\",\"song\":\"S\",\"artwork\":"
         "\"file://nas/art/c.jpg?v=20261209201500\""},
        {"no artwork to keep", Tagged(L""),
         ",\"artist\":\"A\",\"album\":\"\",\"song\":\"S\",\"artwork\":null"},
        {"hostile tags", hostile,
         ",\"artist\":\"\\u003C/script\\u003E\\u2028\",\"album\":\"\\u0022\\u0026\\u0027\","
         "\"song\":\"S\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ("{\"title\":\"A - S\",\"stored\":\"" + std::string(kStored) + "\"" + row.after + "}\n",
                  OverlayJson(row.content, kStored, kFolder));
    }
}

TEST(OverlayDataTest, BothFilesGoBesideTheTitleFileButNeverOverIt)
{
    TempDir dir;
    wchar_t failed[kPathSize];
    WriteOverlayData(WideFrom(dir.Path() + "np.txt", CP_ACP).data(), TitleOnly("Now"), failed);
    const std::string json = ReadWholeFile(dir.Path() + "nowplaying.json");
    EXPECT_EQ(0u, json.find("{\"title\":\"Now\",\"stored\":\"20")) << json;
    EXPECT_EQ("window.tunewireNowPlaying = " + json.substr(0, json.size() - 1) + ";\n",
              ReadWholeFile(dir.Path() + "nowplaying.js"));
    WriteOverlayData(WideFrom(dir.Path() + "np.txt", CP_ACP).data(),
                     Tagged(WideFrom(dir.Path() + "cover.jpg", CP_ACP).data()), failed);
    EXPECT_NE(std::string::npos, ReadWholeFile(dir.Path() + "nowplaying.json").find("\"artwork\":\"cover.jpg?v=20"));

    TempDir other;
    WriteWholeFile(other.Path() + "nowplaying.json", "Title");
    WriteOverlayData(WideFrom(other.Path() + "NowPlaying.JSON", CP_ACP).data(), TitleOnly("Now"),
                     failed);
    EXPECT_EQ("Title", ReadWholeFile(other.Path() + "nowplaying.json"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((other.Path() + "nowplaying.js").c_str()));
}

}  // namespace
