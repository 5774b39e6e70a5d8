// A stand-in for the user's application-data folder, for tests of the
// per-user settings file. Every test of a build shares one Wine prefix, so a
// real %APPDATA%\Tunewire\plugin.ini would change what every other test, and
// every run of the real DLL, reads: the plugin's statically linked code is
// pointed at a temporary folder instead, removed with the object.
#pragma once

#include <shlobj.h>

#include <string>

#include "support/import_slot.h"
#include "support/plugin_sandbox.h"

class UserFolderStandIn {
public:
    UserFolderStandIn();
    ~UserFolderStandIn();
    UserFolderStandIn(const UserFolderStandIn&) = delete;
    UserFolderStandIn& operator=(const UserFolderStandIn&) = delete;

    // The stand-in application-data folder, with its trailing backslash.
    const std::string& Folder() const { return temp_.Path(); }
    // Where the plugin keeps the per-user file under it.
    std::string IniPath() const { return Folder() + "Tunewire\\plugin.ini"; }
    bool IniExists() const;
    std::string ReadIni() const;
    void WriteIni(const std::string& contents) const;

private:
    TempDir temp_;
    ImportReplacement<decltype(&SHGetFolderPathA)> swap_;
};
