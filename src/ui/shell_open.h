// Hands a folder, a document or a web address to the user's shell, as the
// dialogs' buttons do: the configuration dialog's Server Files, View Readme and
// Enhanced Features through the ANSI call, the Enhanced Features dialog's
// files and folders through the wide one.
#pragma once

#include <windows.h>

// Opens `target` with the shell's "open" verb, no owner window and no
// parameters. Whether the shell succeeded is not examined.
void OpenWithShell(const char* target);

// The same for a wide `path`, so a user name outside the ANSI code page
// reaches the shell whole. Returns what the shell returned: above 32 is
// success, 32 or below the error.
INT_PTR OpenPathWithShell(const wchar_t* path);

using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
using ShellExecuteWFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

// Swap the platform call for `replacement` and return the previous one.
ShellExecuteFunction ReplaceShellExecuteForTesting(ShellExecuteFunction replacement);
ShellExecuteWFunction ReplaceShellExecuteWForTesting(ShellExecuteWFunction replacement);
