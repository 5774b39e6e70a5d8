// The picture embedded in an audio file's own tags, for a track whose folder
// holds no image. The reader knows nothing of the platform: it reads through
// CoverSource, which the plugin gives over a file (cover_file_source.h) and
// the tests and the fuzzer give over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CoverSource {
public:
    virtual ~CoverSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly `count` bytes at `offset` into `buffer`; false when they cannot
    // all be read.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

// The largest picture given, as the folder image's copy is capped: a cover is
// a few hundred kilobytes, and a larger picture is a scan or a poster.
constexpr size_t kMaxCoverBytes = 4 * 1024 * 1024;
// What one search may read of a file in all, whatever its sizes claim: one
// picture of the largest size as base64 (4/3 of it) or unsynchronised, with
// the tags before it. Enough for any cover, and never the whole of a large
// file, so the search costs a few milliseconds on a track change.
constexpr uint64_t kMaxCoverBytesRead = 8 * 1024 * 1024;

// The front cover in `file`'s tags into `picture`, else the first picture:
// - MP3 (ID3v2.2, 2.3 and 2.4): PIC and APIC frames, unsynchronised or not;
// - FLAC (and a FLAC stream after an ID3 tag): PICTURE blocks;
// - MP4/M4A: the first picture of moov/udta/meta/ilst/covr;
// - Ogg Vorbis and Opus: METADATA_BLOCK_PICTURE comments.
// The form is told by the file's first bytes, never by its name. Only JPEG
// and PNG pictures of at most kMaxCoverBytes count, told by their own first
// bytes. False, with `picture` empty, when there is none, and for a file
// whose structure is damaged or lies before a picture was read whole.
bool FindEmbeddedCover(CoverSource& file, std::string& picture);
