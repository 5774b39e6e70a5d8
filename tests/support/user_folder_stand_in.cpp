// The stand-in answers SHGetFolderPathW for the application-data folder only,
// through this executable's import slot, which the plugin's statically linked
// code calls; every other folder comes from the real function.
#include "support/user_folder_stand_in.h"

#include <vector>

namespace {

// The replacement has no other way to find its folder. A second stand-in at
// once cannot be made: the import slot no longer holds the real function.
std::wstring g_standInFolder;
// Taken once, from shell32 itself: the slot holds it until the swap.
const auto g_realGetFolderPath = reinterpret_cast<decltype(&SHGetFolderPathW)>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetFolderPathW")));

HRESULT WINAPI StandInGetFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path)
{
    if ((folder & ~CSIDL_FLAG_MASK) != CSIDL_APPDATA)
        return g_realGetFolderPath(owner, folder, token, flags, path);
    // The real function gives the folder without a trailing backslash.
    const std::wstring withoutSlash = g_standInFolder.substr(0, g_standInFolder.size() - 1);
    lstrcpyW(path, withoutSlash.c_str());
    return S_OK;
}

std::wstring Widened(const std::string& text)
{
    std::vector<wchar_t> wide(text.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide.data();
}

}  // namespace

UserFolderStandIn::UserFolderStandIn(const std::wstring& userName)
    : folder_(Widened(temp_.Path()) + (userName.empty() ? L"" : userName + L"\\")),
      swap_("shell32.dll", g_realGetFolderPath, &StandInGetFolderPath)
{
    CreateDirectoryW(folder_.c_str(), nullptr);
    g_standInFolder = folder_;
}

UserFolderStandIn::~UserFolderStandIn()
{
    g_standInFolder.clear();
    if (folder_ != Widened(temp_.Path())) {
        DeleteFileW(WideIniPath().c_str());
        RemoveDirectoryW((folder_ + L"Tunewire").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
}

std::string UserFolderStandIn::Folder() const
{
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, folder_.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

bool UserFolderStandIn::IniExists() const
{
    return GetFileAttributesW(WideIniPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string UserFolderStandIn::ReadIni() const
{
    return ReadWholeWideFile(WideIniPath());
}

void UserFolderStandIn::WriteIni(const std::string& contents) const
{
    CreateDirectoryW((folder_ + L"Tunewire").c_str(), nullptr);
    WriteWholeWideFile(WideIniPath(), contents);
}

std::string ReadWholeWideFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string contents(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!contents.empty())
        ReadFile(file, &contents[0], static_cast<DWORD>(contents.size()), &got, nullptr);
    CloseHandle(file);
    contents.resize(got);
    return contents;
}

void WriteWholeWideFile(const std::wstring& path, const std::string& contents)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
}
