// The title file is replaced whole (common/replace_file.h), so a streaming
// program never reads an empty or partial title; only while a reader holds it
// open is it rewritten in place.
#include "monitor/title_file.h"

#include <shlobj.h>

#include "common/replace_file.h"
#include "config/module_paths.h"

namespace {

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
    if (lstrlenW(full) + lstrlenW(expanded) + kReplaceSuffixLength >= kPathSize)
        return ERROR_FILENAME_EXCED_RANGE;
    lstrcatW(full, expanded);
    return 0;
}

DWORD WriteTitleFile(const wchar_t* path, const wchar_t* baseFolder, const std::string& utf8Title,
                     wchar_t* written)
{
    lstrcpynW(written, path, kPathSize);
    wchar_t full[kPathSize];
    DWORD error = OutputFilePath(path, baseFolder, full);
    if (error != 0)
        return error;
    lstrcpyW(written, full);
    // The folders on the way are made; a failure is left to the write, which
    // then reports the folder that is missing.
    wchar_t folder[kPathSize];
    lstrcpyW(folder, full);
    ReplaceWideFileName(folder, L"");
    SHCreateDirectoryExW(nullptr, folder, nullptr);
    return ReplaceFileBytes(full, utf8Title);
}
