// Loading and storing the two settings through the platform's private-profile
// functions, which leave every other section and key of the file untouched.
// No caching: every load reads the file again, and looks again for the
// per-user file, which stays the settings' home once it holds their section.
#include "config/settings.h"

#include <windows.h>

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "config/module_paths.h"
#include "config/settings_lock.h"
#include "config/user_settings_file.h"
#include "plugin/plugin.h"

char g_serverName[kSettingSize];
char g_formHandler[kSettingSize];

// A name under .invalid, which is reserved never to resolve: until the user
// enters a server, no title goes anywhere, and the first post reports the
// unknown name and opens the dialog.
const char kDefaultServerName[] = "your-server.invalid";
const char kDefaultFormHandler[] = "/MyFormHandler.php?track=";

namespace {

// Room for the start of a list of key names; only whether there is one counts.
constexpr DWORD kKeyListSize = 16;
// Room for the section with both settings at their longest and the lines
// the user adds by hand; a section that does not fit is not copied, since a
// copy cut short would cut a value. On the stack: a static buffer would
// grow the DLL file by as much.
constexpr DWORD kSectionSize = 8192;

// Whether `file` holds the plugin's section with at least one key.
bool HoldsTheSection(const char* file)
{
    if (file[0] == '\0')
        return false;
    char keys[kKeyListSize];
    return GetPrivateProfileStringA(kProductName, nullptr, "", keys, kKeyListSize, file) > 0;
}

// Both keys into `file`; false when either could not be written.
bool StoreInto(const char* file)
{
    const bool server = WritePrivateProfileStringA(kProductName, "ServerName", g_serverName, file);
    const bool formHandler =
        WritePrivateProfileStringA(kProductName, "FormHandler", g_formHandler, file);
    return server && formHandler;
}

// The plugin's whole section of `from` into `to`, so keys the user added by
// hand (Charset) move along with the two settings.
void CopySection(const char* from, const char* to)
{
    char section[kSectionSize];
    const DWORD length = GetPrivateProfileSectionA(kProductName, section, kSectionSize, from);
    if (length > 0 && length < kSectionSize - 2)
        WritePrivateProfileSectionA(kProductName, section, to);
}

}  // namespace

const char* SettingsFileInUse()
{
    const char* userFile = GetUserSettingsFilePath();
    return HoldsTheSection(userFile) ? userFile : GetSettingsFilePath();
}

void ReadSettings()
{
    SettingsLock lock;
    const char* file = SettingsFileInUse();
    ReadCharsetSetting(file);
    // No path beside the module (module_paths.cpp): as if there were no file.
    if (file[0] == '\0') {
        CopyBounded(g_serverName, kDefaultServerName, g_serverName + kSettingSize - 1);
        CopyBounded(g_formHandler, kDefaultFormHandler, g_formHandler + kSettingSize - 1);
        return;
    }
    GetPrivateProfileStringA(kProductName, "ServerName", kDefaultServerName,
                             g_serverName, kSettingSize, file);
    GetPrivateProfileStringA(kProductName, "FormHandler", kDefaultFormHandler,
                             g_formHandler, kSettingSize, file);
}

// Settings already in the per-user file stay there, even when the folder
// beside the module has become writable: that file is what ReadSettings reads.
SettingsStore WriteSettings()
{
    SettingsLock lock;
    const char* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile))
        return StoreInto(userFile) ? SettingsStore::kUserFile : SettingsStore::kNotStored;
    const char* file = GetSettingsFilePath();
    if (file[0] == '\0')
        return SettingsStore::kNotStored;
    if (StoreInto(file))
        return SettingsStore::kBesideModule;
    if (userFile[0] == '\0' || !CreateUserSettingsFolder())
        return SettingsStore::kNotStored;
    CopySection(file, userFile);
    if (!StoreInto(userFile))
        return SettingsStore::kNotStored;
    return SettingsStore::kMovedToUserFile;
}

// The two keys are copied as the file beside the module holds them, never
// from the buffers: a Test may have left values there that the user did not
// store.
bool MoveSettingsToUserFile()
{
    SettingsLock lock;
    const char* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile))
        return true;
    if (userFile[0] == '\0' || !CreateUserSettingsFolder())
        return false;
    const char* file = GetSettingsFilePath();
    char server[kSettingSize];
    char formHandler[kSettingSize];
    GetPrivateProfileStringA(kProductName, "ServerName", kDefaultServerName, server,
                             kSettingSize, file);
    GetPrivateProfileStringA(kProductName, "FormHandler", kDefaultFormHandler, formHandler,
                             kSettingSize, file);
    CopySection(file, userFile);
    const bool stored =
        WritePrivateProfileStringA(kProductName, "ServerName", server, userFile) &&
        WritePrivateProfileStringA(kProductName, "FormHandler", formHandler, userFile);
    return stored && HoldsTheSection(userFile);
}

char* GetServerName()
{
    return g_serverName;
}

char* GetFormHandler()
{
    return g_formHandler;
}
