// The file is written through a temporary file beside it, then moved over it
// with MOVEFILE_REPLACE_EXISTING: a reader that opens the file at any moment
// finds the old title or the new one, whole, never an empty or partial file.
// A reader that opens the file now and then makes the move fail for a moment,
// so the move is tried again briefly. A reader that keeps the file open (any
// share mode) makes it fail for as long as it holds it: the title is then
// written into the file in place, which a reader that shares writing sees at
// once (and may catch half rewritten); one that shares nothing refuses that
// too, and the caller tries again at a later turn. Paths are wide throughout.
#include "monitor/title_file.h"

#include "common/unique_handle.h"
#include "config/module_paths.h"

namespace {

const wchar_t kTemporarySuffix[] = L".tunewire-new";
// How often, and how far apart, a move refused by a reader that holds the
// file is tried: a reader holds it for the few milliseconds a read takes, and
// the monitor's turn must not wait much longer than that.
constexpr int kMoveAttempts = 20;
constexpr DWORD kMoveRetryMs = 10;

bool IsRelative(const wchar_t* path)
{
    return path[0] != L'\\' && !(path[0] != L'\0' && path[1] == L':');
}

}  // namespace

// The expanded path, taken in `baseFolder` when relative; room is left for
// the temporary file's suffix.
DWORD OutputFilePath(const wchar_t* path, const wchar_t* baseFolder, wchar_t* full)
{
    wchar_t expanded[kPathSize];
    const DWORD length = ExpandEnvironmentStringsW(path, expanded, kPathSize);
    if (length == 0 || length > static_cast<DWORD>(kPathSize))
        return ERROR_FILENAME_EXCED_RANGE;
    full[0] = L'\0';
    if (IsRelative(expanded))
        lstrcpynW(full, baseFolder, kPathSize);
    if (lstrlenW(full) + lstrlenW(expanded) + lstrlenW(kTemporarySuffix) >= kPathSize)
        return ERROR_FILENAME_EXCED_RANGE;
    lstrcatW(full, expanded);
    return 0;
}

namespace {

// Makes each missing folder of `path` in turn. Failures are left to the
// write that follows, which then reports the folder that is missing.
void CreateParentFolders(const wchar_t* path)
{
    wchar_t folder[kPathSize];
    for (int i = 1; path[i] != L'\0'; ++i) {
        if (path[i] != L'\\' || path[i - 1] == L':' || path[i - 1] == L'\\')
            continue;
        lstrcpynW(folder, path, i + 1);
        CreateDirectoryW(folder, nullptr);
    }
}

DWORD WriteBytes(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : ERROR_WRITE_FAULT;
}

DWORD WriteWhole(const wchar_t* path, const std::string& bytes)
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

// The title over the file's old bytes, then the file cut to its length.
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

bool IsHeldByReader(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

DWORD MoveOver(const wchar_t* from, const wchar_t* to)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING))
            return 0;
        error = GetLastError();
        if (!IsHeldByReader(error))
            break;
        Sleep(kMoveRetryMs);
    }
    DeleteFileW(from);
    return error;
}

}  // namespace

DWORD WriteTitleFile(const wchar_t* path, const wchar_t* baseFolder, const std::string& utf8Title,
                     wchar_t* written)
{
    lstrcpynW(written, path, kPathSize);
    wchar_t full[kPathSize];
    DWORD error = OutputFilePath(path, baseFolder, full);
    if (error != 0)
        return error;
    lstrcpyW(written, full);
    CreateParentFolders(full);
    wchar_t temporary[kPathSize];
    lstrcpyW(temporary, full);
    lstrcatW(temporary, kTemporarySuffix);
    error = WriteWhole(temporary, utf8Title);
    if (error != 0) {
        DeleteFileW(temporary);
        return error;
    }
    error = MoveOver(temporary, full);
    if (IsHeldByReader(error))
        return WriteInPlace(full, utf8Title);
    return error;
}
