// The plugin's two settings, the settings file "plugin.ini" they live in, and
// the paths beside the plugin's module file.
//
// The buffers and the path buffers are shared by the host's thread and the
// monitor thread. Hold a SettingsLock while refilling them or while reading
// and copying them; never while a message box, a dialog or a network call is
// in progress.
#pragma once

constexpr int kSettingSize = 1024;  // characters, the terminating zero included
constexpr int kPathSize = 260;      // MAX_PATH: what GetModuleFileNameA fills

extern char g_serverName[kSettingSize];
extern char g_formHandler[kSettingSize];

extern const char kDefaultServerName[];
extern const char kDefaultFormHandler[];

void ReadSettings();
void WriteSettings();
char* GetServerName();
char* GetFormHandler();

const char* GetSettingsFilePath();
const char* GetReadmePath();
const char* GetServerFilesPath();

// Replaces the file name in `path` (a module file name in a kPathSize buffer)
// by `relativeName`, keeping the directory and its trailing backslash. A path
// without a backslash becomes the bare relative name; the result is cut at
// kPathSize - 1 characters.
void ReplaceFileName(char* path, const char* relativeName);

// Scoped guard over the one lock for the settings and path buffers. The lock
// is recursive, so a holder may call ReadSettings or a path operation.
class SettingsLock {
public:
    SettingsLock();
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;
};
