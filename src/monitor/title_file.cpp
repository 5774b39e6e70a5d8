// The title file is replaced whole (common/replace_file.h), so a streaming
// program never reads an empty or partial title; only while a reader holds it
// open is it rewritten in place.
#include "monitor/title_file.h"

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
    return ReplaceFileBytes(full, utf8Title);
}
