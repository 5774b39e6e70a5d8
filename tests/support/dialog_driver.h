// Drives the real configuration dialog from a helper thread while the thread
// that opened it sits in the dialog's modal loop, the way a user would: read
// and type into fields, press buttons and keys, close it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// The caption the dialog shows once initialised.
extern const char kConfigDialogCaption[];
// The caption of the Enhanced Features dialog that its button opens.
extern const char kEnhancedDialogCaption[];

// The configuration dialog open on thread `threadId`, waiting up to
// `timeoutMs` for it to appear; nullptr if none did.
HWND WaitForConfigDialog(DWORD threadId, DWORD timeoutMs);

// The Enhanced Features dialog open on thread `threadId`, as above.
HWND WaitForEnhancedDialog(DWORD threadId, DWORD timeoutMs);

// How many configuration dialogs this process has open right now.
int CountConfigDialogs();

// How a test opens the configuration dialog on its own thread: the statically
// linked ShowConfigDialog by default, or the config entry of a hosted DLL.
using DialogOpener = std::function<INT_PTR()>;

// Calls `open` on the calling thread and meanwhile runs `script` on
// a helper thread with the dialog's handle (nullptr if it never appeared).
// The calling thread is blocked in the dialog while the script runs, so the
// script may use EXPECT_*. A dialog the script leaves open is cancelled, so a
// failed expectation cannot hang the test. Returns `open`'s result.
INT_PTR RunConfigDialog(const std::function<void(HWND dialog)>& script,
                        const DialogOpener& open = nullptr);

// Opens the configuration dialog as RunConfigDialog does, presses its
// Enhanced Features button and runs `script` with the dialog that opens
// (nullptr if none did), cancelling it if the script leaves it open.
void RunEnhancedDialog(const std::function<void(HWND dialog)>& script,
                       const DialogOpener& open = nullptr);

std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);

// Posts the command a click on button `id` sends and returns at once; the
// dialog's thread carries it out in its own time.
void PressButton(HWND dialog, int id);

// Posts a key press to the focused control of the dialog's thread, so it goes
// through the dialog's keyboard handling (Enter, Esc) as typing would.
void PressKey(HWND dialog, UINT virtualKey);

// Waits up to `timeoutMs` for `window` to be destroyed.
bool WaitUntilClosed(HWND window, DWORD timeoutMs);
