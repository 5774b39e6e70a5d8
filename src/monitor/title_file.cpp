// The file is written through a temporary file beside it, then moved over it
// with MOVEFILE_REPLACE_EXISTING: a reader that opens the file at any moment
// finds the old title or the new one, whole, never an empty or partial file.
// A reader that has the file open can make the move fail with a sharing
// violation for a moment; the move is tried again briefly before giving up.
#include "monitor/title_file.h"

#include "common/unique_handle.h"

namespace {

const char kTemporarySuffix[] = ".tunewire-new";
// How often, and how far apart, a move refused by a reader that holds the
// file is tried: a reader holds it for the few milliseconds a read takes, and
// the monitor's turn must not wait much longer than that.
constexpr int kMoveAttempts = 20;
constexpr DWORD kMoveRetryMs = 10;

std::string Expanded(const std::string& path)
{
    char buffer[MAX_PATH * 4];
    const DWORD length = ExpandEnvironmentStringsA(path.c_str(), buffer, sizeof buffer);
    if (length == 0 || length > sizeof buffer)
        return path;
    return buffer;
}

DWORD WriteWhole(const std::string& path, const std::string& bytes)
{
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        file.Release();
        return error;
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : ERROR_WRITE_FAULT;
}

bool IsHeldByReader(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

DWORD MoveOver(const std::string& from, const std::string& to)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return 0;
        error = GetLastError();
        if (!IsHeldByReader(error))
            break;
        Sleep(kMoveRetryMs);
    }
    DeleteFileA(from.c_str());
    return error;
}

}  // namespace

DWORD WriteTitleFile(const std::string& path, const std::string& utf8Title,
                     std::string& expanded)
{
    expanded = Expanded(path);
    const std::string temporary = expanded + kTemporarySuffix;
    const DWORD error = WriteWhole(temporary, utf8Title);
    if (error != 0) {
        DeleteFileA(temporary.c_str());
        return error;
    }
    return MoveOver(temporary, expanded);
}
