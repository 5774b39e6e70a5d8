// The per-user settings file, %APPDATA%\Tunewire\plugin.ini. It takes the
// settings over when plugin.ini beside the module cannot be written, as under
// Program Files for a user without elevation (Vista and later). Its buffer is
// rebuilt by every call on either thread: hold a SettingsLock while calling
// and copying. The path is wide from the shell's answer on, so a user name
// outside the ANSI code page names the right folder.
#pragma once

// The file's path; empty when the user's application-data folder cannot be
// had or the path would not fit in kPathSize characters.
const wchar_t* GetUserSettingsFilePath();

// Creates the file's folder when it does not exist yet; false when it still
// does not exist.
bool CreateUserSettingsFolder();
