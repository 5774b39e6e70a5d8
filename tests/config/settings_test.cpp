// The settings store, with the real private-profile functions as the oracle
// of how a file reads, and the module (and so plugin.ini) in a sandbox folder
// of each test's own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/charset_setting.h"
#include "config/section_reader.h"
#include "config/settings.h"
#include "config/streamer_settings.h"
#include "support/plugin_sandbox.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox_.AdoptAsStaticModule();
        std::strcpy(g_serverName, "stale");
        std::strcpy(g_formHandler, "stale");
    }

    PluginSandbox sandbox_;
};

TEST_F(SettingsTest, MissingFileGivesTheDefaults)
{
    ReadSettings();
    EXPECT_STREQ("your-server.invalid", g_serverName);
    EXPECT_STREQ("/MyFormHandler.php?track=", g_formHandler);
}

TEST_F(SettingsTest, WriteCreatesTheSectionWithBothKeys)
{
    std::strcpy(g_serverName, "127.0.0.1");
    std::strcpy(g_formHandler, "/h.php?track=");
    WriteSettings();
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=127.0.0.1\r\nFormHandler=/h.php?track=\r\n",
              sandbox_.ReadIni());
}

TEST_F(SettingsTest, RoundTripsThroughTheFile)
{
    std::strcpy(g_serverName, "media.example.com");
    std::strcpy(g_formHandler, "/np/post.php?key=S3cret&track=");
    WriteSettings();
    g_serverName[0] = g_formHandler[0] = '\0';
    ReadSettings();
    EXPECT_STREQ("media.example.com", g_serverName);
    EXPECT_STREQ("/np/post.php?key=S3cret&track=", g_formHandler);
}

TEST_F(SettingsTest, OtherSectionsAndKeysSurviveAStore)
{
    sandbox_.WriteIni(
        "[Other]\r\nKeep=1\r\n"
        "[WinAmp Tunewire Basic]\r\nServerName=old\r\nExtra=yes\r\nFormHandler=/old\r\n");
    std::strcpy(g_serverName, "new");
    std::strcpy(g_formHandler, "/new");
    WriteSettings();
    EXPECT_EQ("[Other]\r\nKeep=1\r\n"
              "[WinAmp Tunewire Basic]\r\nServerName=new\r\nExtra=yes\r\nFormHandler=/new\r\n",
              sandbox_.ReadIni());
}

TEST_F(SettingsTest, EmptyValuesAreStoredAsKeysAndStayEmpty)
{
    g_serverName[0] = g_formHandler[0] = '\0';
    WriteSettings();
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=\r\nFormHandler=\r\n", sandbox_.ReadIni());
    ReadSettings();
    EXPECT_STREQ("", g_serverName);
    EXPECT_STREQ("", g_formHandler);
}

TEST_F(SettingsTest, LongValuesLoadAsTheirFirst1023Characters)
{
    std::string longValue(2000, 's');
    sandbox_.WriteIni("[WinAmp Tunewire Basic]\r\nServerName=" + longValue +
                      "\r\nFormHandler=/" + longValue + "\r\n");
    ReadSettings();
    EXPECT_EQ(longValue.substr(0, 1023), std::string(g_serverName));
    EXPECT_EQ(1023u, std::strlen(g_formHandler));
}

TEST_F(SettingsTest, TheSectionNameCarriesNoVersion)
{
    sandbox_.WriteIni("[WinAmp Tunewire Basic v1.0.0.1]\r\nServerName=wrong\r\n"
                      "[WinAmp Tunewire Basic]\r\nServerName=right\r\n");
    ReadSettings();
    EXPECT_STREQ("right", g_serverName);
    EXPECT_STREQ("/MyFormHandler.php?track=", g_formHandler);
}

TEST_F(SettingsTest, GettersHandOutTheBuffersThemselves)
{
    EXPECT_EQ(g_serverName, GetServerName());
    EXPECT_EQ(g_formHandler, GetFormHandler());
}

TEST_F(SettingsTest, CharsetKeyTurnsTheUnicodeModeOnOnlyForUtf8)
{
    const struct {
        const char* section;  // the plugin's section, or "" for none at all
        bool unicode;
    } cases[] = {
        {"", false},
        {"ServerName=a\r\n", false},
        {"Charset=utf-8\r\n", true},
        {"Charset=UTF-8\r\n", true},
        {"Charset=Utf-8\r\n", true},
        {"Charset=utf8\r\n", false},
        {"Charset=utf-8x\r\n", false},
        {"Charset=utf-8; really\r\n", false},
        {"Charset=windows-1252\r\n", false},
        {"Charset=\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        sandbox_.WriteIni(*c.section ? std::string("[WinAmp Tunewire Basic]\r\n") + c.section
                                     : std::string());
        ReadSettings();
        EXPECT_EQ(c.unicode, IsUnicodeMode());
    }
    sandbox_.WriteIni("[Other]\r\nCharset=utf-8\r\n");
    ReadSettings();
    EXPECT_FALSE(IsUnicodeMode()) << "only the plugin's own section counts";
}

