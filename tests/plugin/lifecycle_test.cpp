// The plugin's entries through the real DLL, with the stand-in main window.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "host/host_queries.h"
#include "settings_file.h"
#include "support/hosted_plugin.h"
#include "support/ui_robot.h"

namespace {

std::atomic<int> g_accessFaults{0};

LONG CALLBACK CountAccessFault(EXCEPTION_POINTERS* fault)
{
    if (fault->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        ++g_accessFaults;
    return EXCEPTION_CONTINUE_SEARCH;
}

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

// The monitor runs below normal priority, and init leaves the host's own
// thread as it was. The monitor is found as the thread of the box its failed
// post holds open.
TEST(LifecycleTest, TheMonitorRunsBelowNormalAndTheHostThreadKeepsItsPriority)
{
    UiRobot robot;
    robot.SetDismissing(false);
    HostedPlugin plugin;
    plugin.Configure("127.255.255.1", "/np.php?track=");  // nothing listens there
    plugin.Window().SetEntry(1, "C:\\Music\\a.mp3", "A");
    plugin.Window().Play(1, 100);
    ASSERT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(GetCurrentThread()));
    plugin.Init();
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(GetCurrentThread()));

    ASSERT_TRUE(plugin.Window().PumpUntil([&] { return !robot.Boxes().empty(); }, 10000));
    const DWORD monitor = robot.Boxes()[0].threadId;
    EXPECT_NE(GetCurrentThreadId(), monitor);
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, monitor);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(thread));
    CloseHandle(thread);

    robot.SetDismissing(true);
    plugin.Quit();
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

// With Instant on, every life of the plugin hooks the main window's thread
// and quit takes the hook away: once the module is unloaded, the player's
// notifications must reach no code of it, or they would crash the player.
// In each life a notice early in a stopped player's two-second pause brings
// the next turn well before the poll would.
TEST(LifecycleTest, InstantHooksInEachLifeAndLeavesNothingAfterUnload)
{
    HostedPlugin plugin;
    HostWindow& host = plugin.Window();
    plugin.Sandbox().WriteIni(SettingsFileText("127.255.255.1", "/np.php?track=") +
                              "Instant=1\r\n");
    for (int life = 0; life < 2; ++life) {
        plugin.Init();
        size_t asked = host.Queries().size();
        ASSERT_TRUE(host.PumpUntil([&] { return host.Queries().size() > asked; }, 5000));
        host.Pump(200);
        asked = host.Queries().size();
        const DWORD noticeAt = GetTickCount();
        host.Stop();
        ASSERT_TRUE(host.PumpUntil([&] { return host.Queries().size() > asked; }, 5000));
        EXPECT_LT(host.Queries().back().tick - noticeAt, 1000u) << "life " << life;
        plugin.Quit();
    }
    const std::string dll = plugin.Sandbox().Directory() + "gen_tunewire.dll";
    plugin.Sandbox().Unload();
    ASSERT_TRUE(plugin.Window().PumpUntil([&] { return GetModuleHandleA(dll.c_str()) == nullptr; },
                                          5000));

    // A call into the unloaded code would end the player on Windows; Wine
    // drops a fault inside a hook, so the faults are counted.
    PVOID counter = AddVectoredExceptionHandler(1, &CountAccessFault);
    host.SetEntry(1, "C:\\Music\\a.mp3", "A");
    host.Play(1, 200);
    host.SetEntry(1, "C:\\Music\\a.mp3", "A, retitled");
    host.Pause(1, 200);
    host.Stop();
    host.Pump(200);
    RemoveVectoredExceptionHandler(counter);
    EXPECT_EQ(0, g_accessFaults.load());
}

}  // namespace
