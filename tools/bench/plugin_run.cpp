#include "plugin_run.h"

#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

#include "loopback/clock.h"
#include "settings_file.h"

namespace {

// A monitor ends within a second of quit unless a post holds it; a held post
// is released by the bench before the run ends.
constexpr DWORD kMonitorEndTimeoutMs = 10000;

std::vector<DWORD> ThreadsOfThisProcess()
{
    std::vector<DWORD> ids;
    HANDLE handle = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (handle == INVALID_HANDLE_VALUE)
        return ids;
    UniqueHandle snapshot(handle);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(entry.th32ThreadID);
    return ids;
}

// The thread that appeared since `before` and runs at below-normal priority,
// as init leaves its monitor; null if there is none.
HANDLE FindMonitor(const std::vector<DWORD>& before)
{
    for (DWORD id : ThreadsOfThisProcess()) {
        if (std::find(before.begin(), before.end(), id) != before.end())
            continue;
        HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, id);
        if (thread != nullptr && GetThreadPriority(thread) == THREAD_PRIORITY_BELOW_NORMAL)
            return thread;
        if (thread != nullptr)
            CloseHandle(thread);
    }
    return nullptr;
}

// Every file in `folder` (with its backslash): the DLL, plugin.ini and
// whatever the plugin wrote beside them. "." and ".." are refused as folders.
void DeleteFilesIn(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE found = FindFirstFileA((folder + "*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE)
        return;
    std::unique_ptr<void, decltype(&FindClose)> search(found, &FindClose);
    do
        DeleteFileA((folder + entry.cFileName).c_str());
    while (FindNextFileA(search.get(), &entry));
}

}  // namespace

std::string BesideBench(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

PluginRun::PluginRun(HostWindow& window, const std::string& server, const std::string& lines)
    : window_(window)
{
    static int runs = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "tunewire-bench-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++runs) + "\\";
    if (!CreateDirectoryA(folder_.c_str(), nullptr) ||
        !CopyFileA(BesideBench("gen_tunewire.dll").c_str(), (folder_ + "gen_tunewire.dll").c_str(),
                   TRUE)) {
        error_ = "cannot prepare " + folder_;
        return;
    }
    std::ofstream(folder_ + "plugin.ini", std::ios::binary)
        << SettingsFileText(server, "/bench/form") + lines;
    const std::vector<DWORD> before = ThreadsOfThisProcess();
    if (!host_.Load(folder_ + "gen_tunewire.dll", window_.Handle())) {
        error_ = host_.Error();
        return;
    }
    host_.Init();
    running_ = true;
    monitor_.Reset(FindMonitor(before));
    if (!monitor_)
        error_ = "no new thread at below-normal priority after init";
}

PluginRun::~PluginRun()
{
    if (running_)
        Quit();
    host_.Unload();
    if (monitor_)
        window_.PumpUntil(
            [this] { return WaitForSingleObject(monitor_.Get(), 0) == WAIT_OBJECT_0; },
            kMonitorEndTimeoutMs);
    DeleteFilesIn(folder_);
    RemoveDirectoryA(folder_.c_str());
}

double PluginRun::Quit()
{
    running_ = false;
    double start = NowMs();
    host_.Descriptor()->quit();
    return NowMs() - start;
}
