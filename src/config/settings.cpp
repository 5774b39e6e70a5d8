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
// it). A file in UTF-16, which only the platform's own functions write, is
// still read and written through them for the two settings.
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
#include "plugin/plugin.h"

char g_serverName[kSettingSize];
char g_formHandler[kSettingSize];

// A name under .invalid, which is reserved never to resolve: until the user
// enters a server, no title goes anywhere, and the first post reports the
// unknown name and opens the dialog.
const char kDefaultServerName[] = "your-server.invalid";
const char kDefaultFormHandler[] = "/MyFormHandler.php?track=";

namespace {

const char kMoveNoticeKey[] = "SettingsMovedNotice";
const char kServerKey[] = "ServerName";
const char kFormHandlerKey[] = "FormHandler";
// Room for the plugin's section name, a short fixed product name.
constexpr int kSectionNameSize = 64;

wchar_t g_wideSettingsFileInUse[kPathSize];

// The settings file beside the module, named wide so that a folder outside
// the ANSI code page is found; empty, as if there were none, whenever the
// module's name cannot be had whole (module_paths.cpp).
const wchar_t* FileBesideModule()
{
    return GetSettingsFilePath()[0] == '\0' ? L"" : GetWideSettingsFilePath();
}

// A settings file's text as the store reads it.
struct FileText {
    DWORD error = 0;  // of the read; a missing file reads as empty
    bool utf16 = false;
    std::string bytes;
};

FileText Load(const wchar_t* file)
{
    FileText text;
    if (file[0] == L'\0')
        return text;
    text.error = ReadSettingsFileBytes(file, text.bytes);
    text.utf16 = text.error == ERROR_UNSUPPORTED_TYPE;
    if (text.utf16)
        text.error = 0;
    return text;
}

bool HasByteAbove7F(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) > 0x7F)
            return true;
    return false;
}

std::string Converted(const std::string& text, UINT from, UINT to)
{
    return BytesFrom(WideFrom(text, from).data(), to);
}

struct WideName {
    explicit WideName(const char* name) { MultiByteToWideChar(CP_ACP, 0, name, -1, text, kSectionNameSize); }
    wchar_t text[kSectionNameSize];
};

// `key`'s value as an ANSI setting into `value` (kSettingSize bytes), or
// `fallback` when the key is absent.
void ReadSetting(const FileText& text, const wchar_t* file, const char* key, const char* fallback,
                 char* value)
{
    std::string found = fallback;
    if (text.utf16) {
        wchar_t wide[kSettingSize];
        GetPrivateProfileStringW(WideName(kProductName).text, WideName(key).text,
                                 WideFrom(fallback, CP_ACP).data(), wide, kSettingSize, file);
        found = BytesFrom(wide, CP_ACP);
    } else if (FindSectionValue(text.bytes, key, found) && HasByteAbove7F(found) &&
               !WideFrom(found, CP_UTF8, MB_ERR_INVALID_CHARS).empty()) {
        found = Converted(found, CP_UTF8, CP_ACP);
    }
    CopyBounded(value, found.c_str(), value + kSettingSize - 1);
}

// An ANSI setting as the file holds it.
OptInValue FileValue(const char* setting)
{
    const std::string value = setting;
    return HasByteAbove7F(value) ? Converted(value, CP_ACP, CP_UTF8) : value;
}

// The keys of `changes` into `file`; 0 or the platform's error code.
DWORD Store(const wchar_t* file, const OptInValues& changes)
{
    const FileText text = Load(file);
    if (text.error != 0)
        return text.error;
    if (!text.utf16)
        return ReplaceSettingsBytes(BytesFrom(file), EditOptInKeys(text.bytes, changes));
    for (const auto& [key, value] : changes) {
        const bool written = WritePrivateProfileStringW(
            WideName(kProductName).text, WideName(key.c_str()).text,
            value ? WideFrom(*value, CP_UTF8).data() : nullptr, file);
        if (!written)
            return GetLastError();
    }
    return 0;
}

// Both settings from the buffers.
OptInValues BufferedSettings()
{
    return {{kServerKey, FileValue(g_serverName)}, {kFormHandlerKey, FileValue(g_formHandler)}};
}

