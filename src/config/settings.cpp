// Loading and storing the two settings, and every other key of the plugin's
// section, through one reader and one editor of the file's bytes
// (config/section_reader.h, config/optin_file.h): a store changes the lines
// of the keys it writes and no other byte of the file. No caching: every load
// reads the file again, and looks again for the per-user file, which stays
// the settings' home once it holds their section.
//
// The two settings are ANSI in memory. In the file an ASCII value stands as
// it is, so files of earlier versions read the same both ways; a value with
// other characters is written as UTF-8 and read back from UTF-8 (or, where
// the bytes are not UTF-8, from the ANSI code page, as an older file holds
// it). A file in UTF-16 is read as its text and stored in UTF-16 again.
#include "config/settings.h"

#include <windows.h>

#include "common/bounded_copy.h"
#include "common/replace_file.h"
#include "common/text_convert.h"
#include "config/charset_setting.h"
#include "config/module_paths.h"
#include "config/optin_file.h"
#include "config/section_reader.h"
#include "config/settings_lock.h"
#include "config/user_settings_file.h"
#include "host/plugin.h"

char g_serverName[kSettingSize];
char g_formHandler[kSettingSize];

// A name under .invalid, which is reserved never to resolve: until the user
// enters a server, no title goes anywhere, and the first post reports the
// unknown name and opens the dialog.
const char kDefaultServerName[] = "your-server.invalid";
const char kDefaultFormHandler[] = "/MyFormHandler.php?track=";

namespace {

const char kMoveNoticeKey[] = "SettingsMovedNotice";
// The two settings' keys, in the order they are written, with their buffers
// and defaults.
const char* const kSettingKeys[] = {"ServerName", "FormHandler"};
char* const kSettingBuffers[] = {g_serverName, g_formHandler};
const char* const kSettingDefaults[] = {kDefaultServerName, kDefaultFormHandler};
constexpr int kSettingCount = 2;

wchar_t g_wideSettingsFileInUse[kPathSize];

// The settings file beside the module, named wide so that a folder outside
// the ANSI code page is found; empty, as if there were none, whenever the
// module's name cannot be had whole (module_paths.cpp).
const wchar_t* FileBesideModule()
{
    return GetSettingsFilePath()[0] == '\0' ? L"" : GetWideSettingsFilePath();
}

// A settings file's bytes; an unreadable or missing file reads as empty.
// A file in UTF-16 reads as its text in UTF-8, with `utf16` set, so the same
// rules read it; it is stored in UTF-16 again.
std::string Load(const wchar_t* file, bool& utf16)
{
    std::string bytes;
    utf16 = false;
    if (file[0] != L'\0')
        ReadSettingsFileBytes(file, bytes, &utf16);
    return bytes;
}

std::string Load(const wchar_t* file)
{
    bool utf16 = false;
    return Load(file, utf16);
}

// Setting `index` from the file's `bytes` into `value` (kSettingSize bytes),
// or its default when the key is absent.
void ReadSetting(const std::string& bytes, int index, char* value)
{
    std::string found = kSettingDefaults[index];
    if (FindSectionValue(bytes, kSettingKeys[index], found) && !IsAscii(found) &&
        !WideFrom(found, CP_UTF8, MB_ERR_INVALID_CHARS).empty())
        found = BytesFrom(WideFrom(found, CP_UTF8).data(), CP_ACP);
    CopyBounded(value, found.c_str(), value + kSettingSize - 1);
}

// A file's text (UTF-8) as its bytes, in UTF-16 again where it was.
std::string Encoded(const std::string& text, bool utf16)
{
    if (!utf16)
        return text;
    const std::vector<wchar_t> wide = WideFrom(text, CP_UTF8);
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()),
                                    2 * (wide.size() - 1));
}

// The keys of `changes` into `file`; 0 or the platform's error code.
DWORD Store(const wchar_t* file, const OptInValues& changes)
{
    bool utf16 = false;
    const std::string bytes = Load(file, utf16);
    return ReplaceSettingsBytes(BytesFrom(file), Encoded(EditOptInKeys(bytes, changes), utf16));
}

// An ANSI setting as the file holds it: an ASCII value as it is, any other
// as UTF-8.
OptInValue FileValue(const char* setting)
{
    const std::string value = setting;
    return IsAscii(value) ? value : BytesFrom(WideFrom(value, CP_ACP).data());
}

// The two settings `values` (ANSI) into `file`.
DWORD StoreSettings(const wchar_t* file, const char* const* values)
{
    return Store(file, {{kSettingKeys[0], FileValue(values[0])},
                        {kSettingKeys[1], FileValue(values[1])}});
}

