// Loading and storing the two settings through the platform's private-profile
// functions, which leave every other section and key of the file untouched.
// No caching: every load reads the file again.
#include "config/settings.h"

#include <windows.h>

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "config/module_paths.h"
#include "config/settings_lock.h"
#include "plugin/plugin.h"

char g_serverName[kSettingSize];
char g_formHandler[kSettingSize];

const char kDefaultServerName[] = "www.example.com";
const char kDefaultFormHandler[] = "/MyFormHandler.php?track=";

void ReadSettings()
{
    SettingsLock lock;
    const char* file = GetSettingsFilePath();
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

void WriteSettings()
{
    SettingsLock lock;
    const char* file = GetSettingsFilePath();
    if (file[0] == '\0')
        return;
    WritePrivateProfileStringA(kProductName, "ServerName", g_serverName, file);
    WritePrivateProfileStringA(kProductName, "FormHandler", g_formHandler, file);
}

char* GetServerName()
{
    return g_serverName;
}

char* GetFormHandler()
{
    return g_formHandler;
}
