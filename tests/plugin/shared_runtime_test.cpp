// The shipped DLL in a player whose other plugins brought GCC's shared
// runtime DLLs into the process: hostsim preloads one of Debian's before the
// plugin, and a failed post, on the monitor's thread and from the dialog's
// Test button, must show its usual box while the player lives on and quits
// normally. A 32-bit matter only: 64-bit code unwinds through the system.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ui/config-rc.h"
#include "settings_file.h"
#include "support/dialog_driver.h"
#include "support/plugin_sandbox.h"
#include "support/ui_robot.h"

namespace {

constexpr DWORD kWaitMs = 15000;  // generous: a cold Wine process and its first window
constexpr DWORD kPollMs = 20;

const char kRefusedServer[] = "127.255.255.1";  // nothing listens there
const char kUnresolvableServer[] = "tunewire-runtime.invalid";
const char kRefusedText[] = "Generic Error Code: 12029";
const char kUnresolvableText[] =
    "Failed to connect to server, check the server address is correct.";

// The player stand-in, run on a copy of the DLL with a one-track playlist:
// the monitor posts the track while the host's thread holds the plugin's
// configuration dialog open, and quits once the test cancels that dialog.
class StandInPlayer {
public:
    StandInPlayer(const std::string& preload, const std::string& server)
    {
        const std::string dll = folder_.Path() + "gen_tunewire.dll";
        CopyFileA((BinaryDirectory() + "gen_tunewire.dll").c_str(), dll.c_str(), FALSE);
        WriteWholeFile(folder_.Path() + "plugin.ini", SettingsFileText(server, "/np.php?track="));
        WriteWholeFile(folder_.Path() + "playlist.txt",
                       "0 entry 1 \"C:\\Music\\a.mp3\" \"A\"\n0 play 1 100\n0 config\n0 quit\n");
        std::string command = "\"" + BinaryDirectory() + "hostsim.exe\" --preload \"" +
                              BinaryDirectory() + preload + "\" \"" + dll + "\" \"" +
                              folder_.Path() + "playlist.txt\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process_);
    }

    ~StandInPlayer()
    {
        if (process_.hProcess == nullptr)
            return;
        if (Running())
            TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kWaitMs);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    StandInPlayer(const StandInPlayer&) = delete;
    StandInPlayer& operator=(const StandInPlayer&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    DWORD MainThreadId() const { return process_.dwThreadId; }
    bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    // Waits until `robot` has seen `count` boxes, or until the process ends.
    bool WaitForBoxes(const UiRobot& robot, size_t count) const
    {
        const DWORD start = GetTickCount();
        while (!robot.WaitForBoxes(count, kPollMs)) {
            if (!Running() || GetTickCount() - start >= kWaitMs)
                return false;
        }
        return true;
    }

    // Waits for the process to end; its exit code, or STILL_ACTIVE.
    DWORD ExitCode() const
    {
        WaitForSingleObject(process_.hProcess, kWaitMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    TempDir folder_;
    PROCESS_INFORMATION process_ = {};
};

// A shared runtime (copied beside the tests by the build, with the DLLs it
// needs) and a server a post fails on.
struct RuntimeRow {
    const char* name;
    const char* runtime;
    const char* server;
    const char* text;
    bool monitorDialog;  // a monitor post that finds no such name opens the dialog
};

const char kWin32Gcc[] = "shared-runtimes\\win32\\libgcc_s_dw2-1.dll";
const char kPosixCxx[] = "shared-runtimes\\posix\\libstdc++-6.dll";
const char kPosixThreads[] = "shared-runtimes\\posix\\libwinpthread-1.dll";

const RuntimeRow kRows[] = {
    {"GccRuntimeRefused", kWin32Gcc, kRefusedServer, kRefusedText, false},
    {"GccRuntimeUnresolvable", kWin32Gcc, kUnresolvableServer, kUnresolvableText, true},
    {"CxxRuntimeRefused", kPosixCxx, kRefusedServer, kRefusedText, false},
    {"CxxRuntimeUnresolvable", kPosixCxx, kUnresolvableServer, kUnresolvableText, true},
    {"ThreadRuntimeRefused", kPosixThreads, kRefusedServer, kRefusedText, false},
    {"ThreadRuntimeUnresolvable", kPosixThreads, kUnresolvableServer, kUnresolvableText, true},
};

void PrintTo(const RuntimeRow& row, std::ostream* out)
{
    *out << row.name;
}

class SharedRuntimeTest : public ::testing::TestWithParam<RuntimeRow> {};

TEST_P(SharedRuntimeTest, FailedPostsShowTheirBoxAndThePlayerLives)
{
#ifdef _WIN64
    GTEST_SKIP() << "64-bit code unwinds through the system's tables; only the 32-bit start-up "
                    "code can hand the DLL's unwind tables to a shared runtime";
#endif
    const RuntimeRow& row = GetParam();
    StandInPlayer player(row.runtime, row.server);
    ASSERT_TRUE(player.Started());
    UiRobot robot(player.ProcessId());

    // The monitor's post.
    ASSERT_TRUE(player.WaitForBoxes(robot, 1))
        << "the player ended with code " << player.ExitCode() << " before any box";
    const SeenBox monitorBox = robot.Boxes()[0];
    EXPECT_NE(player.MainThreadId(), monitorBox.threadId);
    EXPECT_EQ("Tunewire Plugin", monitorBox.caption);
    EXPECT_EQ(row.text, monitorBox.text);
    if (row.monitorDialog) {
        HWND dialog = WaitForConfigDialog(monitorBox.threadId, kWaitMs);
        ASSERT_NE(nullptr, dialog);
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilClosed(dialog, kWaitMs));
    }

    // The Test button's post, on the host's thread.
    HWND hostDialog = WaitForConfigDialog(player.MainThreadId(), kWaitMs);
    ASSERT_NE(nullptr, hostDialog);
    PressButton(hostDialog, IDC_TEST);
    ASSERT_TRUE(player.WaitForBoxes(robot, 2))
        << "the player ended with code " << player.ExitCode() << " at the Test";
    EXPECT_EQ(player.MainThreadId(), robot.Boxes()[1].threadId);
    EXPECT_EQ(row.text, robot.Boxes()[1].text);

    ASSERT_TRUE(player.Running());
    PressButton(hostDialog, IDCANCEL);
    EXPECT_EQ(0u, player.ExitCode());
    EXPECT_EQ(2u, robot.Boxes().size());
}

INSTANTIATE_TEST_SUITE_P(Rows, SharedRuntimeTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<RuntimeRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
