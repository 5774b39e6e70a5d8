// Paths beside the plugin's module file. Each kind of path has its own static
// buffer, rebuilt on every call from the module's current file name.
//
// When that name cannot be had whole (the call fails, or the name is 260
// characters or longer and comes back cut, on Windows XP without even a
// terminating zero), every path is empty: a directory taken from a cut name
// may be some other folder. With an empty settings file path the settings
// load their defaults and nothing is stored, unless the per-user file already
// holds them (settings.cpp), and the dialog's readme and server-files buttons
// open nothing.
#include "config/module_paths.h"

#include <windows.h>

#include "common/bounded_copy.h"
#include "config/settings_lock.h"
#include "host/plugin.h"

namespace {

char g_settingsFilePath[kPathSize];
char g_readmePath[kPathSize];
char g_serverFilesPath[kPathSize];
wchar_t g_wideSettingsFilePath[kPathSize];

const char* BuildModuleRelativePath(char* buffer, const char* relativeName)
{
    SettingsLock lock;
    const DWORD length = GetModuleFileNameA(g_pluginDescriptor.moduleInstance, buffer, kPathSize);
    if (length == 0 || length >= static_cast<DWORD>(kPathSize)) {
        buffer[0] = '\0';
        return buffer;
    }
    buffer[length] = '\0';
    ReplaceFileName(buffer, relativeName);
    return buffer;
}

}  // namespace

void ReplaceFileName(char* path, const char* relativeName)
{
    char* end = path;
    while (*end != '\0')
        ++end;
    char* cut = end;
    while (cut != path && cut[-1] != '\\')
        --cut;
    *cut = '\0';
    // The bound leaves room for the terminating zero inside the buffer.
    AppendBounded(path, relativeName, path + kPathSize - 1);
}

void ReplaceWideFileName(wchar_t* path, const wchar_t* relativeName)
{
    int cut = lstrlenW(path);
    while (cut > 0 && path[cut - 1] != L'\\')
        --cut;
    while (cut < kPathSize - 1 && *relativeName != L'\0')
        path[cut++] = *relativeName++;
    path[cut] = L'\0';
}

const wchar_t* GetWideSettingsFilePath()
{
    SettingsLock lock;
    wchar_t* const buffer = g_wideSettingsFilePath;
    const DWORD length =
        GetModuleFileNameW(g_pluginDescriptor.moduleInstance, buffer, kPathSize);
    if (length == 0 || length >= static_cast<DWORD>(kPathSize)) {
        buffer[0] = L'\0';
        return buffer;
    }
    buffer[length] = L'\0';
    ReplaceWideFileName(buffer, L"plugin.ini");
    return buffer;
}

const char* GetSettingsFilePath()
{
    return BuildModuleRelativePath(g_settingsFilePath, "plugin.ini");
}

const char* GetReadmePath()
{
    return BuildModuleRelativePath(g_readmePath, "gen_tunewire\\readme.txt");
}

const char* GetServerFilesPath()
{
    return BuildModuleRelativePath(g_serverFilesPath, "gen_tunewire\\");
}
