// The paths beside the plugin's module file: the settings file, the readme
// and the folder of server files. Each kind has a buffer of its own, rebuilt
// by every call on either thread: hold a SettingsLock while calling and
// copying.
#pragma once

constexpr int kPathSize = 260;  // MAX_PATH: what GetModuleFileNameA fills

// Each returns an empty path when the module's own file name cannot be had
// whole (see module_paths.cpp).
const char* GetSettingsFilePath();
const char* GetReadmePath();
const char* GetServerFilesPath();

// The settings file beside the module as GetModuleFileNameW names it, for
// the files the plugin adds beside its settings (the log, a relative title
// file), which must work in a folder named outside the ANSI code page; empty
// when the name cannot be had whole. The spec'd settings themselves keep the
// ANSI path above.
const wchar_t* GetWideSettingsFilePath();

// Replaces the file name in `path` (a module file name in a kPathSize buffer)
// by `relativeName`, keeping the directory and its trailing backslash. A path
// without a backslash becomes the bare relative name; the result is cut at
// kPathSize - 1 characters.
void ReplaceFileName(char* path, const char* relativeName);
// The same for a wide path in a kPathSize buffer.
void ReplaceWideFileName(wchar_t* path, const wchar_t* relativeName);
