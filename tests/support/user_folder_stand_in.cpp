// The stand-in answers SHGetFolderPathA for the application-data folder only,
// through this executable's import slot, which the plugin's statically linked
// code calls; every other folder comes from the real function.
#include "support/user_folder_stand_in.h"

#include <cstring>

namespace {

// The replacement has no other way to find its folder. A second stand-in at
// once cannot be made: the import slot no longer holds the real function.
std::string g_standInFolder;
// Taken once, from shell32 itself: the slot holds it until the swap.
const auto g_realGetFolderPath = reinterpret_cast<decltype(&SHGetFolderPathA)>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetFolderPathA")));

HRESULT WINAPI StandInGetFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path)
{
    if ((folder & ~CSIDL_FLAG_MASK) != CSIDL_APPDATA)
        return g_realGetFolderPath(owner, folder, token, flags, path);
    // The real function gives the folder without a trailing backslash.
    const std::string withoutSlash = g_standInFolder.substr(0, g_standInFolder.size() - 1);
    std::strcpy(path, withoutSlash.c_str());
    return S_OK;
}

}  // namespace

UserFolderStandIn::UserFolderStandIn()
    : swap_("shell32.dll", g_realGetFolderPath, &StandInGetFolderPath)
{
    g_standInFolder = temp_.Path();
}

UserFolderStandIn::~UserFolderStandIn()
{
    g_standInFolder.clear();
}

bool UserFolderStandIn::IniExists() const
{
    return GetFileAttributesA(IniPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string UserFolderStandIn::ReadIni() const
{
    return ReadWholeFile(IniPath());
}

void UserFolderStandIn::WriteIni(const std::string& contents) const
{
    CreateDirectoryA((Folder() + "Tunewire").c_str(), nullptr);
    WriteWholeFile(IniPath(), contents);
}
