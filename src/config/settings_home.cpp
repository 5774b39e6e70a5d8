// The file beside the module can refuse writes (Program Files for a user
// without elevation) or, worse, seem to take them: a player run with file
// virtualization (an old program on Vista and later) has its writes there
// land in a per-user VirtualStore copy that an editor started by the shell
// does not see. Both move the settings to the per-user file. Everything here
// holds the settings lock, and no box is shown while it is held. Paths are
// kept in UTF-8 and handed to the platform's wide functions, since the
// per-user folder holds the user's name.
#include "config/settings_home.h"

#include <shlobj.h>

#include "common/replace_file.h"
#include "common/text_convert.h"
#include "common/unique_handle.h"
#include "config/module_paths.h"
#include "config/section_reader.h"
#include "config/settings.h"
#include "config/settings_lock.h"
#include "config/user_settings_file.h"
#include "host/plugin.h"

namespace {

const wchar_t kSettingsMovedStart[] =
    L"Windows does not let the plugin write to its own folder (as under Program Files), "
    L"so your settings are now stored for your Windows account in\n\n";
const wchar_t kSettingsMovedEnd[] = L"\n\nThe plugin reads them from there from now on.";
const wchar_t kVirtualStore[] = L"\\VirtualStore";
const wchar_t kProbeName[] = L"tunewire-write-check.tmp";

std::vector<wchar_t> WidePath(const std::string& file)
{
    return WideFrom(file, CP_UTF8);
}

bool IsModuleFile(const std::string& file)
{
    return file == BytesFrom(GetWideSettingsFilePath());
}

bool ProcessIsVirtualized()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    UniqueHandle token(raw);
    // Windows XP knows no such class and refuses the query: never virtualized.
    DWORD enabled = 0;
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenVirtualizationEnabled, &enabled,
                               sizeof enabled, &size) &&
           enabled != 0;
}

// Whether a file written beside `file` shows up in the VirtualStore copy of
// its folder (the folder's path without its drive, under the local
// application-data folder): only then are writes there redirected.
bool WritesAreVirtualized(const std::string& file)
{
    if (!ProcessIsVirtualized() || file.size() < 3 || file[1] != ':')
        return false;
    wchar_t localData[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                         localData) != S_OK)
        return false;
    wchar_t probe[kPathSize];
    lstrcpynW(probe, WidePath(file).data(), kPathSize);
    ReplaceWideFileName(probe, kProbeName);
    UniqueHandle written(CreateFileW(probe, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (written.Get() == INVALID_HANDLE_VALUE) {
        written.Release();
        return false;
    }
    wchar_t copy[2 * kPathSize];
    lstrcpynW(copy, localData, kPathSize);
    lstrcatW(copy, kVirtualStore);
    lstrcatW(copy, probe + 2);
    return GetFileAttributesW(copy) != INVALID_FILE_ATTRIBUTES;
}

// Whether an editor can save `file`: it opens for writing, or is created,
// with the plugin's section, when it does not exist yet.
bool CanEdit(const std::string& file)
{
    UniqueHandle handle(CreateFileW(WidePath(file).data(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        handle.Release();
        // A reader holding the file says nothing of whether it can be saved.
        return IsHeldByReader(error);
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    const std::string section = "[" + std::string(kProductName) + "]\r\n";
    DWORD written = 0;
    return WriteFile(handle.Get(), section.data(), static_cast<DWORD>(section.size()), &written,
                     nullptr) &&
           written == section.size();
}

unsigned long Apply(const std::string& file, const OptInValues& changes)
{
    std::string bytes;
    if (const unsigned long error = ReadSettingsFileBytes(WidePath(file).data(), bytes))
        return error;
    return ReplaceSettingsBytes(file, EditOptInKeys(bytes, changes));
}

// The per-user file after a move; empty when the settings could not move.
std::string MovedFile()
{
    if (!MoveSettingsToUserFile())
        return "";
    return BytesFrom(GetUserSettingsFilePath());
}

}  // namespace

SettingsChange StoreOptInChanges(const OptInValues& changes)
{
    SettingsLock lock;
    SettingsChange result;
    result.file = BytesFrom(SettingsFileInUse());
    if (changes.empty())
        return result;
    const bool besideModule = result.file.empty() || IsModuleFile(result.file);
    if (besideModule && (result.file.empty() || WritesAreVirtualized(result.file))) {
        result.file = MovedFile();
        result.moved = true;
    }
    result.error = result.file.empty() ? ERROR_PATH_NOT_FOUND : Apply(result.file, changes);
    // A file in UTF-16 is refused wherever it is, and one that a reader holds
    // is writable again in a moment: moving would help neither.
    if (result.error != 0 && result.error != ERROR_UNSUPPORTED_TYPE &&
        !IsHeldByReader(result.error) && besideModule && !result.moved) {
        const std::string userFile = MovedFile();
        if (!userFile.empty()) {
            result.file = userFile;
            result.moved = true;
            result.error = Apply(userFile, changes);
        }
    }
    return result;
}

SettingsChange SettingsFileToEdit()
{
    SettingsLock lock;
    SettingsChange result;
    result.file = BytesFrom(SettingsFileInUse());
    if (!result.file.empty() && !IsModuleFile(result.file))
        return result;
    if (!result.file.empty() && !WritesAreVirtualized(result.file) && CanEdit(result.file))
        return result;
    result.file = MovedFile();
    result.moved = !result.file.empty();
    if (!result.moved)
        result.error = ERROR_ACCESS_DENIED;
    return result;
}

// Said once, by the change that moved the settings: later stores go to the
// same file without a word.
void ShowSettingsMovedNotice(HWND owner)
{
    wchar_t text[kPathSize + 256];
    lstrcpyW(text, kSettingsMovedStart);
    {
        SettingsLock lock;
        lstrcatW(text, GetUserSettingsFilePath());
    }
    lstrcatW(text, kSettingsMovedEnd);
    ShowSettingsBox(owner, text);
}

void ShowSettingsBox(HWND owner, const wchar_t* text)
{
    MessageBoxW(owner, text, WideFrom(kProductName, CP_ACP).data(), MB_OK);
}
