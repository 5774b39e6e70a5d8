// Paths beside the module, from the real module file name and from given ones.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/module_paths.h"
#include "config/settings.h"
#include "config/settings_lock.h"
#include "support/import_slot.h"
#include "support/plugin_sandbox.h"

namespace {

TEST(ModulePathsTest, PathsLieBesideTheModule)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    EXPECT_EQ(sandbox.Directory() + "plugin.ini", GetSettingsFilePath());
    EXPECT_EQ(sandbox.Directory() + "gen_tunewire\\readme.txt", GetReadmePath());
    EXPECT_EQ(sandbox.Directory() + "gen_tunewire\\", GetServerFilesPath());
}

TEST(ModulePathsTest, EachPathKeepsItsOwnBuffer)
{
    const char* settings = GetSettingsFilePath();
    const char* readme = GetReadmePath();
    EXPECT_NE(settings, readme);
    EXPECT_EQ(settings, GetSettingsFilePath());
    EXPECT_NE(nullptr, std::strstr(settings, "plugin.ini"));
}

struct ReplaceCase {
    std::string module;
    const char* relative;
    std::string expected;
};

TEST(ModulePathsTest, ReplaceFileNameKeepsTheDirectoryAndCutsAt259)
{
    const std::string longDirectory = "C:\\" + std::string(240, 'd') + "\\";
    const ReplaceCase cases[] = {
        {"C:\\Player\\Plugins\\gen_tunewire.dll", "plugin.ini", "C:\\Player\\Plugins\\plugin.ini"},
        {"gen_tunewire.dll", "plugin.ini", "plugin.ini"},
        {"", "gen_tunewire\\", "gen_tunewire\\"},
        {"C:\\x\\", "plugin.ini", "C:\\x\\plugin.ini"},
        {longDirectory + "g.dll", "gen_tunewire\\readme.txt",
         (longDirectory + "gen_tunewire\\readme.txt").substr(0, 259)},
    };
    for (const ReplaceCase& c : cases) {
        char buffer[kPathSize + 8];
        std::memset(buffer, 'X', sizeof buffer);
        std::strcpy(buffer, c.module.c_str());
        ReplaceFileName(buffer, c.relative);
        EXPECT_EQ(c.expected, std::string(buffer)) << c.module;
        EXPECT_EQ('X', buffer[kPathSize]) << "wrote past the 260-character buffer";
    }
}

TEST(ModulePathsTest, OverLongModuleDirectoryGivesAPathCutAt259)
{
    // The module's own path must stay under 260 characters for it to load, so
    // the directory is made just long enough for the readme path to overflow.
    size_t baseLength = PluginSandbox().Directory().size();
    size_t extra = 241 - baseLength;
    PluginSandbox sandbox(std::string(extra / 2, 'a') + "\\" +
                          std::string(extra - extra / 2 - 2, 'b'));
    sandbox.AdoptAsStaticModule();
    std::string readme = GetReadmePath();
    std::string full = sandbox.Directory() + "gen_tunewire\\readme.txt";
    if (full.size() <= 259)
        GTEST_SKIP() << "temporary folder too short to overflow: " << full.size();
    EXPECT_EQ(full.substr(0, 259), readme);
}

// A module name of 260 characters or more does not fit the buffer: Windows XP
// cuts it and leaves it without a terminating zero, later versions cut it one
// character shorter and terminate it; any Windows may fail the call outright.
// (Wine will not load a DLL from so long a path, so the calls are stood in for.)
DWORD WINAPI CutWithoutTerminator(HMODULE, LPSTR buffer, DWORD size)
{
    std::memset(buffer, 'x', size);
    return size;
}

DWORD WINAPI CutAndTerminated(HMODULE, LPSTR buffer, DWORD size)
{
    std::memset(buffer, 'x', size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

DWORD WINAPI Refuse(HMODULE, LPSTR buffer, DWORD size)
{
    std::memset(buffer, 'x', size);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
}

TEST(ModulePathsTest, AModuleNameNotHadWholeGivesEmptyPathsAndLeavesEveryFileAlone)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    const std::string stored = "[WinAmp Tunewire Basic]\r\nServerName=stored.example.com\r\n";
    sandbox.WriteIni(stored);
    // Taken once: the compiler may keep an import's address across the swaps.
    const auto real = reinterpret_cast<decltype(&GetModuleFileNameA)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetModuleFileNameA")));
    for (auto fake : {&CutWithoutTerminator, &CutAndTerminated, &Refuse}) {
        SCOPED_TRACE(fake == &Refuse ? "refused" : fake == &CutAndTerminated ? "cut" : "cut, XP");
        ImportReplacement<decltype(&GetModuleFileNameA)> swap("kernel32.dll", real, fake);
        EXPECT_STREQ("", GetSettingsFilePath());
        EXPECT_STREQ("", GetReadmePath());
        EXPECT_STREQ("", GetServerFilesPath());

        {
            SettingsLock lock;
            std::strcpy(g_serverName, "typed.example.com");
        }
        ReadSettings();
        EXPECT_STREQ(kDefaultServerName, g_serverName) << "loaded as if there were no file";
        EXPECT_STREQ(kDefaultFormHandler, g_formHandler);
        WriteSettings();
    }
    EXPECT_EQ(stored, sandbox.ReadIni());
}

}  // namespace
