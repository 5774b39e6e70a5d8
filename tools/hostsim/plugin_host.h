// Loads a general-purpose plugin DLL and drives it the way the player does:
// take the record from the export, write the main window and the module
// handle into it, then init, any number of configs, quit, unload.
#pragma once

#include <windows.h>

#include <string>

#include "host/plugin.h"

// Calls the plugin's quit and returns how long it took, in milliseconds: how
// long the player's thread was held.
DWORD TimedQuit(PluginDescriptor& descriptor);

class PluginHost {
public:
    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the DLL and takes its record; false with Error() set on failure.
    bool Load(const std::string& dllPath, HWND mainWindow);
    const std::string& Error() const { return error_; }

    PluginDescriptor* Descriptor() const { return descriptor_; }
    const char* Description() const { return descriptor_->description; }

    int Init() { return descriptor_->init(); }
    void Config() { descriptor_->config(); }
    DWORD Quit() { return TimedQuit(*descriptor_); }
    void Unload();

private:
    HMODULE module_ = nullptr;
    PluginDescriptor* descriptor_ = nullptr;
    std::string error_;
};