TEST_F(SettingsTest, StoringLeavesTheCharsetKeyAsWritten)
{
    sandbox_.WriteIni("[WinAmp Tunewire Basic]\r\nCharset=UTF-8\r\nServerName=old\r\n");
    ReadSettings();
    std::strcpy(g_serverName, "new");
    WriteSettings();
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nCharset=UTF-8\r\nServerName=new\r\n"
              "FormHandler=/MyFormHandler.php?track=\r\n",
              sandbox_.ReadIni());
    EXPECT_TRUE(IsUnicodeMode());
}

// Text values as a user's editor saved them, read from the file's bytes under
// the ANSI code pages of a Western and a Japanese Windows. The code page is
// handed to the reader, so Wine's own reading of settings files plays no part.
// Files edited by hand: what the store reads, what the platform's own reader
// makes of the same file (the two agree, but on a byte-order mark, which only
// Windows' ANSI functions misread), and the file after a store of a new
// server, which changes that key's line and nothing else.
TEST_F(SettingsTest, HandEditedFilesAreReadAndStoredByOneSetOfRules)
{
    const struct {
        const char* name;
        std::string file;
        const char* server;  // as read
        std::string stored;  // the file after ServerName=new is stored
    } rows[] = {
        {"a repeated section: the first counts",
         "[WinAmp Tunewire Basic]\r\nServerName=first\r\n[Other]\r\nA=1\r\n"
         "[WinAmp Tunewire Basic]\r\nServerName=second\r\nFormHandler=/second\r\n",
         "first",
         "[WinAmp Tunewire Basic]\r\nServerName=new\r\nFormHandler=/f\r\n[Other]\r\nA=1\r\n"
         "[WinAmp Tunewire Basic]\r\nServerName=second\r\nFormHandler=/second\r\n"},
        {"a header without ']' opens nothing",
         "[WinAmp Tunewire Basic]\r\n[Broken\r\nServerName=kept\r\n", "kept",
         "[WinAmp Tunewire Basic]\r\n[Broken\r\nServerName=new\r\nFormHandler=/f\r\n"},
        {"a lone '['", "[WinAmp Tunewire Basic]\r\n[\r\nServerName=kept\r\n", "kept",
         "[WinAmp Tunewire Basic]\r\n[\r\nServerName=new\r\nFormHandler=/f\r\n"},
        {"a key without '=' has no value", "[WinAmp Tunewire Basic]\r\nServerName\r\n; note\r\n",
         "your-server.invalid",
         "[WinAmp Tunewire Basic]\r\nServerName=new\r\n; note\r\nFormHandler=/f\r\n"},
        {"a byte-order mark, names in any case, blanks, quotes, bare line feeds",
         "\xEF\xBB\xBF[winamp tunewire basic]\nservername = \"spaced\" \nKeep=1", "spaced",
         "\xEF\xBB\xBF[winamp tunewire basic]\nServerName=new\r\nKeep=1\r\nFormHandler=/f\r\n"},
        {"a key twice", "[WinAmp Tunewire Basic]\r\nServerName=one\r\nServerName=two\r\n", "one",
         "[WinAmp Tunewire Basic]\r\nServerName=new\r\nFormHandler=/f\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sandbox_.WriteIni(row.file);
        ReadSettings();
        EXPECT_STREQ(row.server, g_serverName);
        char platform[kSettingSize];
        GetPrivateProfileStringA("WinAmp Tunewire Basic", "ServerName", "(none)", platform,
                                 kSettingSize, sandbox_.IniPath().c_str());
        EXPECT_STREQ(std::strcmp(row.server, kDefaultServerName) == 0 ? "(none)" : row.server, platform) << "the platform's reader";
        std::strcpy(g_serverName, "new");
        std::strcpy(g_formHandler, "/f");
        EXPECT_EQ(SettingsStore::kBesideModule, WriteSettings());
        EXPECT_EQ(row.stored, sandbox_.ReadIni());
        std::strcpy(g_serverName, "stale");
        ReadSettings();
        EXPECT_STREQ("new", g_serverName);
        EXPECT_EQ(SettingsStore::kBesideModule, WriteSettings());
        EXPECT_EQ(row.stored, sandbox_.ReadIni()) << "a store of unchanged values changes nothing";
    }
}

// A file saved as UTF-16 (Notepad's "Unicode") is read and stored by the
// platform's functions, and stays UTF-16.
TEST_F(SettingsTest, AUtf16FileKeepsWorkingForTheServerAndFormPath)
{
    const std::wstring text = L"\xFEFF[WinAmp Tunewire Basic]\r\nServerName=wide.example.com\r\n";
    sandbox_.WriteIni(std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size()));
    ReadSettings();
    EXPECT_STREQ("wide.example.com", g_serverName);
    std::strcpy(g_serverName, "new.example.com");
    EXPECT_EQ(SettingsStore::kBesideModule, WriteSettings());
    EXPECT_EQ(0, sandbox_.ReadIni().compare(0, 2, "\xFF\xFE"));
    std::strcpy(g_serverName, "stale");
    ReadSettings();
    EXPECT_STREQ("new.example.com", g_serverName);
    EXPECT_STREQ("/MyFormHandler.php?track=", g_formHandler);
}

