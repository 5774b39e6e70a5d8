// Where the settings are read and stored when the per-user file comes into
// play, against the real private-profile functions. The module lies in a
// sandbox folder and the application-data folder is a stand-in, so no test
// touches the shared prefix's real per-user file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/charset_setting.h"
#include "config/settings.h"
#include "config/streamer_settings.h"
#include "settings_file.h"
#include "support/import_slot.h"
#include "support/plugin_sandbox.h"
#include "support/user_folder_stand_in.h"

namespace {

using CreateFileFunction = decltype(&CreateFileW);

// Taken from kernel32 itself: this executable's own calls go through the slot
// that the refusing writer takes over.
const auto g_realCreateFile = reinterpret_cast<CreateFileFunction>(reinterpret_cast<void*>(
    GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateFileW")));

// The sandbox folder in which the refusing writer turns every write away.
std::wstring g_refusedFolder;

// Windows' answer to a write into a folder under Program Files without
// elevation: no file there opens for writing or is made. Files stay readable.
HANDLE WINAPI RefuseWritesBesideTheModule(LPCWSTR file, DWORD access, DWORD share,
                                          LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                          DWORD flags, HANDLE from)
{
    if ((access & GENERIC_WRITE) != 0 && std::wstring(file).rfind(g_refusedFolder, 0) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_realCreateFile(file, access, share, security, disposition, flags, from);
}

class UserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox_.AdoptAsStaticModule();
        g_refusedFolder = std::wstring(sandbox_.Directory().begin(), sandbox_.Directory().end());
    }

    void TearDown() override { RemoveDirectoryA(sandbox_.IniPath().c_str()); }

    // A folder named plugin.ini: the file beside the module can be neither
    // read nor written.
    void BlockTheFileBesideTheModule() const
    {
        ASSERT_TRUE(CreateDirectoryA(sandbox_.IniPath().c_str(), nullptr));
    }

    static void SetBuffers(const char* server, const char* formHandler)
    {
        std::strcpy(g_serverName, server);
        std::strcpy(g_formHandler, formHandler);
    }

    PluginSandbox sandbox_;
    UserFolderStandIn userFolder_;
};

TEST_F(UserSettingsTest, AWritableModuleFolderKeepsEverythingBesideTheModule)
{
    SetBuffers("beside.example.com", "/beside.php");
    EXPECT_EQ(SettingsStore::kBesideModule, WriteSettings());
    EXPECT_EQ(SettingsFileText("beside.example.com", "/beside.php"), sandbox_.ReadIni());
    EXPECT_FALSE(userFolder_.IniExists());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((userFolder_.Folder() + "Tunewire").c_str()))
        << "no per-user folder is made while it is not needed";
}

TEST_F(UserSettingsTest, AStoreThatCannotGoBesideTheModuleMovesToTheUserFileOnce)
{
    BlockTheFileBesideTheModule();
    SetBuffers("moved.example.com", "/moved.php?track=");
    EXPECT_EQ(SettingsStore::kMovedToUserFile, WriteSettings());
    EXPECT_EQ(SettingsFileText("moved.example.com", "/moved.php?track="), userFolder_.ReadIni());

    SetBuffers("again.example.com", "/again.php");
    EXPECT_EQ(SettingsStore::kUserFile, WriteSettings()) << "only the first store moves them";
    SetBuffers("stale", "stale");
    ReadSettings();
    EXPECT_STREQ("again.example.com", g_serverName);
    EXPECT_STREQ("/again.php", g_formHandler);
}

TEST_F(UserSettingsTest, SettingsInTheUserFileStayThereWhenTheModuleFolderBecomesWritable)
{
    userFolder_.WriteIni(SettingsFileText("user.example.com", "/user.php"));
    SetBuffers("typed.example.com", "/typed.php");
    EXPECT_EQ(SettingsStore::kUserFile, WriteSettings());
    EXPECT_EQ(SettingsFileText("typed.example.com", "/typed.php"), userFolder_.ReadIni());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(sandbox_.IniPath().c_str()));
}

