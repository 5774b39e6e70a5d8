// The file is written through a temporary file beside it, then moved over it
// with MOVEFILE_REPLACE_EXISTING: a reader that opens the file at any moment
// finds the old bytes or the new ones, whole. A reader that opens the file now
// and then makes the move fail for a moment, so the move is tried again
// briefly. A reader that keeps the file open (any share mode) makes it fail
// for as long as it holds it: the bytes are then written into the file in
// place, which a reader that shares writing sees at once (and may catch half
// rewritten); one that shares nothing refuses that too, and the caller decides
// whether to try again later.
#include "common/replace_file.h"

#include "common/unique_handle.h"

namespace {

const wchar_t kTemporarySuffix[] = L".tunewire-new";
static_assert(sizeof kTemporarySuffix / sizeof kTemporarySuffix[0] == kReplaceSuffixLength + 1,
              "callers leave room for the suffix");
// How often, and how far apart, a move refused by a reader that holds the
// file is tried: a reader holds it for the few milliseconds a read takes, and
// the monitor's turn must not wait much longer than that.
constexpr int kMoveAttempts = 20;
constexpr DWORD kMoveRetryMs = 10;

DWORD WriteBytes(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : ERROR_WRITE_FAULT;
}

DWORD WriteNew(const wchar_t* path, const std::string& bytes)
{
    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        file.Release();
        return error;
    }
    return WriteBytes(file.Get(), bytes);
}

// The bytes over the file's old ones, then the file cut to their length.
DWORD WriteInPlace(const wchar_t* path, const std::string& bytes)
{
    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        file.Release();
        return error;
    }
    const DWORD error = WriteBytes(file.Get(), bytes);
    if (error != 0)
        return error;
    return SetEndOfFile(file.Get()) ? 0 : GetLastError();
}

// A move over a file that a reader holds fails with ERROR_ACCESS_DENIED too,
// in any share mode: here that error is a reader's until the write in place
// says otherwise.
bool MoveRefusedByReader(DWORD error)
{
    return IsHeldByReader(error) || error == ERROR_ACCESS_DENIED;
}

DWORD MoveOver(const wchar_t* from, const wchar_t* to)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING))
            return 0;
        error = GetLastError();
        if (!MoveRefusedByReader(error))
            break;
        Sleep(kMoveRetryMs);
    }
    DeleteFileW(from);
    return error;
}

}  // namespace

bool IsHeldByReader(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

DWORD ReplaceFileBytes(const wchar_t* path, const std::string& bytes)
{
    // A path with no room for the temporary's name beside it (the platform
    // takes paths of fewer than MAX_PATH units) is written in place.
    if (lstrlenW(path) + kReplaceSuffixLength >= MAX_PATH)
        return WriteInPlace(path, bytes);
    wchar_t temporary[MAX_PATH];
    lstrcpyW(temporary, path);
    lstrcatW(temporary, kTemporarySuffix);
    DWORD error = WriteNew(temporary, bytes);
    if (error != 0) {
        DeleteFileW(temporary);
        return error;
    }
    error = MoveOver(temporary, path);
    if (MoveRefusedByReader(error))
        return WriteInPlace(path, bytes);
    return error;
}
