// Paths beside the plugin's module file. Each kind of path has its own static
// buffer, rebuilt on every call from the module's current file name.
#include "config/settings.h"

#include <windows.h>

#include "common/bounded_copy.h"
#include "plugin/plugin.h"

namespace {

char g_settingsFilePath[kPathSize];
char g_readmePath[kPathSize];
char g_serverFilesPath[kPathSize];

const char* BuildModuleRelativePath(char* buffer, const char* relativeName)
{
    SettingsLock lock;
    GetModuleFileNameA(g_pluginDescriptor.moduleInstance, buffer, kPathSize);
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
