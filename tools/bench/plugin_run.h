// One life of the real plugin in the bench: gen_tunewire.dll (from beside
// bench.exe) is copied into a fresh temporary folder with a plugin.ini naming
// the bench's server (and any further lines the figure asks for), loaded
// through the player stand-in and started. The monitor thread is found as the
// thread that init added to the process at below-normal priority. The
// destructor quits if nobody did, unloads, waits for the monitor to end
// (pumping the host window meanwhile) and removes the folder with what the
// plugin wrote in it. Everything runs on the host window's thread.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"
#include "host_window.h"
#include "plugin_host.h"

class PluginRun {
public:
    PluginRun(HostWindow& window, const std::string& server, const std::string& lines = "");
    ~PluginRun();
    PluginRun(const PluginRun&) = delete;
    PluginRun& operator=(const PluginRun&) = delete;

    // Empty once init has run and the monitor thread is known.
    const std::string& Error() const { return error_; }
    HANDLE Monitor() const { return monitor_.Get(); }
    // A file's full path in the run's folder, where a relative name in
    // plugin.ini lies.
    std::string PathOf(const char* name) const { return folder_ + name; }

    // Calls quit and returns how long it took, in milliseconds.
    double Quit();

private:
    HostWindow& window_;
    std::string folder_;
    PluginHost host_;
    UniqueHandle monitor_;
    bool running_ = false;
    std::string error_;
};

// A file's full path in the folder that holds bench.exe.
std::string BesideBench(const char* name);
