// The folder image on its own: which file is found beside a track, and the
// copy kept, replaced under a reader, refused when too big, and removed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_convert.h"
#include "config/module_paths.h"
#include "monitor/artwork_file.h"
#include "support/plugin_sandbox.h"

namespace {

std::vector<wchar_t> Wide(const std::string& path)
{
    return WideFrom(path, CP_ACP);
}

std::string Found(const std::string& folder)
{
    wchar_t found[kPathSize];
    const bool any = FindFolderArt(Wide(folder + "track.mp3").data(), found);
    EXPECT_EQ(any, found[0] != L'\0');
    const std::string path = BytesFrom(found, CP_ACP);
    return path.empty() ? "" : path.substr(folder.size());
}

TEST(ArtworkFileTest, TheFirstNameInOrderIsFoundInAnyLetterCase)
{
    const struct {
        std::vector<std::string> files;
        std::string found;
    } rows[] = {
        {{}, ""},
        {{"album.png", "Front.JPEG", "FOLDER.jpg"}, "folder.jpg"},
        {{"album.png", "folder.jpg", "cover.png"}, "cover.png"},
        {{"back.jpg", "cover.gif", "scan.png"}, ""},
    };
    for (const auto& row : rows) {
        TempDir dir;
        for (const std::string& file : row.files)
            WriteWholeFile(dir.Path() + file, "image");
        // The file system keeps the letter case it was given; the name found
        // is the one asked for, which the platform matches in any case.
        const std::string found = Found(dir.Path());
        EXPECT_TRUE(_stricmp(row.found.c_str(), found.c_str()) == 0) << found;
    }
    wchar_t found[kPathSize];
    EXPECT_FALSE(FindFolderArt(L"http://radio.invalid/stream", found));
    EXPECT_FALSE(FindFolderArt(L"track.mp3", found));
}

TEST(ArtworkFileTest, TheCopyIsReplacedUnderAReaderAndRemovedWhenThereIsNone)
{
    TempDir dir;
    const std::string copy = dir.Path() + "out\\art.jpg";
    WriteWholeFile(dir.Path() + "one.jpg", "first image");
    WriteWholeFile(dir.Path() + "two.jpg", "second");
    WriteWholeFile(dir.Path() + "big.jpg", std::string(4 * 1024 * 1024 + 1, 'x'));
    wchar_t written[kPathSize];
    bool copied = false;
    std::string stamp;
    auto keep = [&](const char* source) {
        return KeepArtworkFile(L"out\\art.jpg", Wide(dir.Path()).data(),
                               Wide(source[0] == '\0' ? "" : dir.Path() + source).data(), false,
                               written, copied, stamp);
    };

    EXPECT_EQ(0u, keep("one.jpg"));
    EXPECT_TRUE(copied);
    EXPECT_EQ(copy, BytesFrom(written, CP_ACP));
    EXPECT_EQ("first image", ReadWholeFile(copy));
    {
        // A program that shows the image holds it open, sharing reads and writes.
        HANDLE reader = CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, reader);
        EXPECT_EQ(0u, keep("two.jpg"));
        CloseHandle(reader);
    }
    EXPECT_EQ("second", ReadWholeFile(copy));

    EXPECT_EQ(0u, keep("big.jpg"));
    EXPECT_FALSE(copied);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(copy.c_str()));
    EXPECT_EQ(0u, keep("one.jpg"));
    EXPECT_EQ(0u, keep(""));
    EXPECT_FALSE(copied);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(copy.c_str()));
    EXPECT_EQ("", stamp);

    // The user's own image at that path, or the copy changed since it was
    // written: never replaced, never removed.
    for (const char* source : {"one.jpg", ""}) {
        WriteWholeFile(copy, "the user's own");
        EXPECT_EQ(kArtworkNotOurs, keep(source));
        EXPECT_EQ("the user's own", ReadWholeFile(copy));
        DeleteFileA(copy.c_str());
    }
    EXPECT_EQ(0u, keep("two.jpg"));
    WriteWholeFile(copy, "edited");
    EXPECT_EQ(kArtworkNotOurs, keep("one.jpg"));
    EXPECT_EQ("edited", ReadWholeFile(copy));
}

}  // namespace
