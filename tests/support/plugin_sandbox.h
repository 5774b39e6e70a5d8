// A private copy of gen_tunewire.dll in a fresh temporary folder, loaded into
// the test process. Tests run in parallel, and the plugin keeps plugin.ini
// beside its module, so every test gets a folder of its own.
//
// Tests that link the plugin's code statically point the static descriptor's
// moduleInstance at the copy: the settings then live in the sandbox, and the
// dialog template is found in the real DLL.
#pragma once

#include <windows.h>

#include <string>

#include "host/plugin.h"

// The folder that holds the test executable, gen_tunewire.dll and hostsim.exe.
std::string BinaryDirectory();

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path with its trailing backslash.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class PluginSandbox {
public:
    // `subfolder` (optional) is created inside the temporary folder and the DLL
    // copied there, for tests that need a long or unusual module path.
    explicit PluginSandbox(const std::string& subfolder = "");
    ~PluginSandbox();
    PluginSandbox(const PluginSandbox&) = delete;
    PluginSandbox& operator=(const PluginSandbox&) = delete;

    const std::string& Directory() const { return directory_; }
    std::string IniPath() const { return directory_ + "plugin.ini"; }
    HMODULE Module() const { return module_; }

    // The loaded copy's own record, from its export.
    PluginDescriptor* Descriptor() const;

    // Points the statically linked descriptor at this copy.
    void AdoptAsStaticModule() const;

    void WriteIni(const std::string& contents) const;
    std::string ReadIni() const;
    // Unloads the copy early, for tests of what happens after the host unloads.
    void Unload();

private:
    TempDir temp_;
    std::string directory_;
    HMODULE module_ = nullptr;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& contents);
