// Where a change the user makes to the settings goes: the settings file in
// use, unless that is the one beside the module and it cannot really be
// written, in which case the settings first move to the per-user file. Used
// by the Enhanced Features dialog, for its OK and its "Open settings file".
#pragma once

#include <windows.h>

#include <string>

#include "config/optin_file.h"

struct SettingsChange {
    std::string file;        // the file changed or to change, UTF-8; empty: none at all
    bool moved = false;      // the settings moved to the per-user file for it
    unsigned long error = 0; // 0, or the platform's error code of the failure
};

// Sets or removes the opt-in keys of `changes` in the settings file in use,
// with the per-user fallback. No changes: nothing is written.
SettingsChange StoreOptInChanges(const OptInValues& changes);

// The settings file a text editor can change and save, created with the
// plugin's section when there is none yet.
SettingsChange SettingsFileToEdit();

// The one notice that the settings now live in the per-user file, owned by
// `owner`.
void ShowSettingsMovedNotice(HWND owner);

// A box of the settings dialogs, captioned with the product name. Its text
// may hold paths outside the ANSI code page, so it is shown through the wide
// function.
void ShowSettingsBox(HWND owner, const wchar_t* text);
