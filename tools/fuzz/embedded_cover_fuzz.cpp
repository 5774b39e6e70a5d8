// libFuzzer's entry to the embedded cover reader: each input is a whole file.
// Beyond the sanitizers' own checks it holds the reader to its word: a cover
// is a JPEG or PNG within the cap, no cover leaves the picture empty, and no
// file is read past the budget. Built natively by scripts/fuzz-cover.sh; not
// part of the build or the tests.
#include <cstdlib>
#include <cstring>

#include "monitor/embedded_cover.h"

namespace {

class BytesSource : public CoverSource {
public:
    BytesSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override
    {
        read_ += count;
        if (offset > size_ || count > size_ - offset)
            return false;
        std::memcpy(buffer, data_ + offset, count);
        return true;
    }
    uint64_t BytesRead() const { return read_; }

private:
    const uint8_t* data_;
    size_t size_;
    uint64_t read_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BytesSource source(data, size);
    std::string picture;
    const bool found = FindEmbeddedCover(source, picture);
    const bool image = picture.compare(0, 3, "\xFF\xD8\xFF") == 0 ||
                       picture.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0;
    if (found != !picture.empty() || (found && (!image || picture.size() > kMaxCoverBytes)) ||
        source.BytesRead() > kMaxCoverBytesRead)
        std::abort();
    return 0;
}
