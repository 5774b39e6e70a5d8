// The embedded cover reader over real files: ffmpeg's audio with pictures
// written in by mutagen or shaped by hand (make_cover_samples.sh, run by
// ctest before this test). Each form gives its picture byte for byte through
// the file adapter, as the plugin reads it; copies edited as a careless or
// hostile tagger would leave them give the picture whole or nothing, quickly;
// and a file that lies without end costs no more than the reading budget.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "common/text_convert.h"
#include "loopback/clock.h"
#include "monitor/cover_file_source.h"
#include "monitor/embedded_cover.h"
#include "support/plugin_sandbox.h"

namespace {

// Far above what one file costs (a few milliseconds), so only a reader
// that loops or reads the whole file can reach it.
constexpr double kMsPerFile = 1000;

std::string Sample(const std::string& name)
{
    return ReadWholeFile(BinaryDirectory() + "cover-samples\\" + name);
}

bool CoverOfFile(const std::string& path, std::string& picture)
{
    return FindEmbeddedCoverInFile(WideFrom(path, CP_ACP).data(), picture);
}

// `bytes` as a file, or a file of any size made up by `byteAt` as it is
// read; either counts the bytes the reader asks of it.
class MemorySource : public CoverSource {
public:
    explicit MemorySource(const std::string& bytes) : bytes_(bytes), size_(bytes.size()) {}
    MemorySource(uint64_t size, std::function<char(uint64_t)> byteAt)
        : size_(size), byteAt_(std::move(byteAt))
    {
    }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override
    {
        read_ += count;
        if (offset > size_ || count > size_ - offset)
            return false;
        char* to = static_cast<char*>(buffer);
        for (size_t i = 0; i < count; ++i)
            to[i] = byteAt_ ? byteAt_(offset + i) : bytes_[offset + i];
        return true;
    }
    uint64_t BytesRead() const { return read_; }

private:
    std::string bytes_;
    uint64_t size_;
    std::function<char(uint64_t)> byteAt_;
    uint64_t read_ = 0;
};

// Each sample with its picture, and a text just before its first picture.
const struct Good {
    const char* file;
    const char* picture;
    const char* marker;
} kGood[] = {
    {"id3v23.mp3", "front.jpg", "APIC"},  // a back cover before the front
    {"id3v24.mp3", "front.jpg", "APIC"},
    {"id3v23-unsync.mp3", "front.jpg", "APIC"},  // with an extended header
    {"id3v24-unsync.mp3", "front.jpg", "APIC"},  // and a data length, extended header
    {"id3v22.mp3", "front.jpg", "PIC"},          // an "other" picture before the front
    {"cover.flac", "front.jpg", "image/"},       // a back cover before the front
    {"id3-before.flac", "front.jpg", "image/"},
    {"cover.m4a", "front.jpg", "covr"},  // moov after the audio; a PNG after the JPEG
    {"cover.ogg", "front.jpg", "METADATA_BLOCK_PICTURE="},  // a back cover first
    {"cover.opus", "big.png", "metadata_block_picture="},   // one "other" picture over pages
};

size_t Find(const std::string& bytes, const std::string& what, size_t from = 0)
{
    const size_t at = bytes.find(what, from);
    EXPECT_NE(std::string::npos, at) << what;
    return at == std::string::npos ? 0 : at;
}

std::string Patch(std::string bytes, size_t at, const std::string& with)
{
    return bytes.replace(at, with.size(), with);
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

std::string BigEndian32(uint32_t value)
{
    return Bytes({int(value >> 24), int(value >> 16 & 0xFF), int(value >> 8 & 0xFF),
                  int(value & 0xFF)});
}

uint32_t BigEndian32At(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = at; i < at + 4; ++i)
        value = value << 8 | static_cast<uint8_t>(bytes[i]);
    return value;
}

// Where an Ogg file's second page starts, the first of its comments: the
// page's segment count stands at 26, its segment table after it.
size_t CommentPage(const std::string& ogg)
{
    return Find(ogg, "OggS", 1);
}

TEST(EmbeddedCoverTest, EachFormGivesItsPictureByteForByte)
{
    for (const Good& row : kGood) {
        std::string picture;
        EXPECT_TRUE(CoverOfFile(BinaryDirectory() + "cover-samples\\" + row.file, picture))
            << row.file;
        EXPECT_TRUE(picture == Sample(row.picture)) << row.file << ": " << picture.size();
    }
    for (const char* plain : {"plain.mp3", "plain.flac", "plain.m4a", "plain.ogg", "plain.opus",
                              "front.jpg", "missing.mp3"}) {
        std::string picture = "left over";
        EXPECT_FALSE(CoverOfFile(BinaryDirectory() + "cover-samples\\" + plain, picture)) << plain;
        EXPECT_TRUE(picture.empty()) << plain;
    }
}

TEST(EmbeddedCoverTest, TheFileIsReadUnderAWriterAtANameOutsideTheCodePage)
{
    TempDir dir;
    const std::wstring folder = std::wstring(WideFrom(dir.Path(), CP_ACP).data()) + L"\x97F3\x697D";
    const std::wstring file = folder + L"\\\x30C8\x30E9\x30C3\x30AF.flac";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(WideFrom(BinaryDirectory() + "cover-samples\\cover.flac", CP_ACP).data(),
                          file.c_str(), FALSE));
    // The player may hold the file open for writing its tags.
    HANDLE writer = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    std::string picture;
    EXPECT_TRUE(FindEmbeddedCoverInFile(file.c_str(), picture));
    EXPECT_TRUE(picture == Sample("front.jpg"));
    CloseHandle(writer);
    EXPECT_FALSE(FindEmbeddedCoverInFile(L"http://radio.invalid/cover.flac", picture));
    EXPECT_FALSE(FindEmbeddedCoverInFile((std::wstring(L"file://") + file).c_str(), picture));
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(EmbeddedCoverTest, EditedCopiesGiveThePictureWholeOrNothingQuickly)
{
    using Edit = std::function<std::string(const std::string&)>;
    const std::string front = Sample("front.jpg");
    const std::string back = Sample("back.png");
    // What each copy gives: "" for nothing.
    const struct {
        const char* file;
        const char* expected;
        const char* what;
        Edit edit;
    } rows[] = {
        {"id3v24.mp3", "", "a picture frame longer than the tag",
         [](const std::string& f) { return Patch(f, Find(f, "APIC") + 4, "\x7F\x7F\x7F\x7F"); }},
        {"id3v22.mp3", "", "a picture frame longer than the file",
         [](const std::string& f) { return Patch(f, Find(f, "PIC") + 3, "\xFF\xFF\xFF"); }},
        {"id3v23-unsync.mp3", "", "a tag that ends inside its picture",
         [](const std::string& f) {
             const int size = static_cast<int>(Find(f, "APIC")) + 100;  // under 2^14
             return Patch(f, 6, Bytes({0, 0, size >> 7, size & 0x7F}));
         }},
        {"id3v24-unsync.mp3", "", "an unsynchronised frame cut in the middle",
         [](const std::string& f) { return Patch(f, Find(f, "APIC") + 4, Bytes({0, 0, 7, 0})); }},
        {"cover.flac", "", "a picture block longer than the file",
         [](const std::string& f) { return Patch(f, Find(f, "image/") - 11, "\xFF\xFF\xFF"); }},
        {"cover.flac", "", "pictures of 4 GB",
         [&](const std::string& f) {
             const std::string lie = Patch(f, Find(f, front) - 4, "\xFF\xFF\xFF\xFF");
             return Patch(lie, Find(lie, back) - 4, "\xFF\xFF\xFF\xFF");
         }},
        {"cover.m4a", "", "covr longer than the file",
         [](const std::string& f) { return Patch(f, Find(f, "covr") - 4, "\xFF\xFF\xFF\xFF"); }},
        {"cover.m4a", "", "a picture atom of size 8, then what its data says",
         [](const std::string& f) {
             return Patch(f, Find(f, "data", Find(f, "covr")) - 4, BigEndian32(8));
         }},
        {"cover.m4a", "", "moov smaller than its header",
         [](const std::string& f) { return Patch(f, Find(f, "moov") - 4, BigEndian32(4)); }},
        {"cover.m4a", "", "udta of size 0 inside moov",
         [](const std::string& f) { return Patch(f, Find(f, "udta") - 4, BigEndian32(0)); }},
        {"cover.m4a", "", "the audio running to the end (size 0)",
         [](const std::string& f) { return Patch(f, Find(f, "mdat") - 4, BigEndian32(0)); }},
        {"cover.m4a", "", "a 64-bit size smaller than its header",
         [](const std::string& f) {
             return Patch(f, Find(f, "mdat") - 4,
                          BigEndian32(1) + "mdat" + BigEndian32(0) + BigEndian32(8));
         }},
        {"cover.m4a", "front.jpg", "the audio with a 64-bit size",
         [](const std::string& f) {
             const size_t at = Find(f, "mdat") - 4;
             return std::string(f).replace(at, 8, BigEndian32(1) + "mdat" + BigEndian32(0) +
                                                      BigEndian32(BigEndian32At(f, at) + 8));
         }},
        {"cover.m4a", "front.jpg", "moov, the last atom, of size 0",
         [](const std::string& f) { return Patch(f, Find(f, "moov") - 4, BigEndian32(0)); }},
        {"cover.opus", "", "a segment table that ends the comments inside the picture",
         [](const std::string& f) { return Patch(f, CommentPage(f) + 27, Bytes({100})); }},
        {"cover.ogg", "", "a comment page without segments",
         [](const std::string& f) { return Patch(f, CommentPage(f) + 26, Bytes({0})); }},
        {"cover.opus", "", "a picture comment longer than the file",
         [](const std::string& f) {
             return Patch(f, Find(f, "metadata_block_picture=") - 4, "\xFF\xFF\xFF\x7F");
         }},
    };
    TempDir dir;
    const double start = NowMs();
    for (const auto& row : rows) {
        const std::string path = dir.Path() + "edited";
        WriteWholeFile(path, row.edit(Sample(row.file)));
        std::string picture;
        EXPECT_EQ(row.expected[0] != '\0', CoverOfFile(path, picture))
            << row.file << ": " << row.what;
        EXPECT_TRUE(picture == (row.expected[0] != '\0' ? Sample(row.expected) : ""))
            << row.file << ": " << row.what;
    }
    EXPECT_LT(NowMs() - start, kMsPerFile * (sizeof rows / sizeof rows[0]));
}

// Cut anywhere, a sample gives one of its pictures whole or nothing; cut
// inside its first picture, nothing.
TEST(EmbeddedCoverTest, TruncatedFilesGiveAWholePictureOrNothing)
{
    const std::string pictures[] = {Sample("front.jpg"), Sample("back.png"), Sample("big.png")};
    for (const Good& row : kGood) {
        const std::string file = Sample(row.file);
        auto cutAt = [&](size_t cut) {
            MemorySource source(file.substr(0, cut));
            std::string picture;
            const bool found = FindEmbeddedCover(source, picture);
            EXPECT_TRUE(found ? picture == pictures[0] || picture == pictures[1] ||
                                    picture == pictures[2]
                              : picture.empty())
                << row.file << " cut at " << cut;
            return found;
        };
        for (size_t cut = 0; cut < file.size(); cut += 61)
            cutAt(cut);
        const size_t insideFirst = Find(file, row.marker) + 100;
        EXPECT_FALSE(cutAt(insideFirst)) << row.file << " cut inside its first picture";
    }
}

// Files of endless structure, made up as they are read: each search ends
// within the budget.
TEST(EmbeddedCoverTest, AFileThatNeverEndsCostsNoMoreThanTheBudget)
{
    const uint64_t kGigabytes4 = uint64_t(4) << 30;
    const struct {
        const char* what;
        uint64_t size;
        std::function<char(uint64_t)> byteAt;
    } rows[] = {
        {"an unsynchronised ID3 tag of 256 MB of frames", 10 + 0x0FFFFFFF,
         [](uint64_t at) {
             const char header[] = "ID3\x03\x00\x80\x7F\x7F\x7F\x7F";
             const char frame[] = "TXXX\x00\x00\x03\xE8\x00\x00";
             return at < 10 ? header[at] : (at - 10) % 1010 < 10 ? frame[(at - 10) % 1010] : '\xFF';
         }},
        {"FLAC blocks of no length for 4 GB", kGigabytes4,
         [](uint64_t at) { return at < 4 ? "fLaC"[at] : at % 4 == 0 ? '\x01' : '\0'; }},
        {"MP4 atoms of size 8 for 4 GB", kGigabytes4,
         [](uint64_t at) {
             return at % 8 == 3 ? '\x08' : at % 8 < 4 ? '\0' : (at < 8 ? "ftyp" : "free")[at % 4];
         }},
    };
    for (const auto& row : rows) {
        MemorySource source(row.size, row.byteAt);
        std::string picture;
        const double start = NowMs();
        EXPECT_FALSE(FindEmbeddedCover(source, picture)) << row.what;
        EXPECT_LT(NowMs() - start, kMsPerFile) << row.what;
        EXPECT_LE(source.BytesRead(), kMaxCoverBytesRead) << row.what;
        EXPECT_GT(source.BytesRead(), kMaxCoverBytesRead / 2) << row.what;
    }
}

}  // namespace
