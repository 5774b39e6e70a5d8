// Finds the dialog-class windows (message boxes and dialogs alike) of this
// test process, the one search behind the message-box robot, the dialog
// driver and the posting tests' dialog watcher.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ProcessDialog {
    HWND window;
    DWORD threadId;       // the thread that created it and runs its loop
    std::string caption;
    bool visible;
};

enum class DialogState {
    kShown,     // only dialogs whose initialisation has ended and that show
    kAnyState,  // hidden ones too, such as a dialog still in WM_INITDIALOG
};

// The dialogs of this process, in Z order; with a nonzero `threadId` only
// those of that thread.
std::vector<ProcessDialog> FindProcessDialogs(DialogState state, DWORD threadId = 0);

// Whether `caption` is one of the plugin's message boxes: the posting boxes'
// "Tunewire Plugin..." captions and the product's name, which the dialog's
// own notice carries.
bool IsPluginBoxCaption(const std::string& caption);
