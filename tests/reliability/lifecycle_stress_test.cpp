// The host quitting and unloading the real DLL at awkward moments: while a
// message box or the configuration dialog holds the monitor thread, with the
// process ending right after, loading it again while the old monitor is still
// held, and fifty whole lifetimes in one process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "loopback/loopback_http_server.h"
#include "host/host_queries.h"
#include "plugin_host.h"
#include "process_usage.h"
#include "settings_file.h"
#include "support/dialog_driver.h"
#include "support/hosted_plugin.h"
#include "support/ui_robot.h"

namespace {

constexpr DWORD kWaitMs = 10000;
const char kUnresolvable[] = "tunewire-reliability.invalid";

bool Loaded(const std::string& dll)
{
    return GetModuleHandleA(dll.c_str()) != nullptr;
}

// The monitor is held by what a failed post shows: the failure box, or the
// configuration dialog that follows an unresolvable name. Quit gives up after
// its wait, the host unloads, and the code must stay mapped until the user
// closes what is open; then the monitor ends without another query.
TEST(LifecycleStressTest, QuitAndUnloadWhileABoxOrTheDialogHoldsTheMonitor)
{
    for (bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog" : "box");
        LoopbackHttpServer server;
        UiRobot robot;
        HostedPlugin plugin;
        HostWindow& host = plugin.Window();
        plugin.Configure(dialog ? kUnresolvable : server.Host(), "/np.php?track=");
        server.Script(ScriptedResponse::Answer(500, "busy"));
        robot.SetDismissing(dialog);
        host.SetEntry(1, "C:\\Music\\a.mp3", "A");
        host.Play(1, 100);
        plugin.Init();

        ASSERT_TRUE(host.PumpUntil([&] { return !robot.Boxes().empty(); }, kWaitMs));
        HWND held = nullptr;
        if (dialog) {
            DWORD monitor = robot.Boxes()[0].threadId;
            ASSERT_TRUE(host.PumpUntil(
                [&] { return (held = WaitForConfigDialog(monitor, 0)) != nullptr; }, kWaitMs));
        }
        DWORD quitMs = plugin.Quit();
        EXPECT_GE(quitMs, 2900u);
        EXPECT_LT(quitMs, 3600u);
        const std::string dll = plugin.Sandbox().Directory() + "gen_tunewire.dll";
        plugin.Sandbox().Unload();
        EXPECT_TRUE(Loaded(dll)) << "the monitor still runs plugin code";

        size_t queries = host.Queries().size();
        if (dialog)
            PressButton(held, IDCANCEL);
        else
            robot.SetDismissing(true);
        EXPECT_TRUE(host.PumpUntil([&] { return !Loaded(dll); }, kWaitMs));
        EXPECT_EQ(queries, host.Queries().size());
        EXPECT_EQ(1u, robot.Boxes().size());
    }
}

// hostsim quits and unloads the plugin while the failure box still holds the
// monitor, then returns from main: the process must end normally.
TEST(LifecycleStressTest, TheHostProcessExitsCleanlyWhileABoxHoldsTheMonitor)
{
    LoopbackHttpServer server;
    server.Script(ScriptedResponse::Answer(500, "busy"));
    TempDir folder;
    const std::string dll = folder.Path() + "gen_tunewire.dll";
    ASSERT_TRUE(CopyFileA((BinaryDirectory() + "gen_tunewire.dll").c_str(), dll.c_str(), FALSE));
    WriteWholeFile(folder.Path() + "plugin.ini", SettingsFileText(server.Host(), "/np.php?track="));
    WriteWholeFile(folder.Path() + "playlist.txt",
                   "0 entry 1 \"C:\\Music\\a.mp3\" \"A\"\n0 play 1 100\n1500 quit\n");

    std::string command = "\"" + BinaryDirectory() + "hostsim.exe\" \"" + dll + "\" \"" +
                          folder.Path() + "playlist.txt\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    DWORD waited = WaitForSingleObject(process.hProcess, 20000);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(1u, server.Requests().size());
    EXPECT_NE(std::string::npos,
              ReadWholeFile(folder.Path() + "plugin.ini").find("ServerName=" + server.Host()))
        << "quit stored the settings";
}

ULONGLONG ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& time) {
        return ((ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
}

// The host quits and unloads the plugin while a failure box holds the old
// monitor, then loads and starts it again. The module never left memory, so
// the new life shares its statics with the old monitor: init must not bring
// that monitor back to life (a track posted twice), nor leave it spinning on
// an event that is gone. It ends as soon as its box closes.
TEST(LifecycleStressTest, ASecondLifeLeavesTheHeldMonitorOfTheFirstStopped)
{
    LoopbackHttpServer server;
    UiRobot robot;
    PluginSandbox sandbox;
    const std::string dll = sandbox.Directory() + "gen_tunewire.dll";
    sandbox.WriteIni(SettingsFileText(server.Host(), "/np.php?track="));
    sandbox.Unload();
    HostWindow host;
    host.SetEntry(1, "C:\\Music\\a.mp3", "A");
    host.SetEntry(2, "C:\\Music\\b.mp3", "B");
    host.Play(1, 100);
    server.Script(ScriptedResponse::Answer(500, "busy"));
    robot.SetDismissing(false);

    PluginHost first;
    ASSERT_TRUE(first.Load(dll, host.Handle())) << first.Error();
    first.Init();
    ASSERT_TRUE(host.PumpUntil([&] { return !robot.Boxes().empty(); }, kWaitMs));
    HANDLE oldMonitor = OpenThread(SYNCHRONIZE, FALSE, robot.Boxes()[0].threadId);
    ASSERT_NE(nullptr, oldMonitor);
    first.Quit();
    first.Unload();
    EXPECT_TRUE(Loaded(dll)) << "the old monitor still runs plugin code";

    PluginHost second;
    ASSERT_TRUE(second.Load(dll, host.Handle())) << second.Error();
    second.Init();
    // The new life posts the playing track once, as any first start does.
    EXPECT_TRUE(host.PumpUntil([&] { return server.Requests().size() >= 2; }, kWaitMs));

    robot.SetDismissing(true);
    EXPECT_TRUE(host.PumpUntil(
        [&] { return WaitForSingleObject(oldMonitor, 0) == WAIT_OBJECT_0; }, kWaitMs))
        << "the old monitor ends when its box closes";
    CloseHandle(oldMonitor);

    host.Play(2, 120);
    EXPECT_TRUE(host.PumpUntil([&] { return server.Requests().size() >= 3; }, kWaitMs));
    const size_t queries = host.Queries().size();
    const ULONGLONG cpuBefore = ProcessCpuMs();
    host.Pump(3000);
    const ULONGLONG cpuMs = ProcessCpuMs() - cpuBefore;
    // One monitor playing on asks three questions a second.
    EXPECT_LE(host.Queries().size() - queries, 12u);
    EXPECT_LT(cpuMs, 600u) << "busy for " << cpuMs << " ms of 3000";

    std::vector<std::string> bodies;
    for (const RecordedRequest& request : server.Requests())
        bodies.push_back(request.body);
    EXPECT_EQ((std::vector<std::string>{"track=A", "track=A", "track=B"}), bodies);
    EXPECT_EQ(1u, robot.Boxes().size());

    // Quit while the new monitor pauses after a turn: a query it sent while
    // quit waits on this thread would be answered only when the wait gives up.
    const size_t asked = host.Queries().size();
    ASSERT_TRUE(host.PumpUntil(
        [&] {
            const std::vector<HostQueryRecord> queries = host.Queries();
            return queries.size() > asked && queries.back().code == kQueryPlaylistPosition;
        },
        kWaitMs));
    host.Pump(300);
    EXPECT_LT(second.Quit(), 1100u);
    second.Unload();
    EXPECT_FALSE(Loaded(dll));
}

TEST(LifecycleStressTest, FiftyLifetimesLeaveNoThreadOrHandleBehind)
{
    PluginSandbox sandbox;
    const std::string dll = sandbox.Directory() + "gen_tunewire.dll";
    sandbox.Unload();
    HostWindow host;
    auto lifetime = [&] {
        PluginHost plugin;
        ASSERT_TRUE(plugin.Load(dll, host.Handle())) << plugin.Error();
        size_t queries = host.Queries().size();
        plugin.Init();
        // Quit while the monitor pauses, once it has asked its first question.
        ASSERT_TRUE(host.PumpUntil([&] { return host.Queries().size() > queries; }, kWaitMs));
        EXPECT_LT(plugin.Quit(), 500u);
        plugin.Unload();
        EXPECT_FALSE(Loaded(dll));
    };

    // The first lifetime lets Wine make what it makes once per process.
    lifetime();
    const int threads = ThreadCount();
    // Wine 8's loader keeps two handles for every load and unload of this
    // DLL, before any entry runs; the plugin must add nothing to that.
    DWORD handles = HandleCount();
    for (int i = 0; i < 50; ++i)
        FreeLibrary(LoadLibraryA(dll.c_str()));
    const DWORD loaderCost = HandleCount() - handles;
    handles = HandleCount();
    for (int i = 0; i < 50 && !HasFatalFailure(); ++i)
        lifetime();

    EXPECT_EQ(threads, ThreadCount());
    // A leak of one handle per lifetime would add 50.
    EXPECT_LE(HandleCount() - handles, loaderCost + 5) << "the loader alone: " << loaderCost;
}

}  // namespace