// Whether the per-user `file` holds the plugin's section with at least one key.
bool HoldsTheSection(const wchar_t* file)
{
    const FileText text = Load(file);
    if (!text.utf16)
        return SectionHasKeys(text.bytes);
    wchar_t keys[16];
    return GetPrivateProfileStringW(WideName(kProductName).text, nullptr, L"", keys, 16, file) > 0;
}

// Begins the per-user file `to` with the plugin's section of the file beside
// the module, byte for byte, so the keys the user added by hand (Charset)
// move along with the two settings, after whatever `to` already holds.
// 0 or the platform's error code.
DWORD CopySection(const wchar_t* to)
{
    const FileText from = Load(FileBesideModule());
    const FileText existing = Load(to);
    if (existing.error != 0)
        return existing.error;
    if (existing.utf16)
        return ERROR_UNSUPPORTED_TYPE;
    std::string bytes = existing.bytes;
    const std::string section = from.utf16 ? std::string() : SectionBytes(from.bytes);
    // A section header without keys there already takes the copy's place.
    const std::string empty = SectionBytes(bytes);
    if (!empty.empty())
        bytes.erase(bytes.find(empty), empty.size());
    if (!bytes.empty() && bytes.back() != '\n' && !section.empty())
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
    const FileText text = Load(file);
    ReadSetting(text, file, kServerKey, kDefaultServerName, g_serverName);
    ReadSetting(text, file, kFormHandlerKey, kDefaultFormHandler, g_formHandler);
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
    if (HoldsTheSection(userFile)) {
        const DWORD error = Store(userFile, BufferedSettings());
        return error == 0 ? SettingsStore::kUserFile : failed(userFile, error);
    }
    const wchar_t* file = FileBesideModule();
    if (file[0] == L'\0')
        return failed(GetWideSettingsFilePath(), ERROR_PATH_NOT_FOUND);
    const DWORD error = Store(file, BufferedSettings());
    if (error == 0)
        return SettingsStore::kBesideModule;
    failed(file, error);
    if (IsHeldByReader(error) || error == ERROR_UNSUPPORTED_TYPE || userFile[0] == L'\0')
        return SettingsStore::kNotStored;
    if (!CreateUserSettingsFolder())
        return failed(userFile, GetLastError());
    const DWORD copyError = CopySection(userFile);
    if (copyError != 0)
        return failed(userFile, copyError);
    const DWORD userError = Store(userFile, BufferedSettings());
    return userError == 0 ? SettingsStore::kMovedToUserFile : failed(userFile, userError);
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
    if (!FindSectionValue(Load(userFile).bytes, kMoveNoticeKey, value) || value.empty())
        return false;
    Store(userFile, {{kMoveNoticeKey, std::nullopt}});
    return true;
}

// The two keys are copied as the file beside the module holds them, never
// from the buffers: a Test may have left values there that the user did not
// store. Absent keys are written with their defaults, so the per-user file
// holds the section from now on.
bool MoveSettingsToUserFile()
{
    SettingsLock lock;
    const wchar_t* userFile = GetUserSettingsFilePath();
    if (HoldsTheSection(userFile))
        return true;
    if (userFile[0] == L'\0' || !CreateUserSettingsFolder())
        return false;
    const wchar_t* file = FileBesideModule();
    const FileText beside = Load(file);
    char server[kSettingSize];
    char formHandler[kSettingSize];
    ReadSetting(beside, file, kServerKey, kDefaultServerName, server);
    ReadSetting(beside, file, kFormHandlerKey, kDefaultFormHandler, formHandler);
    if (CopySection(userFile) != 0)
        return false;
    const FileText copied = Load(userFile);
    OptInValues missing;
    std::string present;
    if (!FindSectionValue(copied.bytes, kServerKey, present))
        missing.emplace_back(kServerKey, FileValue(server));
    if (!FindSectionValue(copied.bytes, kFormHandlerKey, present))
        missing.emplace_back(kFormHandlerKey, FileValue(formHandler));
    return (missing.empty() || Store(userFile, missing) == 0) && HoldsTheSection(userFile);
}

char* GetServerName()
{
    return g_serverName;
}

char* GetFormHandler()
{
    return g_formHandler;
}
