// Where the per-user settings file lies. The application-data folder comes
// from SHGetFolderPathW, which Windows XP's shell already has (the ANSI form
// gives '?' for letters outside the code page); a path that
// would not fit is given up rather than cut, since a cut path names another
// file.
#include "config/user_settings_file.h"

#include <windows.h>
#include <shlobj.h>

#include "config/module_paths.h"
#include "config/settings_lock.h"

namespace {

// The folder and file under the application-data folder.
const wchar_t kUserFolder[] = L"\\Tunewire";
const wchar_t kUserFile[] = L"\\Tunewire\\plugin.ini";

wchar_t g_userSettingsFilePath[kPathSize];

// The application-data folder followed by `relativeName` into `buffer`;
// false, with the buffer empty, when there is no such folder or no room.
bool BuildUserPath(wchar_t* buffer, const wchar_t* relativeName)
{
    buffer[0] = L'\0';
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK ||
        folder[0] == L'\0')
        return false;
    if (lstrlenW(folder) + lstrlenW(relativeName) >= kPathSize)
        return false;
    lstrcpyW(buffer, folder);
    lstrcatW(buffer, relativeName);
    return true;
}

}  // namespace

const wchar_t* GetUserSettingsFilePath()
{
    SettingsLock lock;
    BuildUserPath(g_userSettingsFilePath, kUserFile);
    return g_userSettingsFilePath;
}

bool CreateUserSettingsFolder()
{
    wchar_t folder[kPathSize];
    if (!BuildUserPath(folder, kUserFolder))
        return false;
    return CreateDirectoryW(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
