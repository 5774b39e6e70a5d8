// Hands a folder, a document or a web address to the user's shell, as the
// dialog's Server Files, View Readme and Enhanced Features buttons do.
#pragma once

#include <windows.h>

// Opens `target` with the shell's "open" verb, no owner window and no
// parameters. Whether the shell succeeded is not examined.
void OpenWithShell(const char* target);

using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// Swaps the platform call for `replacement` and returns the previous one.
ShellExecuteFunction ReplaceShellExecuteForTesting(ShellExecuteFunction replacement);
