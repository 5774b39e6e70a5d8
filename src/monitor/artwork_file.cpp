// The names are tried in a fixed order with GetFileAttributesW, which
// compares names without regard to letter case: twelve lookups, whatever the
// size of the folder. A URL (a stream, or a file the player reads from the
// network) has no folder to look in.
#include "monitor/artwork_file.h"

#include <cwchar>

#include "common/unique_handle.h"
#include "config/module_paths.h"
#include "monitor/cover_file_source.h"
#include "monitor/title_file.h"

namespace {

// A folder image is a few hundred kilobytes; a larger file is a poster or a
// scan, not worth the copy on every track.
constexpr DWORD kMaxArtworkBytes = 4 * 1024 * 1024;

const wchar_t* const kNames[] = {L"cover", L"folder", L"front", L"album"};
const wchar_t* const kExtensions[] = {L".jpg", L".jpeg", L".png"};

bool IsFile(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The whole file into `bytes`; false when it cannot be read or is too large.
bool ReadImage(const wchar_t* source, std::string& bytes)
{
    UniqueHandle file(CreateFileW(source, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        file.Release();
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxArtworkBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()),
                                      &read, nullptr) &&
                             read == bytes.size());
}

}  // namespace

bool FindFolderArt(const wchar_t* mediaFile, wchar_t* found)
{
    found[0] = L'\0';
    if (std::wcsstr(mediaFile, L"://") != nullptr || std::wcschr(mediaFile, L'\\') == nullptr)
        return false;
    // The folder with its backslash.
    const int folderLength = static_cast<int>(std::wcsrchr(mediaFile, L'\\') - mediaFile) + 1;
    for (const wchar_t* name : kNames) {
        for (const wchar_t* extension : kExtensions) {
            if (folderLength + lstrlenW(name) + lstrlenW(extension) >= kPathSize)
                return false;
            lstrcpynW(found, mediaFile, folderLength + 1);
            lstrcatW(found, name);
            lstrcatW(found, extension);
            if (IsFile(found))
                return true;
        }
    }
    found[0] = L'\0';
    return false;
}

std::string ArtworkStamp(const wchar_t* file)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(file, GetFileExInfoStandard, &data))
        return "";
    char stamp[64];
    wsprintfA(stamp, "%lu-%08lX%08lX", data.nFileSizeLow, data.ftLastWriteTime.dwHighDateTime,
              data.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

DWORD KeepArtworkFile(const wchar_t* path, const wchar_t* baseFolder, const wchar_t* source,
                      bool embedded, wchar_t* written, bool& copied, std::string& stamp)
{
    copied = false;
    lstrcpynW(written, path, kPathSize);
    DWORD error = OutputFilePath(path, baseFolder, written);
    if (error != 0)
        return error;
    const std::string there = ArtworkStamp(written);
    if (!there.empty() && there != stamp)
        return kArtworkNotOurs;
    std::string bytes;
    if (source[0] != L'\0' &&
        (embedded ? FindEmbeddedCoverInFile(source, bytes) : ReadImage(source, bytes))) {
        error = WriteTitleFile(path, baseFolder, bytes, written);
        copied = error == 0;
        if (copied)
            stamp = ArtworkStamp(written);
        return error;
    }
    if (!there.empty() && !DeleteFileW(written))
        return GetLastError();
    stamp.clear();
    return 0;
}
