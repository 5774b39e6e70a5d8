// Loading and storing the two settings through the platform's private-profile
// functions, which leave every other section and key of the file untouched.
// No caching: every load reads the file again.
#include "config/settings.h"

#include <windows.h>

#include "config/charset_setting.h"
#include "plugin/plugin.h"

char g_serverName[kSettingSize];
char g_formHandler[kSettingSize];

const char kDefaultServerName[] = "www.example.com";
const char kDefaultFormHandler[] = "/MyFormHandler.php?track=";

void ReadSettings()
{
    SettingsLock lock;
    const char* file = GetSettingsFilePath();
    GetPrivateProfileStringA(kProductName, "ServerName", kDefaultServerName,
                             g_serverName, kSettingSize, file);
    GetPrivateProfileStringA(kProductName, "FormHandler", kDefaultFormHandler,
                             g_formHandler, kSettingSize, file);
    ReadCharsetSetting(file);
}

void WriteSettings()
{
    SettingsLock lock;
    const char* file = GetSettingsFilePath();
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