TEST(SectionReaderTest, TextValuesAreUtf8WhenValidElseTheAnsiCodePage)
{
    const char kSection[] = "[WinAmp Tunewire Basic]\r\n";
    const struct {
        const char* name;
        std::string file;
        UINT codePage;
        const wchar_t* value;  // null: the key is not found
    } rows[] = {
        {"UTF-8 without a mark, Western", std::string(kSection) + "StoppedText=Caf\xC3\xA9\r\n",
         1252, L"Caf\x00E9"},
        {"UTF-8 without a mark, Japanese", std::string(kSection) + "StoppedText=Caf\xC3\xA9\r\n",
         932, L"Caf\x00E9"},
        {"Japanese in UTF-8", std::string(kSection) + "StoppedText=\xE6\x97\xA5\xE6\x9C\xAC\r\n",
         932, L"\x65E5\x672C"},
        {"Japanese in Shift-JIS", std::string(kSection) + "StoppedText=\x93\xFA\x96\x7B\r\n", 932,
         L"\x65E5\x672C"},
        {"Western ANSI", std::string(kSection) + "StoppedText=Caf\xE9\r\n", 1252, L"Caf\x00E9"},
        {"the same bytes, Japanese ANSI", std::string(kSection) + "StoppedText=\x83\x41\r\n", 932,
         L"\x30A2"},
        {"a UTF-8 mark before the first section",
         "\xEF\xBB\xBF" + std::string(kSection) + "StoppedText=\xC3\xA9t\xC3\xA9\r\n", 1252,
         L"\x00E9t\x00E9"},
        {"names in any case, blanks and quotes dropped, line feeds alone",
         "[winamp tunewire BASIC]\nstoppedtext =  \"  Off air \"  \n", 1252, L"  Off air "},
        {"the first of two wins; other sections are not read",
         "[Other]\r\nStoppedText=other\r\n" + std::string(kSection) +
             "StoppedText=first\r\nStoppedText=second\r\n",
         1252, L"first"},
        {"an empty value", std::string(kSection) + "StoppedText=\r\n", 1252, L""},
        {"no key", std::string(kSection) + "StoppedTextual=x\r\n[Other]\r\nStoppedText=x\r\n",
         1252, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string raw;
        const bool found = FindSectionValue(row.file, "StoppedText", raw);
        ASSERT_EQ(row.value != nullptr, found);
        if (!found)
            continue;
        wchar_t text[64];
        DecodeSettingText(raw, row.codePage, text, 64);
        EXPECT_STREQ(row.value, text);
    }
}

// Through the real file: a UTF-8 file with a mark, as Notepad saves it on
// request, gives the monitor its texts as typed.
TEST_F(SettingsTest, TheStreamerTextsAreReadFromTheFilesBytes)
{
    sandbox_.WriteIni("\xEF\xBB\xBF[WinAmp Tunewire Basic]\r\nQuiet=1\r\n"
                      "StoppedText=\xE2\x99\xAB Off air\r\nTitleFile=\xD0\x96\\np.txt\r\n");
    const StreamerSettings settings = ReadStreamerSettings();
    EXPECT_TRUE(settings.quiet);
    EXPECT_STREQ(L"\x266B Off air", settings.stoppedText);
    EXPECT_STREQ(L"\x0416\\np.txt", settings.titleFile);
}

}  // namespace
