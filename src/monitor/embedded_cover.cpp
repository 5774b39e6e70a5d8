// Every file is taken as hostile: each length is checked against what holds
// it and against the file's size in 64-bit arithmetic, nothing recurses, and
// all reads draw on one budget (kMaxCoverBytesRead), so a file that lies about
// its sizes ends the search early and never makes it read or allocate more.
// What was read whole before the damage still counts. Running out of memory,
// the one thing that can throw, gives no cover.
#include "monitor/embedded_cover.h"

#include <cstring>
#include <new>

#include "common/ascii_case.h"

namespace {

// Bytes fetched per refill of a cursor's buffer: a frame, block or page
// header and usually what follows it.
constexpr size_t kChunkBytes = 4096;
// The MIME type, description and numbers before a picture's own bytes. A
// description is a few words; a picture behind a longer one is not read.
constexpr size_t kMaxPictureHeaderBytes = 4096;
constexpr size_t kMaxPictureBlockBytes = kMaxCoverBytes + kMaxPictureHeaderBytes;
// An ID3v2.4 frame holds its picture unsynchronised: room for the zero byte
// put after some of the picture's 0xFF bytes.
constexpr size_t kMaxPictureFrameBytes = kMaxPictureBlockBytes + kMaxPictureBlockBytes / 8;
// A picture block as base64 in an Ogg comment: four characters for three bytes.
constexpr uint32_t kMaxBase64Bytes = (kMaxPictureBlockBytes + 2) / 3 * 4;
// The picture type of ID3 and FLAC that marks the front cover.
constexpr uint32_t kFrontCover = 3;
// FLAC's metadata block type of a picture.
constexpr unsigned kFlacPictureBlock = 6;
const char kOggPictureField[] = "METADATA_BLOCK_PICTURE=";

uint32_t BigEndian(const unsigned char* bytes, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

uint32_t LittleEndian32(const unsigned char* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
}

// ID3v2.4's sizes keep seven bits a byte, so a tag never holds a false MPEG
// frame sync; a byte with its top bit set is damage.
bool Syncsafe(const unsigned char* bytes, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (bytes[i] & 0x80)
            return false;
        value = value << 7 | bytes[i];
    }
    return true;
}

// The file, and what is left of the search's reading budget.
class Input {
public:
    explicit Input(CoverSource& file) : file_(file), size_(file.Size()) {}
    uint64_t Size() const { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count)
    {
        if (count > left_ || offset > size_ || count > size_ - offset)
            return false;
        left_ -= count;
        return file_.ReadAt(offset, buffer, count);
    }

private:
    CoverSource& file_;
    const uint64_t size_;
    uint64_t left_ = kMaxCoverBytesRead;
};

// Reads forward through [begin, end) of the file, `end` cut at the file's
// size. A skip or a seek reads nothing.
class Cursor {
public:
    Cursor(Input& in, uint64_t begin, uint64_t end)
        : in_(in), at_(begin), end_(end < in.Size() ? end : in.Size())
    {
    }
    uint64_t At() const { return at_; }
    uint64_t Left() const { return at_ < end_ ? end_ - at_ : 0; }
    bool Skip(uint64_t count) { return count <= Left() && Seek(at_ + count); }
    bool Seek(uint64_t at)
    {
        at_ = at;
        return at <= end_;
    }
    bool Read(void* out, size_t count);

private:
    Input& in_;
    uint64_t at_;
    const uint64_t end_;
    uint64_t bufferAt_ = 0;
    size_t buffered_ = 0;
    unsigned char buffer_[kChunkBytes];
};

bool Cursor::Read(void* out, size_t count)
{
    if (count > Left())
        return false;
    unsigned char* to = static_cast<unsigned char*>(out);
    while (count > 0) {
        if (at_ < bufferAt_ || at_ - bufferAt_ >= buffered_) {
            if (count >= kChunkBytes) {
                // A picture goes straight to its place.
                at_ += count;
                return in_.ReadAt(at_ - count, to, count);
            }
            buffered_ = Left() < kChunkBytes ? static_cast<size_t>(Left()) : kChunkBytes;
            bufferAt_ = at_;
            if (!in_.ReadAt(at_, buffer_, buffered_)) {
                buffered_ = 0;
                return false;
            }
        }
        const size_t offset = static_cast<size_t>(at_ - bufferAt_);
        const size_t take = buffered_ - offset < count ? buffered_ - offset : count;
        std::memcpy(to, buffer_ + offset, take);
        to += take;
        at_ += take;
        count -= take;
    }
    return true;
}

// Only what a streaming program can show: JPEG and PNG, told by their own
// first bytes rather than by the MIME type a tag claims.
bool IsImage(const std::string& bytes)
{
    static const char kJpeg[] = "\xFF\xD8\xFF";
    static const char kPng[] = "\x89PNG\r\n\x1A\n";
    return bytes.size() <= kMaxCoverBytes &&
           (bytes.compare(0, 3, kJpeg, 3) == 0 || bytes.compare(0, 8, kPng, 8) == 0);
}

// The first picture, until a front cover takes its place. Each reader
// reads a picture into Candidate(); one taken is swapped in, so the buffer
// of the one it replaces is reused for the next.
class Pictures {
public:
    explicit Pictures(std::string& picture) : picture_(picture) {}
    bool Any() const { return any_; }
    std::string& Candidate() { return candidate_; }
    // True once a front cover is had: the search ends there.
    bool Offer(bool front)
    {
        if (!IsImage(candidate_) || (any_ && !front))
            return false;
        picture_.swap(candidate_);
        any_ = true;
        return front;
    }
    bool OfferFlacBlock();

private:
    std::string& picture_;
    std::string candidate_;
    bool any_ = false;
};

// A FLAC picture block (FLAC's own, or base64 in an Ogg comment): the type;
// the MIME type and the description, each after its length; width, height,
// depth and colours; the picture after its length. Cut to the picture in place.
bool Pictures::OfferFlacBlock()
{
    std::string& block = candidate_;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(block.data());
    const size_t size = block.size();
    size_t at = 4;
    for (int text = 0; text < 2; ++text) {
        if (at > size || size - at < 4)
            return false;
        const uint32_t length = BigEndian(bytes + at, 4);
        at += 4;
        if (length > size - at)
            return false;
        at += length;
    }
    if (size - at < 20)
        return false;
    const uint32_t length = BigEndian(bytes + at + 16, 4);
    at += 20;
    if (length > size - at)
        return false;
    const bool front = BigEndian(bytes, 4) == kFrontCover;
    block.resize(at + length);
    block.erase(0, at);
    return Offer(front);
}

// An ID3v2 tag's bytes: up to 2.3 the whole tag after its header may be
// unsynchronised (a zero byte put after every 0xFF that could pass for an
// MPEG frame sync), and each such zero is dropped here.
class TagBytes {
public:
    TagBytes(Cursor& cursor, bool unsynchronised) : cursor_(cursor), unsync_(unsynchronised) {}
    bool Read(void* out, size_t count);
    bool Skip(uint64_t count);

private:
    Cursor& cursor_;
    const bool unsync_;
    bool afterFF_ = false;
};

bool TagBytes::Read(void* out, size_t count)
{
    if (!unsync_)
        return cursor_.Read(out, count);
    unsigned char* to = static_cast<unsigned char*>(out);
    for (size_t i = 0; i < count; ++i) {
        if (!cursor_.Read(&to[i], 1) || (afterFF_ && to[i] == 0 && !cursor_.Read(&to[i], 1)))
            return false;
        afterFF_ = to[i] == 0xFF;
    }
    return true;
}

bool TagBytes::Skip(uint64_t count)
{
    if (!unsync_)
        return cursor_.Skip(count);
    // The frame sizes count bytes after the zeros are dropped: each is read.
    unsigned char scratch[256];
    for (; count > sizeof scratch; count -= sizeof scratch) {
        if (!Read(scratch, sizeof scratch))
            return false;
    }
    return Read(scratch, static_cast<size_t>(count));
}

// ID3v2.4 unsynchronises frame by frame, in the frame's data only.
void Resynchronise(std::string& bytes)
{
    size_t to = 0;
    for (size_t from = 0; from < bytes.size(); ++from) {
        bytes[to++] = bytes[from];
        if (static_cast<unsigned char>(bytes[from]) == 0xFF && from + 1 < bytes.size() &&
            bytes[from + 1] == 0)
            ++from;
    }
    bytes.resize(to);
}

bool IsFrameId(const unsigned char* id, int length)
{
    for (int i = 0; i < length; ++i) {
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9')))
            return false;
    }
    return true;
}

// An ID3 picture frame: the text encoding; the image format (three letters
// in 2.2, a MIME type ending in a zero byte later); the picture type; the
// description, ending in a zero as wide as the encoding's units; the picture.
bool OfferId3Picture(Pictures& pictures, int major)
{
    std::string& body = pictures.Candidate();
    const size_t size = body.size();
    const unsigned char encoding = static_cast<unsigned char>(body[0]);
    if (size < 5 || encoding > 3)
        return false;
    size_t at = major == 2 ? 4 : body.find('\0', 1) + 1;
    if (at == 0 || at >= size)
        return false;
    const bool front = static_cast<unsigned char>(body[at++]) == kFrontCover;
    // UTF-16 (encodings 1 and 2) ends in two zero bytes at an even distance
    // from the description's start.
    const size_t width = encoding == 1 || encoding == 2 ? 2 : 1;
    for (; size - at >= width; at += width) {
        if (body[at] == 0 && body[at + width - 1] == 0) {
            body.erase(0, at + width);
            return pictures.Offer(front);
        }
    }
    return false;
}

// Past an extended header: 2.3 gives its size without the size's own four
// bytes, 2.4 with them and syncsafe.
bool SkipExtendedHeader(TagBytes& tag, int major)
{
    unsigned char bytes[4];
    uint32_t size = 0;
    if (!tag.Read(bytes, 4))
        return false;
    if (major == 3)
        return tag.Skip(BigEndian(bytes, 4));
    return Syncsafe(bytes, size) && size >= 6 && tag.Skip(size - 4);
}

// The frames of the ID3v2 tag at the file's start; `tagEnd` is where the
// tag ends (a FLAC stream may follow). True once a front cover is had.
bool ReadId3(Input& in, Pictures& pictures, uint64_t& tagEnd)
{
    unsigned char header[10];
    uint32_t size = 0;
    if (!in.ReadAt(0, header, sizeof header) || header[3] < 2 || header[3] > 4 ||
        !Syncsafe(header + 6, size))
        return false;
    const int major = header[3];
    const unsigned flags = header[5];
    tagEnd = 10 + uint64_t(size) + (major == 4 && (flags & 0x10) ? 10 : 0);
    // 2.2 named a compression it never defined: such a tag cannot be read.
    if (major == 2 && (flags & 0x40))
        return false;
    const bool tagUnsync = (flags & 0x80) != 0;
    Cursor cursor(in, 10, 10 + uint64_t(size));
    TagBytes tag(cursor, tagUnsync && major < 4);
    if (major > 2 && (flags & 0x40) && !SkipExtendedHeader(tag, major))
        return false;
    // Frame flags that hide the data (2.3: compressed, encrypted; 2.4 the
    // same), and those that put bytes before it (a group; 2.4's data length).
    const unsigned hidden = major == 3 ? 0xC0 : 0x0C;
    const unsigned grouped = major == 3 ? 0x20 : 0x40;
    const int idLength = major == 2 ? 3 : 4;
    unsigned char frame[10];
    std::string& body = pictures.Candidate();
    while (tag.Read(frame, idLength == 3 ? 6 : 10) && IsFrameId(frame, idLength)) {
        uint32_t length = BigEndian(frame + 3, 3);
        const unsigned frameFlags = major == 2 ? 0 : frame[9];
        if (major == 3)
            length = BigEndian(frame + 4, 4);
        else if (major == 4 && !Syncsafe(frame + 4, length))
            return false;
        if (std::memcmp(frame, major == 2 ? "PIC" : "APIC", idLength) != 0 ||
            (frameFlags & hidden) || length > kMaxPictureFrameBytes) {
            if (!tag.Skip(length))
                return false;
            continue;
        }
        body.resize(length);
        if (!tag.Read(&body[0], length))
            return false;
        const bool hasDataLength = major == 4 && (frameFlags & 0x01);
        const size_t extra = ((frameFlags & grouped) ? 1 : 0) + (hasDataLength ? 4 : 0);
        uint32_t dataLength = 0;
        if (extra > length || (hasDataLength && !Syncsafe(reinterpret_cast<const unsigned char*>(
                                                              body.data() + extra - 4),
                                                          dataLength)))
            continue;
        body.erase(0, extra);
        if (major == 4 && ((frameFlags & 0x02) || tagUnsync))
            Resynchronise(body);
        // The data length is the frame's size once its own unsynchronisation
        // is undone: a frame cut short does not match it.
        if (hasDataLength && dataLength != body.size())
            continue;
        if (OfferId3Picture(pictures, major))
            return true;
    }
    return false;
}

// FLAC's metadata blocks from `at`: each header holds the last block's flag,
// the type and a 24-bit length.
void ReadFlac(Input& in, uint64_t at, Pictures& pictures)
{
    Cursor cursor(in, at, in.Size());
    unsigned char header[4];
    std::string& block = pictures.Candidate();
    for (bool last = false; !last && cursor.Read(header, sizeof header);) {
        last = (header[0] & 0x80) != 0;
        const uint32_t length = BigEndian(header + 1, 3);
        if ((header[0] & 0x7F) != kFlacPictureBlock || length > kMaxPictureBlockBytes) {
            if (!cursor.Skip(length))
                return;
            continue;
        }
        block.resize(length);
        if (!cursor.Read(&block[0], length) || pictures.OfferFlacBlock())
            return;
    }
}

// An MP4 atom spans [start, end) and its children or data begin at `body`.
struct Atom {
    char type[4];
    uint64_t body;
    uint64_t end;
};

// The atom at the cursor, inside [cursor, end). Its size counts its header:
// 1 means a 64-bit size follows the type, and 0, at the top level only, that
// the atom runs to the end of the file.
bool NextAtom(Cursor& cursor, uint64_t end, bool topLevel, Atom& atom)
{
    const uint64_t start = cursor.At();
    unsigned char header[16];
    if (start > end || end - start < 8 || !cursor.Read(header, 8))
        return false;
    uint64_t size = BigEndian(header, 4);
    if (size == 1) {
        if (!cursor.Read(header + 8, 8))
            return false;
        size = uint64_t(BigEndian(header + 8, 4)) << 32 | BigEndian(header + 12, 4);
    } else if (size == 0 && topLevel) {
        size = end - start;
    }
    if (size < cursor.At() - start || size > end - start)
        return false;
    std::memcpy(atom.type, header + 4, 4);
    atom.body = cursor.At();
    atom.end = start + size;
    return true;
}

// The first atom of `type` from the cursor to `end`, the cursor at its body.
bool FindAtom(Cursor& cursor, uint64_t end, const char* type, Atom& atom, bool topLevel = false)
{
    while (NextAtom(cursor, end, topLevel, atom)) {
        if (std::memcmp(atom.type, type, 4) == 0)
            return true;
        cursor.Seek(atom.end);
    }
    return false;
}

// moov/udta/meta/ilst/covr, wherever moov stands among the top-level atoms
// (after the audio when the file was written in one pass). covr holds data
// atoms, each a type and a locale before the picture; MP4 has no picture
// types, and the first picture is taken as the front cover.
void ReadMp4(Input& in, Pictures& pictures)
{
    static const char kPath[] = "moovudtametailstcovr";
    Cursor cursor(in, 0, in.Size());
    Atom atom = {{}, 0, in.Size()};
    for (int level = 0; level < 5; ++level) {
        if (!FindAtom(cursor, atom.end, kPath + 4 * level, atom, level == 0))
            return;
        // meta is a full box in MP4 (a version and flags before its
        // children); older QuickTime files write it plain, and hdlr then
        // comes at once.
        unsigned char meta[8];
        if (level == 2 && (atom.end - atom.body < sizeof meta || !cursor.Read(meta, sizeof meta) ||
                           !cursor.Seek(atom.body + (std::memcmp(meta + 4, "hdlr", 4) ? 4 : 0))))
            return;
    }
    const uint64_t covrEnd = atom.end;
    std::string& data = pictures.Candidate();
    while (FindAtom(cursor, covrEnd, "data", atom)) {
        const uint64_t length = atom.end - atom.body;
        if (length >= 8 && length - 8 <= kMaxCoverBytes) {
            data.resize(static_cast<size_t>(length - 8));
            if (!cursor.Skip(8) || !cursor.Read(&data[0], data.size()) || pictures.Offer(true))
                return;
        }
        cursor.Seek(atom.end);
    }
}

// The packets of the first logical stream of an Ogg file, across its pages.
// A page lists up to 255 segments of up to 255 bytes; a segment shorter than
// 255 ends a packet, and a packet may run on through any number of pages,
// each of which then says it continues one. Pages of other streams are passed.
class OggPackets {
public:
    explicit OggPackets(Input& in) : cursor_(in, 0, in.Size()) {}
    // Starts the first packet.
    bool Start() { return NextSegment(false); }
    bool Read(void* out, size_t count) { return Take(static_cast<unsigned char*>(out), count); }
    bool Skip(uint64_t count) { return Take(nullptr, count); }
    // Past the rest of this packet to the start of the next.
    bool NextPacket();

private:
    bool Take(unsigned char* to, uint64_t count);
    bool NextSegment(bool continued);
    bool NextPage(bool continued);

