// Placeholder until the dialog lands.
#include "config/config_dialog.h"

INT_PTR ShowConfigDialog()
{
    return 0;
}

INT_PTR CALLBACK ConfigDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}
