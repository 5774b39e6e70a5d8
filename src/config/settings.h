// The plugin's two settings and the settings file "plugin.ini" they live in:
// the one beside the module or, once the settings have had to move there, the
// per-user one (config/user_settings_file.h).
//
// The buffers are shared by the host's thread and the monitor thread. Hold a
// SettingsLock (config/settings_lock.h) while refilling them or while reading
// and copying them; never while a message box, a dialog or a network call is
// in progress. The plugin's code reaches them through GetServerName and
// GetFormHandler, which return the buffers themselves.
#pragma once

#include <windows.h>

#include "config/module_paths.h"

constexpr int kSettingSize = 1024;  // characters, the terminating zero included

extern char g_serverName[kSettingSize];
extern char g_formHandler[kSettingSize];

extern const char kDefaultServerName[];
extern const char kDefaultFormHandler[];

// Where a store put the settings.
enum class SettingsStore {
    kBesideModule,
    kUserFile,
    kMovedToUserFile,  // the file beside the module could not be written, so
                       // this store began the per-user file
    kNotStored,
};

// The file ReadSettings reads, wide: the per-user file when it holds the
// plugin's section, else the one beside the module (empty when that has no
// path). The buffer is rebuilt by the next call: hold a SettingsLock while
// calling and copying.
const wchar_t* SettingsFileInUse();
// Reads the per-user file's section when that exists, else the file beside
// the module.
void ReadSettings();
// Where a store that came to nothing tried, for the user: each file and the
// platform's error for it.
struct StoreAttempts {
    int count = 0;
    wchar_t file[2][kPathSize];
    DWORD error[2];
};

// Stores where ReadSettings reads, moving the settings to the per-user file
// when the file beside the module cannot be written. With `attempts`, a store
// that ends kNotStored says there where it tried.
SettingsStore WriteSettings(StoreAttempts* attempts = nullptr);

// The box that tells of a move is owed to the user when quit made the move:
// remembered in the per-user file's section, since nothing in memory survives
// the quit, and taken back by the dialog that shows it. True when it was owed.
void OweSettingsMovedNotice();
bool TakeSettingsMovedNotice();
// Makes the per-user file the one in use, copying the plugin's section of the
// file beside the module into it; true when it is in use now.
bool MoveSettingsToUserFile();
char* GetServerName();
char* GetFormHandler();
