// Where the per-user settings file lies. The application-data folder comes
// from SHGetFolderPathA, which Windows XP's shell already has; a path that
// would not fit is given up rather than cut, since a cut path names another
// file.
#include "config/user_settings_file.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "common/bounded_copy.h"
#include "config/module_paths.h"
#include "config/settings_lock.h"

namespace {

// The folder and file under the application-data folder.
const char kUserFolder[] = "\\Tunewire";
const char kUserFile[] = "\\Tunewire\\plugin.ini";

char g_userSettingsFilePath[kPathSize];

// The application-data folder followed by `relativeName` into `buffer`;
// false, with the buffer empty, when there is no such folder or no room.
bool BuildUserPath(char* buffer, const char* relativeName)
{
    buffer[0] = '\0';
    char folder[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK ||
        folder[0] == '\0')
        return false;
    if (std::strlen(folder) + std::strlen(relativeName) >= static_cast<size_t>(kPathSize))
        return false;
    CopyBounded(buffer, folder, buffer + kPathSize - 1);
    AppendBounded(buffer, relativeName, buffer + kPathSize - 1);
    return true;
}

}  // namespace

const char* GetUserSettingsFilePath()
{
    SettingsLock lock;
    BuildUserPath(g_userSettingsFilePath, kUserFile);
    return g_userSettingsFilePath;
}

bool CreateUserSettingsFolder()
{
    char folder[kPathSize];
    if (!BuildUserPath(folder, kUserFolder))
        return false;
    return CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
