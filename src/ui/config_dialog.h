// The modal configuration dialog (template IDD_CONFIG). It runs on whichever
// thread calls ShowConfigDialog: the host's, through the config entry, or the
// monitor's, when a post with the stored settings finds them unusable.
#pragma once

#include <windows.h>

INT_PTR ShowConfigDialog();
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
