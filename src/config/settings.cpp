// Loading and storing the two settings through the platform's private-profile
// functions, which leave every other section and key of the file untouched.
// No caching: every load reads the file again, and looks again for the
// per-user file, which stays the settings' home once it holds their section.
// The file beside the module is reached through the ANSI functions, as it
// always was; the per-user file through the wide ones, since its path holds
// the user's name, which may lie outside the ANSI code page. The values stay
// ANSI in both: the wide functions convert them through the same code page.
#include "config/settings.h"

#include <windows.h>

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "config/module_paths.h"
#include "config/settings_lock.h"
#include "config/user_settings_file.h"
#include "plugin/plugin.h"

char g_serverName[kSettingSize];
char g_formHandler[kSettingSize];

// A name under .invalid, which is reserved never to resolve: until the user
// enters a server, no title goes anywhere, and the first post reports the
// unknown name and opens the dialog.
const char kDefaultServerName[] = "your-server.invalid";
const char kDefaultFormHandler[] = "/MyFormHandler.php?track=";

namespace {

// Room for the plugin's section name, a short fixed product name.
constexpr int kSectionNameSize = 64;
// The key that remembers an untold move; the dialog removes it.
const wchar_t kMoveNoticeKey[] = L"SettingsMovedNotice";

// Room for the start of a list of key names; only whether there is one counts.
constexpr DWORD kKeyListSize = 16;
// Room for the section with both settings at their longest and the lines
// the user adds by hand; a section that does not fit is not copied, since a
// copy cut short would cut a value. On the stack: a static buffer would
// grow the DLL file by as much.
constexpr DWORD kSectionSize = 8192;

wchar_t g_wideSettingsFileInUse[kPathSize];

// `text` converted from the ANSI code page into `wide` (`size` units).
void Widen(const char* text, wchar_t* wide, int size)
{
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, size) == 0)
        wide[0] = L'\0';
}

// The plugin's section name for the wide functions.
struct WideSectionName {
    WideSectionName() { Widen(kProductName, text, kSectionNameSize); }
    wchar_t text[kSectionNameSize];
};

// Whether the per-user `file` holds the plugin's section with at least one key.
bool HoldsTheSection(const wchar_t* file)
{
    if (file[0] == L'\0')
        return false;
    wchar_t keys[kKeyListSize];
    return GetPrivateProfileStringW(WideSectionName().text, nullptr, L"", keys, kKeyListSize, file) > 0;
}

// Both keys into the file beside the module; false when either could not be
// written.
bool StoreBesideModule(const char* file)
{
    const bool server = WritePrivateProfileStringA(kProductName, "ServerName", g_serverName, file);
    const bool formHandler =
        WritePrivateProfileStringA(kProductName, "FormHandler", g_formHandler, file);
    return server && formHandler;
}

bool StoreWide(const wchar_t* section, const wchar_t* key, const char* value, const wchar_t* file)
{
    wchar_t wide[kSettingSize];
    Widen(value, wide, kSettingSize);
    return WritePrivateProfileStringW(section, key, wide, file) != FALSE;
}

// Both keys into the per-user file; false when either could not be written.
bool StoreInUserFile(const wchar_t* file)
{
    const WideSectionName section;
    const bool server = StoreWide(section.text, L"ServerName", g_serverName, file);
    const bool formHandler = StoreWide(section.text, L"FormHandler", g_formHandler, file);
    return server && formHandler;
}

void ReadWide(const wchar_t* section, const wchar_t* key, const char* fallback, char* value,
              const wchar_t* file)
{
    wchar_t wideFallback[kSettingSize];
    Widen(fallback, wideFallback, kSettingSize);
    wchar_t wide[kSettingSize];
    GetPrivateProfileStringW(section, key, wideFallback, wide, kSettingSize, file);
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, value, kSettingSize, nullptr, nullptr) == 0)
        value[0] = '\0';
}

// The plugin's whole section of the file beside the module into the per-user
// `to`, so keys the user added by hand (Charset) move along with the two
// settings.
void CopySection(const wchar_t* to)
{
    wchar_t from[kPathSize];
    lstrcpynW(from, GetWideSettingsFilePath(), kPathSize);
    const WideSectionName name;
    wchar_t section[kSectionSize];
    const DWORD length = GetPrivateProfileSectionW(name.text, section, kSectionSize, from);
    if (length > 0 && length < kSectionSize - 2)
        WritePrivateProfileSectionW(name.text, section, to);
}

}  // namespace