// The per-user file counts once it holds the plugin's section with a key;
// anything else in it leaves the file beside the module in charge.
TEST_F(UserSettingsTest, ReadingTakesTheUserFilesSectionWhenItExists)
{
    const struct {
        const char* name;
        const char* userFile;  // null: no per-user file at all
        const char* server;
        const char* formHandler;
        bool unicode;
    } cases[] = {
        {"no per-user file", nullptr, "beside.example.com", "/beside.php", true},
        {"empty per-user file", "", "beside.example.com", "/beside.php", true},
        {"only another section", "[Other]\r\nServerName=other\r\n", "beside.example.com",
         "/beside.php", true},
        {"the section without keys", "[WinAmp Tunewire Basic]\r\n", "beside.example.com",
         "/beside.php", true},
        {"the section", "[WinAmp Tunewire Basic]\r\nServerName=user.example.com\r\n"
                        "FormHandler=/user.php\r\n",
         "user.example.com", "/user.php", false},
        {"the section with one key", "[WinAmp Tunewire Basic]\r\nServerName=user.example.com\r\n",
         "user.example.com", "/MyFormHandler.php?track=", false},
        {"only the charset key", "[WinAmp Tunewire Basic]\r\nCharset=utf-8\r\n",
         kDefaultServerName, "/MyFormHandler.php?track=", true},
    };
    // Unicode mode beside the module, so the mode shows which file was read.
    sandbox_.WriteIni(SettingsFileText("beside.example.com", "/beside.php") + "Charset=UTF-8\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(userFolder_.IniPath().c_str());
        if (c.userFile != nullptr)
            userFolder_.WriteIni(c.userFile);
        SetBuffers("stale", "stale");
        ReadSettings();
        EXPECT_STREQ(c.server, g_serverName);
        EXPECT_STREQ(c.formHandler, g_formHandler);
        EXPECT_EQ(c.unicode, IsUnicodeMode())
            << "the charset key comes from the same file as the settings";
    }
}

// A file beside the module that Windows lets the plugin read but not write,
// as under Program Files: the keys the user put in its section by hand move
// along, the rest of that file stays as it is.
TEST_F(UserSettingsTest, TheMoveTakesTheWholeSectionAlong)
{
    const std::string beside =
        "[Other]\r\nKeep=1\r\n"
        "[WinAmp Tunewire Basic]\r\nCharset=utf-8\r\nServerName=old\r\nFormHandler=/old\r\n";
    sandbox_.WriteIni(beside);
    ImportReplacement<CreateFileFunction> refuse("kernel32.dll", g_realCreateFile,
                                                 &RefuseWritesBesideTheModule);
    ReadSettings();
    ASSERT_TRUE(IsUnicodeMode());
    SetBuffers("new.example.com", "/new.php");

    EXPECT_EQ(SettingsStore::kMovedToUserFile, WriteSettings());
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nCharset=utf-8\r\nServerName=new.example.com\r\n"
              "FormHandler=/new.php\r\n",
              userFolder_.ReadIni());
    EXPECT_EQ(beside, sandbox_.ReadIni());
    ReadSettings();
    EXPECT_TRUE(IsUnicodeMode());
    EXPECT_STREQ("new.example.com", g_serverName);
}

TEST_F(UserSettingsTest, WithoutAnApplicationDataFolderNothingIsStored)
{
    BlockTheFileBesideTheModule();
    // The stand-in's folder gone, the per-user folder cannot be made.
    RemoveDirectoryA(userFolder_.Folder().c_str());
    SetBuffers("lost.example.com", "/lost.php");
    EXPECT_EQ(SettingsStore::kNotStored, WriteSettings());
    EXPECT_FALSE(userFolder_.IniExists());
    ReadSettings();
    EXPECT_STREQ(kDefaultServerName, g_serverName);
}

// A Windows account whose name lies outside the ANSI code page: the per-user
// file is made, stored and read under it, and the log goes beside it.
TEST(UserFolderNameTest, AUserFolderNamedOutsideTheCodePageHoldsTheSettings)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    UserFolderStandIn userFolder(L"\x0416\x0435\x043D\x044F");
    ASSERT_TRUE(CreateDirectoryA(sandbox.IniPath().c_str(), nullptr));
    std::strcpy(g_serverName, "moved.example.com");
    std::strcpy(g_formHandler, "/moved.php");

    EXPECT_EQ(SettingsStore::kMovedToUserFile, WriteSettings());
    EXPECT_EQ(SettingsFileText("moved.example.com", "/moved.php"), userFolder.ReadIni());
    std::strcpy(g_serverName, "stale");
    ReadSettings();
    EXPECT_STREQ("moved.example.com", g_serverName);
    EXPECT_EQ(userFolder.WideFolder() + L"Tunewire\\tunewire.log",
              ReadStreamerSettings().logFile);
    RemoveDirectoryA(sandbox.IniPath().c_str());
}

}  // namespace
