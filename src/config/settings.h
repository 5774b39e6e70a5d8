// The plugin's two settings and the settings file "plugin.ini" they live in.
//
// The buffers are shared by the host's thread and the monitor thread. Hold a
// SettingsLock (config/settings_lock.h) while refilling them or while reading
// and copying them; never while a message box, a dialog or a network call is
// in progress. The plugin's code reaches them through GetServerName and
// GetFormHandler, which return the buffers themselves.
#pragma once

constexpr int kSettingSize = 1024;  // characters, the terminating zero included

extern char g_serverName[kSettingSize];
extern char g_formHandler[kSettingSize];

extern const char kDefaultServerName[];
extern const char kDefaultFormHandler[];

void ReadSettings();
void WriteSettings();
char* GetServerName();
char* GetFormHandler();
