// The real gen_tunewire.dll, copied into a sandbox folder and driven the way
// the player drives it, with a stand-in main window on the test's thread that
// answers the plugin's track queries. The test's thread must pump (through
// Window().Pump / PumpUntil) for queries to be answered.
#pragma once

#include <string>

#include "host_window.h"
#include "plugin_host.h"
#include "support/plugin_sandbox.h"

class HostedPlugin {
public:
    HostedPlugin();

    PluginSandbox& Sandbox() { return sandbox_; }
    HostWindow& Window() { return window_; }
    PluginDescriptor* Descriptor() { return descriptor_; }

    // Writes the two settings into the sandbox's plugin.ini.
    void Configure(const std::string& server, const std::string& formPath);

    int Init() { return descriptor_->init(); }
    DWORD Quit() { return TimedQuit(*descriptor_); }

private:
    PluginSandbox sandbox_;
    HostWindow window_;
    PluginDescriptor* descriptor_;
};