// Whether `file` holds the plugin's section with at least one key.
bool HoldsTheSection(const wchar_t* file)
{
    return SectionHasKeys(Load(file));
}

// Begins the per-user file `to` with the plugin's section of the file beside
// the module, byte for byte, so the keys the user added by hand (Charset)
// move along with the two settings, after whatever `to` already holds; a
// section header there without keys gives way to it. 0 or the platform's
// error code.
DWORD CopySection(const wchar_t* to)
{
    if (!CreateUserSettingsFolder())
        return GetLastError();
    const std::string section = SectionBytes(Load(FileBesideModule()));
    std::string bytes = Load(to);
    const std::string empty = SectionBytes(bytes);
    if (!empty.empty())
        bytes.erase(bytes.find(empty), empty.size());
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += "\r\n";
    return ReplaceSettingsBytes(BytesFrom(to), bytes + section);
}

}  // namespace

const wchar_t* SettingsFileInUse()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    lstrcpyW(g_wideSettingsFileInUse,
             HoldsTheSection(userFile) ? userFile : FileBesideModule());
    return g_wideSettingsFileInUse;
}

// No path beside the module (module_paths.cpp) reads as if there were no file.
void ReadSettings()
{
    SettingsLock lock;
    const wchar_t* file = SettingsFileInUse();
    ReadCharsetSetting(file);
    const std::string bytes = Load(file);
    for (int i = 0; i < kSettingCount; ++i)
        ReadSetting(bytes, i, kSettingBuffers[i]);
}

// Settings already in the per-user file stay there, even when the folder
// beside the module has become writable: that file is what ReadSettings reads.
// Only a file beside the module that refuses the write moves them: a reader
// that holds it (an editor, a backup, an indexer) makes this store fail and
// leaves them where they are.
SettingsStore WriteSettings(StoreAttempts* attempts)
{
    StoreAttempts ignored;
    StoreAttempts& tried = attempts != nullptr ? *attempts : ignored;
    tried.count = 0;
    const auto failed = [&tried](const wchar_t* file, DWORD error) {
        tried.error[tried.count] = error;
        lstrcpynW(tried.file[tried.count], file, kPathSize);
        ++tried.count;
        return SettingsStore::kNotStored;
    };
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    const bool inUserFile = HoldsTheSection(userFile);
    const wchar_t* file = inUserFile ? userFile : FileBesideModule();
    if (file[0] == L'\0')
        return failed(GetWideSettingsFilePath(), ERROR_PATH_NOT_FOUND);
    DWORD error = StoreSettings(file, kSettingBuffers);
    if (error == 0)
        return inUserFile ? SettingsStore::kUserFile : SettingsStore::kBesideModule;
    failed(file, error);
    if (inUserFile || IsHeldByReader(error) || userFile[0] == L'\0')
        return SettingsStore::kNotStored;
    error = CopySection(userFile);
    if (error == 0)
        error = StoreSettings(userFile, kSettingBuffers);
    return error == 0 ? SettingsStore::kMovedToUserFile : failed(userFile, error);
}

void OweSettingsMovedNotice()
{
    SettingsLock lock;
    Store(GetUserSettingsFilePath(), {{kMoveNoticeKey, OptInValue("1")}});
}

bool TakeSettingsMovedNotice()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    std::string value;
    if (!FindSectionValue(Load(userFile), kMoveNoticeKey, value) || value.empty())
        return false;
    Store(userFile, {{kMoveNoticeKey, std::nullopt}});
    return true;
}

// The two keys are stored as the file beside the module holds them, never
// from the buffers: a Test may have left values there that the user did not
// store. Keys absent there are written with their defaults, so the per-user
// file holds the section from now on.
bool MoveSettingsToUserFile()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile))
        return true;
    if (userFile[0] == L'\0')
        return false;
    const wchar_t* file = FileBesideModule();
    const std::string bytes = Load(file);
    char values[kSettingCount][kSettingSize];
    const char* stored[kSettingCount];
    for (int i = 0; i < kSettingCount; ++i) {
        ReadSetting(bytes, i, values[i]);
        stored[i] = values[i];
    }
    return CopySection(userFile) == 0 && StoreSettings(userFile, stored) == 0 &&
           HoldsTheSection(userFile);
}

char* GetServerName()
{
    return g_serverName;
}

char* GetFormHandler()
{
    return g_formHandler;
}
