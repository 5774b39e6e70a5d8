// Where the settings are read and stored when the per-user file comes into
// play, against the real private-profile functions. The module lies in a
// sandbox folder and the application-data folder is a stand-in, so no test
// touches the shared prefix's real per-user file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/charset_setting.h"
#include "config/settings.h"
#include "config/streamer_settings.h"
#include "settings_file.h"
#include "support/refused_writes.h"
#include "support/plugin_sandbox.h"
#include "support/user_folder_stand_in.h"

namespace {

std::wstring Wide(const std::string& ansi)
{
    std::vector<wchar_t> wide(ansi.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide.data();
}

class UserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox_.AdoptAsStaticModule();
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
    const RefusedWrites refused(Wide(sandbox_.Directory()));
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

// An editor, a backup or an indexer holding plugin.ini while the plugin stores
// (at quit, or OK): the store goes into the file in place where the reader
// shares writing, else fails for now; it never moves the settings away.
TEST_F(UserSettingsTest, AReaderHoldingTheFileNeverMovesTheSettings)
{
    const struct {
        const char* name;
        DWORD share;
        SettingsStore store;
    } readers[] = {
        {"shares nothing", 0, SettingsStore::kNotStored},
        {"shares reading", FILE_SHARE_READ, SettingsStore::kNotStored},
        {"shares writing", FILE_SHARE_READ | FILE_SHARE_WRITE, SettingsStore::kBesideModule},
        {"shares deleting too", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         SettingsStore::kBesideModule},
    };
    const std::string before = SettingsFileText("old.example.com", "/old.php") + "Quiet=1\r\n";
    const std::string after = SettingsFileText("new.example.com", "/old.php") + "Quiet=1\r\n";
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.name);
        sandbox_.WriteIni(before);
        HANDLE held = CreateFileA(sandbox_.IniPath().c_str(), GENERIC_READ, reader.share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        SetBuffers("new.example.com", "/old.php");
        StoreAttempts attempts;
        EXPECT_EQ(reader.store, WriteSettings(&attempts));
        CloseHandle(held);
        EXPECT_FALSE(userFolder_.IniExists());
        if (reader.store == SettingsStore::kNotStored) {
            EXPECT_EQ(before, sandbox_.ReadIni());
            ASSERT_EQ(1, attempts.count);
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), attempts.error[0]);
            EXPECT_EQ(SettingsStore::kBesideModule, WriteSettings()) << "once the reader lets go";
        }
        EXPECT_EQ(after, sandbox_.ReadIni());
    }
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
