// The Enhanced Features dialog (template IDD_ENHANCED): every opt-in key of
// the settings file, opened from the configuration dialog's Enhanced Features
// button, modal and owned by that dialog, on that dialog's thread.
#pragma once

#include <windows.h>

INT_PTR ShowEnhancedDialog(HWND owner);