    Cursor cursor_;
    bool first_ = true;
    uint32_t serial_ = 0;
    unsigned char lacing_[255];
    unsigned segments_ = 0;
    unsigned next_ = 0;
    uint32_t left_ = 0;  // bytes left of the segment being read
    bool ends_ = true;   // that segment ends its packet
};

bool OggPackets::NextPage(bool continued)
{
    unsigned char header[27];
    for (;;) {
        if (!cursor_.Read(header, sizeof header) || std::memcmp(header, "OggS", 4) != 0 ||
            header[4] != 0)
            return false;
        segments_ = header[26];
        if (!cursor_.Read(lacing_, segments_))
            return false;
        const uint32_t serial = LittleEndian32(header + 14);
        if (first_) {
            // The first page begins a stream.
            if (!(header[5] & 0x02))
                return false;
            first_ = false;
            serial_ = serial;
        }
        if (serial == serial_) {
            next_ = 0;
            return segments_ > 0 && ((header[5] & 0x01) != 0) == continued;
        }
        uint64_t payload = 0;
        for (unsigned i = 0; i < segments_; ++i)
            payload += lacing_[i];
        if (!cursor_.Skip(payload))
            return false;
    }
}

bool OggPackets::NextSegment(bool continued)
{
    if (next_ == segments_ && !NextPage(continued))
        return false;
    left_ = lacing_[next_++];
    ends_ = left_ < 255;
    return true;
}

bool OggPackets::Take(unsigned char* to, uint64_t count)
{
    while (count > 0) {
        if (left_ == 0) {
            if (ends_ || !NextSegment(true))
                return false;
            continue;
        }
        const uint32_t take = count < left_ ? static_cast<uint32_t>(count) : left_;
        if (to != nullptr ? !cursor_.Read(to, take) : !cursor_.Skip(take))
            return false;
        if (to != nullptr)
            to += take;
        left_ -= take;
        count -= take;
    }
    return true;
}

bool OggPackets::NextPacket()
{
    for (;;) {
        if (!cursor_.Skip(left_))
            return false;
        left_ = 0;
        if (ends_)
            return NextSegment(false);
        if (!NextSegment(true))
            return false;
    }
}

int Base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// `length` bytes of base64 from the packet into `out`, decoded in place;
// `out` is left empty when they are not base64. False when they cannot be
// read.
bool ReadBase64(OggPackets& packets, uint32_t length, std::string& out)
{
    out.resize(length);
    if (!packets.Read(&out[0], length))
        return false;
    // Up to two '=' pad the last group.
    size_t end = length;
    while (end > 0 && length - end < 2 && out[end - 1] == '=')
        --end;
    size_t to = 0;
    uint32_t bits = 0;
    for (size_t from = 0; from < end; ++from) {
        const int value = Base64Value(static_cast<unsigned char>(out[from]));
        if (value < 0 || (end - from == 1 && from % 4 == 0)) {
            out.clear();
            return true;
        }
        bits = bits << 6 | static_cast<uint32_t>(value);
        // Each character after the first of a group of four completes a byte.
        if (from % 4 != 0)
            out[to++] = static_cast<char>(bits >> (6 - 2 * (from % 4)));
    }
    out.resize(to);
    return true;
}

// The first packet names the codec and the second holds the comments:
// Vorbis marks them with a packet type and "vorbis", Opus with "OpusHead"
// and "OpusTags". Then a vendor text and the comments, each after its
// little-endian length; a picture is METADATA_BLOCK_PICTURE=, in any case.
void ReadOgg(Input& in, Pictures& pictures)
{
    OggPackets packets(in);
    unsigned char magic[8];
    if (!packets.Start() || !packets.Read(magic, 8) || !packets.NextPacket())
        return;
    const bool vorbis = std::memcmp(magic, "\x01vorbis", 7) == 0;
    if (!vorbis && std::memcmp(magic, "OpusHead", 8) != 0)
        return;
    const size_t magicLength = vorbis ? 7 : 8;
    unsigned char number[4];
    if (!packets.Read(magic, magicLength) ||
        std::memcmp(magic, vorbis ? "\x03vorbis" : "OpusTags", magicLength) != 0 ||
        !packets.Read(number, 4) || !packets.Skip(LittleEndian32(number)) ||
        !packets.Read(number, 4))
        return;
    char name[sizeof kOggPictureField] = {};
    const size_t nameLength = sizeof name - 1;
    for (uint32_t comments = LittleEndian32(number); comments > 0; --comments) {
        if (!packets.Read(number, 4))
            return;
        uint32_t length = LittleEndian32(number);
        if (length >= nameLength) {
            if (!packets.Read(name, nameLength))
                return;
            length -= nameLength;
            if (EqualsIgnoringAsciiCase(name, kOggPictureField) && length <= kMaxBase64Bytes) {
                if (!ReadBase64(packets, length, pictures.Candidate()) ||
                    pictures.OfferFlacBlock())
                    return;
                continue;
            }
        }
        if (!packets.Skip(length))
            return;
    }
}

}  // namespace

bool FindEmbeddedCover(CoverSource& file, std::string& picture)
{
    picture.clear();
    try {
        Input in(file);
        Pictures pictures(picture);
        unsigned char head[8];
        if (in.ReadAt(0, head, sizeof head)) {
            uint64_t tagEnd = 0;
            if (std::memcmp(head, "ID3", 3) == 0) {
                // Some FLAC files carry an ID3 tag before their own stream.
                if (!ReadId3(in, pictures, tagEnd) && !pictures.Any() &&
                    in.ReadAt(tagEnd, head, 4) && std::memcmp(head, "fLaC", 4) == 0)
                    ReadFlac(in, tagEnd + 4, pictures);
            } else if (std::memcmp(head, "fLaC", 4) == 0) {
                ReadFlac(in, 4, pictures);
            } else if (std::memcmp(head, "OggS", 4) == 0) {
                ReadOgg(in, pictures);
            } else if (std::memcmp(head + 4, "ftyp", 4) == 0) {
                ReadMp4(in, pictures);
            }
        }
        if (pictures.Any())
            return true;
    } catch (const std::bad_alloc&) {
    }
    picture.clear();
    return false;
}
