// Reads at an offset given with each read (an OVERLAPPED on a synchronous
// handle), so the reader's seeks cost nothing and the handle keeps no file
// pointer between reads. The player has the file open while it plays: the
// share mode lets it read, write, rename or delete the file meanwhile.
#include "monitor/cover_file_source.h"

#include <windows.h>

#include <cwchar>

#include "common/unique_handle.h"
#include "monitor/embedded_cover.h"

namespace {

class FileSource : public CoverSource {
public:
    FileSource(HANDLE file, uint64_t size) : file_(file), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override
    {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        return count <= MAXDWORD &&
               ReadFile(file_, buffer, static_cast<DWORD>(count), &read, &at) && read == count;
    }

private:
    HANDLE file_;
    uint64_t size_;
};

}  // namespace

bool FindEmbeddedCoverInFile(const wchar_t* mediaFile, std::string& picture)
{
    picture.clear();
    if (std::wcsstr(mediaFile, L"://") != nullptr)
        return false;
    UniqueHandle file(CreateFileW(mediaFile, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        file.Release();
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return false;
    FileSource source(file.Get(), static_cast<uint64_t>(size.QuadPart));
    return FindEmbeddedCover(source, picture);
}
