// A stand-in for the user's application-data folder, for tests of the
// per-user settings file. Every test of a build shares one Wine prefix, so a
// real %APPDATA%\Tunewire\plugin.ini would change what every other test, and
// every run of the real DLL, reads: the plugin's statically linked code is
// pointed at a temporary folder instead, removed with the object. The folder
// may be given a name of its own, for a user name outside the code page.
#pragma once

#include <shlobj.h>

#include <string>

#include "support/import_slot.h"
#include "support/plugin_sandbox.h"

class UserFolderStandIn {
public:
    // `userName` (optional) is made inside the temporary folder and stands in
    // as the application-data folder.
    explicit UserFolderStandIn(const std::wstring& userName = L"");
    ~UserFolderStandIn();
    UserFolderStandIn(const UserFolderStandIn&) = delete;
    UserFolderStandIn& operator=(const UserFolderStandIn&) = delete;

    // The stand-in application-data folder, with its trailing backslash; the
    // narrow form only for a name inside the code page.
    const std::wstring& WideFolder() const { return folder_; }
    std::string Folder() const;
    // Where the plugin keeps the per-user file under it.
    std::wstring WideIniPath() const { return folder_ + L"Tunewire\\plugin.ini"; }
    std::string IniPath() const { return Folder() + "Tunewire\\plugin.ini"; }
    bool IniExists() const;
    std::string ReadIni() const;
    void WriteIni(const std::string& contents) const;

private:
    TempDir temp_;
    std::wstring folder_;
    ImportReplacement<decltype(&SHGetFolderPathW)> swap_;
};

// Whole files by wide path, for folders named outside the code page.
std::string ReadWholeWideFile(const std::wstring& path);
void WriteWholeWideFile(const std::wstring& path, const std::string& contents);