const wchar_t* SettingsFileInUse()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    lstrcpyW(g_wideSettingsFileInUse,
             HoldsTheSection(userFile) ? userFile : GetWideSettingsFilePath());
    return g_wideSettingsFileInUse;
}

void ReadSettings()
{
    SettingsLock lock;
    ReadCharsetSetting(SettingsFileInUse());
    const wchar_t* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile)) {
        const WideSectionName section;
        ReadWide(section.text, L"ServerName", kDefaultServerName, g_serverName, userFile);
        ReadWide(section.text, L"FormHandler", kDefaultFormHandler, g_formHandler, userFile);
        return;
    }
    const char* file = GetSettingsFilePath();
    // No path beside the module (module_paths.cpp): as if there were no file.
    if (file[0] == '\0') {
        CopyBounded(g_serverName, kDefaultServerName, g_serverName + kSettingSize - 1);
        CopyBounded(g_formHandler, kDefaultFormHandler, g_formHandler + kSettingSize - 1);
        return;
    }
    GetPrivateProfileStringA(kProductName, "ServerName", kDefaultServerName,
                             g_serverName, kSettingSize, file);
    GetPrivateProfileStringA(kProductName, "FormHandler", kDefaultFormHandler,
                             g_formHandler, kSettingSize, file);
}

// Settings already in the per-user file stay there, even when the folder
// beside the module has become writable: that file is what ReadSettings reads.
SettingsStore WriteSettings(StoreAttempts* attempts)
{
    StoreAttempts ignored;
    StoreAttempts& tried = attempts != nullptr ? *attempts : ignored;
    tried.count = 0;
    const auto failed = [&tried](const wchar_t* file) {
        tried.error[tried.count] = GetLastError();
        lstrcpynW(tried.file[tried.count], file, kPathSize);
        ++tried.count;
        return SettingsStore::kNotStored;
    };
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile))
        return StoreInUserFile(userFile) ? SettingsStore::kUserFile : failed(userFile);
    const char* file = GetSettingsFilePath();
    if (file[0] == '\0')
        return failed(GetWideSettingsFilePath());
    if (StoreBesideModule(file))
        return SettingsStore::kBesideModule;
    failed(GetWideSettingsFilePath());
    if (userFile[0] == L'\0')
        return SettingsStore::kNotStored;
    if (!CreateUserSettingsFolder())
        return failed(userFile);
    CopySection(userFile);
    if (!StoreInUserFile(userFile))
        return failed(userFile);
    return SettingsStore::kMovedToUserFile;
}

void OweSettingsMovedNotice()
{
    SettingsLock lock;
    WritePrivateProfileStringW(WideSectionName().text, kMoveNoticeKey, L"1",
                               GetUserSettingsFilePath());
}

bool TakeSettingsMovedNotice()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    const WideSectionName section;
    wchar_t value[4] = {};
    GetPrivateProfileStringW(section.text, kMoveNoticeKey, L"", value, 4, userFile);
    if (value[0] == L'\0')
        return false;
    WritePrivateProfileStringW(section.text, kMoveNoticeKey, nullptr, userFile);
    return true;
}

// The two keys are copied as the file beside the module holds them, never
// from the buffers: a Test may have left values there that the user did not
// store.
bool MoveSettingsToUserFile()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile))
        return true;
    if (userFile[0] == L'\0' || !CreateUserSettingsFolder())
        return false;
    const char* file = GetSettingsFilePath();
    char server[kSettingSize];
    char formHandler[kSettingSize];
    GetPrivateProfileStringA(kProductName, "ServerName", kDefaultServerName, server,
                             kSettingSize, file);
    GetPrivateProfileStringA(kProductName, "FormHandler", kDefaultFormHandler, formHandler,
                             kSettingSize, file);
    CopySection(userFile);
    const WideSectionName section;
    const bool stored = StoreWide(section.text, L"ServerName", server, userFile) &&
                        StoreWide(section.text, L"FormHandler", formHandler, userFile);
    return stored && HoldsTheSection(userFile);
}

char* GetServerName()
{
    return g_serverName;
}

char* GetFormHandler()
{
    return g_formHandler;
}
