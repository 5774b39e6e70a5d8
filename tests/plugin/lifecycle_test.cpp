// The plugin's entries through the real DLL, with the stand-in main window.
#include <gtest/gtest.h>

#include <string>

#include "plugin/host_queries.h"
#include "support/hosted_plugin.h"

namespace {

TEST(LifecycleTest, RecordIsCompleteBeforeInitAndTheSameOnEveryCall)
{
    PluginSandbox sandbox;
    PluginDescriptor* record = sandbox.Descriptor();
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(record, sandbox.Descriptor());
    EXPECT_EQ(16, record->version);
    EXPECT_STREQ("WinAmp Tunewire Basic", record->description);
    EXPECT_NE(nullptr, record->init);
    EXPECT_NE(nullptr, record->config);
    EXPECT_NE(nullptr, record->quit);
    EXPECT_EQ(nullptr, record->parentWindow);
    EXPECT_EQ(nullptr, record->moduleInstance);
}

TEST(LifecycleTest, InitComposesTheDescriptionAndQuitStoresTheSettings)
{
    HostedPlugin plugin;
    EXPECT_EQ(0, plugin.Init());
    EXPECT_STREQ("WinAmp Tunewire Basic v1.0.0.1", plugin.Descriptor()->description);
    plugin.Quit();
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=your-server.invalid\r\n"
              "FormHandler=/MyFormHandler.php?track=\r\n",
              plugin.Sandbox().ReadIni());
}

TEST(LifecycleTest, QuitStoresWhatWasLoadedAndKeepsTheRestOfTheFile)
{
    HostedPlugin plugin;
    plugin.Sandbox().WriteIni("; kept\r\n[WinAmp Tunewire Basic]\r\nServerName=\r\n"
                              "[Other]\r\nx=1\r\n");
    plugin.Init();
    plugin.Quit();
    EXPECT_EQ("; kept\r\n[WinAmp Tunewire Basic]\r\nServerName=\r\n"
              "FormHandler=/MyFormHandler.php?track=\r\n[Other]\r\nx=1\r\n",
              plugin.Sandbox().ReadIni());
}

TEST(LifecycleTest, QuitWhileTheMonitorPausesIsPromptAndSendsNoFurtherQuery)
{
    HostedPlugin plugin;
    plugin.Init();
    // Let the monitor answer its first turn and settle into its pause.
    ASSERT_TRUE(plugin.Window().PumpUntil(
        [&] { return !plugin.Window().Queries().empty(); }, 5000));
    plugin.Window().Pump(300);
    size_t queriesBefore = plugin.Window().Queries().size();

    DWORD quitMs = plugin.Quit();
    EXPECT_LT(quitMs, 100u);
    plugin.Window().Pump(1500);
    EXPECT_EQ(queriesBefore, plugin.Window().Queries().size());
}

TEST(LifecycleTest, QuitGivesUpOnAStuckMonitorAfterThreeSeconds)
{
    HostedPlugin plugin;
    plugin.Init();
    // The test's thread does not pump, so the monitor's first query waits for
    // an answer; quit, on the same thread, cannot answer it either.
    Sleep(300);
    DWORD quitMs = plugin.Quit();
    EXPECT_GE(quitMs, 2900u);
    EXPECT_LT(quitMs, 3600u);
    EXPECT_NE(std::string::npos, plugin.Sandbox().ReadIni().find("ServerName=your-server.invalid"));

    // Once answered, the monitor sees the flag and ends without a post.
    plugin.Window().Pump(500);
    for (const HostQueryRecord& query : plugin.Window().Queries())
        EXPECT_EQ(kQueryIsPlaying, query.code);
}

TEST(LifecycleTest, UnloadRightAfterAStuckQuitDoesNotPullTheCodeAway)
{
    HostedPlugin plugin;
    plugin.Init();
    Sleep(300);
    plugin.Quit();
    // The host unloads while the monitor still waits for its answer: the
    // monitor's own module reference keeps the code mapped until it ends.
    plugin.Sandbox().Unload();
    EXPECT_NE(nullptr, GetModuleHandleA((plugin.Sandbox().Directory() + "gen_tunewire.dll").c_str()));
    plugin.Window().Pump(500);
    EXPECT_EQ(nullptr, GetModuleHandleA((plugin.Sandbox().Directory() + "gen_tunewire.dll").c_str()));
}

}  // namespace
