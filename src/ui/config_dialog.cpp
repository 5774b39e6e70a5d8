// The configuration dialog. It keeps no settings of its own: the edit fields
// are the only working copy until OK or Test copies them into the shared
// buffers. A dialog may be open on the host's thread and on the monitor thread
// at once, so every copy into or out of the shared buffers holds SettingsLock,
// and only for the copy: never across a post, a message box or the shell.
#include "ui/config_dialog.h"

#include "common/bounded_copy.h"
#include "config/charset_setting.h"
#include "ui/config-rc.h"
#include "ui/enhanced_dialog.h"
#include "config/module_paths.h"
#include "config/settings.h"
#include "config/settings_home.h"
#include "config/settings_lock.h"
#include "ui/shell_open.h"
#include "host/plugin.h"
#include "post/post_track.h"

namespace {

const char kNotesText[] =
    "Notes:\r\n"
    "1/  The Server setting should NOT have the HTTP:// prefix\r\n"
    "2/  The Form URL should always start with a /\r\n"
    "3/  All settings are CaSE SenSiTiVE!!\r\n"
    "4/  If you having trouble with the settings, try pasting the files into a web browser,\r\n"
    "     and see what the response is. For example:   "
    "http://www.example.com/MyHandler.php?track=\"Artist - Title\"";

const char kEnhancedFeaturesLabel[] = "Enhanced Features";
const char kEnhancedHint[] = "Want More? See what the enhanced version does ->";
const char kConnectionTestTitle[] = "Connection Test";
const wchar_t kNotStoredStart[] = L"Your settings could not be saved. The plugin tried:\n";
const wchar_t kNotStoredEnd[] =
    L"\nThis window stays open so that you can copy them; they will be lost when the "
    L"player next starts.";
// Posted by the dialog to itself at its start, so that a box owed from an
// earlier run shows over the dialog once it is on screen.
constexpr UINT kTellOwedMove = WM_APP + 1;

// wsprintfA writes at most 1024 characters, so this is as large as a caption
// it formats can be.
constexpr int kCaptionSize = 1024;

void FillFromBuffers(HWND dialog)
{
    char server[kSettingSize];
    char formHandler[kSettingSize];
    {
        SettingsLock lock;
        CopyBounded(server, GetServerName(), server + kSettingSize - 1);
        CopyBounded(formHandler, GetFormHandler(), formHandler + kSettingSize - 1);
    }
    SetDlgItemTextA(dialog, IDC_SERVER_NAME, server);
    SetDlgItemTextA(dialog, IDC_FORM_HANDLER, formHandler);
}

void InitDialog(HWND dialog)
{
    FillFromBuffers(dialog);
    SetDlgItemTextA(dialog, IDC_NOTES, kNotesText);

    char caption[kCaptionSize] = {};
    wsprintfA(caption, "%s %s %s", "Version ", kVersionText, " Basic.");
    SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption));

    SetDlgItemTextA(dialog, IDC_ENHANCED_FEATURES, kEnhancedFeaturesLabel);
    SetDlgItemTextA(dialog, IDC_ENHANCED_HINT, kEnhancedHint);
    PostMessageA(dialog, kTellOwedMove, 0, 0);
}

struct Fields {
    char server[kSettingSize];
    char formHandler[kSettingSize];
};

// Copies both edit fields into the shared buffers and returns them. With
// `store`, the values are written to the settings file under the same hold of
// the lock, so a post on the other thread cannot reload the old file values
// in between and have them stored instead; the result says where they went.
SettingsStore TakeFields(HWND dialog, bool store, Fields& fields,
                         StoreAttempts* attempts = nullptr)
{
    GetDlgItemTextA(dialog, IDC_SERVER_NAME, fields.server, kSettingSize);
    GetDlgItemTextA(dialog, IDC_FORM_HANDLER, fields.formHandler, kSettingSize);

    SettingsLock lock;
    char* const server = GetServerName();
    char* const formHandler = GetFormHandler();
    CopyBounded(server, fields.server, server + kSettingSize - 1);
    CopyBounded(formHandler, fields.formHandler, formHandler + kSettingSize - 1);
    return store ? WriteSettings(attempts) : SettingsStore::kNotStored;
}

void ReportNotStored(HWND dialog, const StoreAttempts& attempts)
{
    wchar_t text[2 * (kPathSize + 32) + 256];
    lstrcpyW(text, kNotStoredStart);
    for (int i = 0; i < attempts.count; ++i) {
        wchar_t line[kPathSize + 32];
        wsprintfW(line, L"\n%s (error %lu)", attempts.file[i], attempts.error[i]);
        lstrcatW(text, line);
    }
    lstrcatW(text, L"\n");
    lstrcatW(text, kNotStoredEnd);
    ShowSettingsBox(dialog, text);
}

// The path buffers are rebuilt by every call on either thread, so the path is
// copied out under the lock and the shell gets the private copy. An empty
// path (the module's own name could not be had) opens nothing.
void OpenModulePath(const char* (*getPath)())
{
    char path[kPathSize];
    {
        SettingsLock lock;
        CopyBounded(path, getPath(), path + kPathSize - 1);
    }
    if (path[0] != '\0')
        OpenWithShell(path);
}

}  // namespace

INT_PTR ShowConfigDialog()
{
    return DialogBoxParamA(g_pluginDescriptor.moduleInstance, MAKEINTRESOURCEA(IDD_CONFIG),
                           g_pluginDescriptor.parentWindow, ConfigDialogProc, 0);
}

namespace {

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        // Lets the platform focus the first tab stop, the form path field.
        return 1;

    case kTellOwedMove:
        if (TakeSettingsMovedNotice())
            ShowSettingsMovedNotice(dialog);
        return 1;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            Fields fields;
            StoreAttempts attempts;
            const SettingsStore store = TakeFields(dialog, true, fields, &attempts);
            if (store == SettingsStore::kMovedToUserFile)
                ShowSettingsMovedNotice(dialog);
            // A store that went nowhere keeps the dialog, and the values, on
            // screen.
            if (store == SettingsStore::kNotStored) {
                ReportNotStored(dialog, attempts);
                return 1;
            }
            EndDialog(dialog, 0);
            return 1;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return 1;
        case IDC_ENHANCED_FEATURES:
            ShowEnhancedDialog(dialog);
            return 1;
        case IDC_TEST: {
            Fields fields;
            TakeFields(dialog, false, fields);
            // Explicit values, not the stored-settings marker: that makes it a
            // test post, which reports success and never opens this dialog.
            // They are the dialog's own copies of what the buffers now hold: a
            // post on the other thread may reload the buffers from the file
            // before this one reads them, and the test must try what the user
            // typed.
            // In Unicode mode the test is labelled as the monitor's posts
            // are; the title is ASCII, so its bytes are the same either way.
            PostTrack(kConnectionTestTitle, fields.server, fields.formHandler,
                      IsUnicodeMode() ? TitleCharset::kUtf8 : TitleCharset::kAnsi);
            return 1;
        }
        case IDC_SERVER_FILES:
            OpenModulePath(&GetServerFilesPath);
            return 1;
        case IDC_VIEW_README:
            OpenModulePath(&GetReadmePath);
            return 1;
        }
        return 0;
    }
    return 0;
}

}  // namespace

// An exception crossing the platform's dialog code ends the player. Nothing
// here is meant to raise one (PostTrack lets none out); should anything still
// do so, the message counts as handled and the dialog stays as it was.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    try {
        return HandleMessage(dialog, message, wParam);
    } catch (...) {
        return 1;
    }
}
