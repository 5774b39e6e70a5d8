// The dialog reads the keys from the settings file in use when it opens and
// remembers what it showed; OK writes only the keys whose control the user
// changed, so a key never set stays absent and one set back to its default
// goes. The server and form path are never written here: the configuration
// dialog below may hold values it has not stored. A Unicode dialog, so the
// text fields take any character; their values are stored as UTF-8. The
// format's preview comes from the record the monitor kept of the playing
// track: the dialog never asks the player itself.
#include "ui/enhanced_dialog.h"

#include <commdlg.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/text_convert.h"
#include "config/charset_setting.h"
#include "ui/config-rc.h"
#include "config/module_paths.h"
#include "config/optin_file.h"
#include "ui/output_place.h"
#include "config/section_reader.h"
#include "config/settings.h"
#include "config/settings_home.h"
#include "config/settings_lock.h"
#include "ui/shell_open.h"
#include "config/streamer_settings.h"
#include "monitor/artwork_file.h"
#include "monitor/latest_track.h"
#include "monitor/monitor_lifetime.h"
#include "monitor/title_format.h"
#include "host/plugin.h"

namespace {

const char kEnhancedEditionPage[] = "http://www.example.com/glyphmill/upgrade.html";
const char kCaptionEnd[] = " - Enhanced Features";
const char kOverlayName[] = "overlay.html";
const char kOnWord[] = "1";
const char kStoppedTextKey[] = "StoppedText";
// A path as long as the wide functions take one.
constexpr DWORD kBrowsePathSize = 32768;
// ShellExecute's results up to this one are errors.
constexpr INT_PTR kLastShellError = 32;
// What wsprintfW writes at most; a path is at most kPathSize.
constexpr int kShellFailureSize = 1024;

// The switches: a checkbox each, off when the key is absent.
struct SwitchKey {
    const char* name;
    int control;
    const char* onValue;             // what the dialog writes to turn it on
    bool (*isOn)(const char* value); // how the plugin reads it
};
const SwitchKey kSwitches[] = {
    {kCharsetKey, IDC_EF_UNICODE, kCharsetUtf8, &IsUtf8Charset},
    {"Quiet", IDC_EF_QUIET, kOnWord, &IsSwitchOn},
    {"Streams", IDC_EF_STREAMS, kOnWord, &IsSwitchOn},
    {"Instant", IDC_EF_INSTANT, kOnWord, &IsSwitchOn},
    {"PostFields", IDC_EF_POST_FIELDS, kOnWord, &IsSwitchOn},
};

// The texts: an edit field each, empty when the key is absent; emptied, the
// key goes.
struct TextKey {
    const char* name;
    int control;
};
const TextKey kTexts[] = {
    {"TitleFile", IDC_EF_TITLE_FILE},
    {"TitleFormat", IDC_EF_TITLE_FORMAT},
    {"ArtworkFile", IDC_EF_ARTWORK_FILE},
};
constexpr size_t kArtworkText = 2;  // the cover's place in kTexts

// What a Browse button asks the save dialog, and the field the answer fills.
struct BrowseFor {
    int field;
    const wchar_t* filter;
    const wchar_t* title;
    const wchar_t* extension;   // added to a name typed without one
    const wchar_t* suggestion;  // offered in Documents while the field is empty; may be none
};
const BrowseFor kTitleFileBrowse = {
    IDC_EF_TITLE_FILE, L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0", L"Title file",
    L"txt", L"nowplaying.txt"};
const BrowseFor kArtworkBrowse = {
    IDC_EF_ARTWORK_FILE,
    L"Images (*.jpg, *.png)\0*.jpg;*.jpeg;*.png\0All files (*.*)\0*.*\0", L"Cover art file",
    L"jpg", nullptr};

enum class StopChoice { kNothing, kEmpty, kText };

// What the controls show, as the keys mean it.
struct Shown {
    bool switches[std::size(kSwitches)] = {};
    std::string texts[std::size(kTexts)];  // UTF-8, as they are stored
    StopChoice stop = StopChoice::kNothing;
    std::string stoppedText;
};

struct DialogState {
    Shown opened;  // what the dialog showed when it opened
    // An existing image the user chose with Browse and agreed to have
    // replaced, with its stamp: the plugin may then replace it.
    std::string acceptedCover;  // UTF-8
    std::string acceptedStamp;
};

// A file's value as a user typed it in an editor, as UTF-8: it is taken as
// UTF-8 when it is valid UTF-8, else as text in the ANSI code page.
std::string FromFileText(const std::string& bytes)
{
    if (!WideFrom(bytes, CP_UTF8, MB_ERR_INVALID_CHARS).empty())
        return bytes;
    return BytesFrom(WideFrom(bytes, CP_ACP, 0).data());
}

std::vector<std::string> KeyNames()
{
    std::vector<std::string> names = {kStoppedTextKey};
    for (const SwitchKey& key : kSwitches)
        names.push_back(key.name);
    for (const TextKey& key : kTexts)
        names.push_back(key.name);
    return names;
}

Shown ReadShown()
{
    std::string file;
    {
        SettingsLock lock;
        file = BytesFrom(SettingsFileInUse());
    }
    std::string bytes;
    // An unreadable file shows the defaults; OK then writes only what the
    // user changes.
    if (file.empty() || ReadSettingsFileBytes(WideFrom(file, CP_UTF8).data(), bytes) != 0)
        bytes.clear();
    const OptInValues values = ParseOptInKeys(bytes, KeyNames());
    Shown shown;
    for (size_t i = 0; i < std::size(kSwitches); ++i) {
        const OptInValue& value = *FindOptIn(values, kSwitches[i].name);
        shown.switches[i] = value && kSwitches[i].isOn(value->c_str());
    }
    for (size_t i = 0; i < std::size(kTexts); ++i)
        shown.texts[i] = FromFileText(FindOptIn(values, kTexts[i].name)->value_or(""));
    const OptInValue& stopped = *FindOptIn(values, kStoppedTextKey);
    if (stopped) {
        shown.stop = stopped->empty() ? StopChoice::kEmpty : StopChoice::kText;
        shown.stoppedText = FromFileText(*stopped);
    }
    return shown;
}

std::vector<wchar_t> WideFieldText(HWND dialog, int id)
{
    HWND field = GetDlgItem(dialog, id);
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    GetWindowTextW(field, text.data(), static_cast<int>(text.size()));
    return text;
}

std::string FieldText(HWND dialog, int id)
{
    return BytesFrom(WideFieldText(dialog, id).data());
}

void SetFieldText(HWND dialog, int id, const std::string& utf8)
{
    SetDlgItemTextW(dialog, id, WideFrom(utf8, CP_UTF8, 0).data());
}

void Show(HWND dialog, const Shown& shown)
{
    for (size_t i = 0; i < std::size(kSwitches); ++i)
        CheckDlgButton(dialog, kSwitches[i].control,
                       shown.switches[i] ? BST_CHECKED : BST_UNCHECKED);
    for (size_t i = 0; i < std::size(kTexts); ++i)
        SetFieldText(dialog, kTexts[i].control, shown.texts[i]);
    const int stopButton = shown.stop == StopChoice::kNothing ? IDC_EF_STOP_NOTHING
                           : shown.stop == StopChoice::kEmpty ? IDC_EF_STOP_EMPTY
                                                              : IDC_EF_STOP_TEXT;
    CheckRadioButton(dialog, IDC_EF_STOP_NOTHING, IDC_EF_STOP_TEXT, stopButton);
    SetFieldText(dialog, IDC_EF_STOPPED_TEXT, shown.stoppedText);
}

Shown Taken(HWND dialog)
{
    Shown shown;
    for (size_t i = 0; i < std::size(kSwitches); ++i)
        shown.switches[i] = IsDlgButtonChecked(dialog, kSwitches[i].control) == BST_CHECKED;
    for (size_t i = 0; i < std::size(kTexts); ++i)
        shown.texts[i] = FieldText(dialog, kTexts[i].control);
    shown.stop = StopChoice::kNothing;
    if (IsDlgButtonChecked(dialog, IDC_EF_STOP_EMPTY) == BST_CHECKED)
        shown.stop = StopChoice::kEmpty;
    if (IsDlgButtonChecked(dialog, IDC_EF_STOP_TEXT) == BST_CHECKED)
        shown.stop = StopChoice::kText;
    shown.stoppedText = FieldText(dialog, IDC_EF_STOPPED_TEXT);
    return shown;
}

// Each key whose control differs from what the dialog opened with, with its
// new value, or none for a key back at its default.
OptInValues Changes(const Shown& opened, const Shown& now)
{
    OptInValues changes;
    for (size_t i = 0; i < std::size(kSwitches); ++i)
        if (opened.switches[i] != now.switches[i])
            changes.emplace_back(kSwitches[i].name, now.switches[i]
                                                        ? OptInValue(kSwitches[i].onValue)
                                                        : std::nullopt);
    for (size_t i = 0; i < std::size(kTexts); ++i)
        if (opened.texts[i] != now.texts[i])
            changes.emplace_back(kTexts[i].name, now.texts[i].empty()
                                                     ? std::nullopt
                                                     : OptInValue(now.texts[i]));
    const bool stopChanged =
        opened.stop != now.stop ||
        (now.stop == StopChoice::kText && opened.stoppedText != now.stoppedText);
    if (stopChanged)
        changes.emplace_back(kStoppedTextKey, now.stop == StopChoice::kNothing ? std::nullopt
                                              : now.stop == StopChoice::kEmpty
                                                  ? OptInValue("")
                                                  : OptInValue(now.stoppedText));
    return changes;
}

void ShowStoreFailure(HWND dialog, const SettingsChange& change)
{
    const std::string where = change.file.empty() ? "any settings file" : change.file;
    const std::string text = "Your changes could not be stored in " + where + " (error " +
                             std::to_string(change.error) +
                             "). Nothing was changed; the dialog stays open.";
    ShowSettingsBox(dialog, WideFrom(text, CP_UTF8).data());
}

// True when the dialog may close.
// The monitor then writes the playing track's files under the new settings,
// so the streamer sees the result without waiting for the next track.
bool Store(HWND dialog, const DialogState& state)
{
    const Shown now = Taken(dialog);
    OptInValues changes = Changes(state.opened, now);
    if (!state.acceptedCover.empty() && now.texts[kArtworkText] == state.acceptedCover)
        changes.emplace_back(kArtworkStampKey, state.acceptedStamp);
    const SettingsChange change = StoreOptInChanges(changes);
    if (change.error != 0) {
        ShowStoreFailure(dialog, change);
        return false;
    }
    if (change.moved)
        ShowSettingsMovedNotice(dialog);
    RequestLocalRewrite();
    return true;
}

bool Exists(const wchar_t* path)
{
    return path[0] != L'\0' && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The shell is handed the wide path, so a user name outside the ANSI code
// page reaches it whole; a failure is told, with the path, never left silent.
void OpenInShell(HWND dialog, const wchar_t* path)
{
    const INT_PTR result = OpenPathWithShell(path);
    if (result > kLastShellError)
        return;
    wchar_t text[kShellFailureSize];
    wsprintfW(text, L"Windows could not open %s (error %d).", path, static_cast<int>(result));
    ShowSettingsBox(dialog, text);
}

// The folder (kPathSize units, with its backslash) that the title file is
// written into, as the monitor resolves it; false while the field names none.
bool TitleFileFolder(HWND dialog, wchar_t* folder)
{
    if (!OutputPathOf(WideFieldText(dialog, IDC_EF_TITLE_FILE).data(), folder))
        return false;
    ReplaceWideFileName(folder, L"");
    return folder[0] != L'\0';
}

// Under the title file: its folder and the address of the overlay there. The
// buttons that need the folder are greyed while there is none.
void ShowPlace(HWND dialog)
{
    wchar_t folder[kPathSize] = {};
    const bool known = TitleFileFolder(dialog, folder);
    SetDlgItemTextW(dialog, IDC_EF_TITLE_FOLDER, known ? folder : L"");
    SetFieldText(dialog, IDC_EF_OVERLAY_ADDRESS,
                 known ? FileAddress(BytesFrom(folder) + kOverlayName) : "");
    for (int id : {IDC_EF_OPEN_FOLDER, IDC_EF_COPY_ADDRESS, IDC_EF_COPY_OVERLAY})
        EnableWindow(GetDlgItem(dialog, id), known);
}

void OpenSettingsFile(HWND dialog)
{
    const SettingsChange change = SettingsFileToEdit();
    if (change.file.empty()) {
        ShowStoreFailure(dialog, change);
        return;
    }
    if (change.moved) {
        ShowSettingsMovedNotice(dialog);
        ShowPlace(dialog);  // a relative title file now lies beside the moved settings
    }
    OpenInShell(dialog, WideFrom(change.file, CP_UTF8).data());
}

// A folder not there yet is made first, as Browse makes the one chosen: the
// title file's first write would make it anyway.
void OpenFolder(HWND dialog)
{
    wchar_t folder[kPathSize];
    if (!TitleFileFolder(dialog, folder))
        return;
    SHCreateDirectoryExW(dialog, folder, nullptr);
    OpenInShell(dialog, folder);
}

// The edit control puts its selection on the clipboard itself, as
// CF_UNICODETEXT in this Unicode dialog; left selected, it shows what went.
void CopyAddress(HWND dialog)
{
    HWND address = GetDlgItem(dialog, IDC_EF_OVERLAY_ADDRESS);
    SendMessageW(address, EM_SETSEL, 0, -1);
    SendMessageW(address, WM_COPY, 0, 0);
}

// The save dialog opens where the file is written: at the current value,
// resolved as the monitor resolves it, or at the suggestion in Documents.
// It asks before an existing file is chosen, since the plugin replaces the
// file at the next track and it may be one the plugin never wrote. It lets
// the user type a folder that does not exist yet; that is made here, so the
// file can be written there at the next track.
void BrowseForFile(HWND dialog, const BrowseFor& browse, DialogState* state)
{
    std::vector<wchar_t> path(kBrowsePathSize, L'\0');
    const std::vector<wchar_t> typed = WideFieldText(dialog, browse.field);
    if (typed[0] != L'\0') {
        if (!OutputPathOf(typed.data(), path.data()))
            path[0] = L'\0';
    } else if (browse.suggestion != nullptr &&
               SHGetFolderPathW(dialog, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT,
                                path.data()) == S_OK) {
        lstrcatW(path.data(), L"\\");
        lstrcatW(path.data(), browse.suggestion);
    }
    OPENFILENAMEW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = dialog;
    choice.lpstrFilter = browse.filter;
    choice.lpstrFile = path.data();
    choice.nMaxFile = kBrowsePathSize;
    choice.lpstrTitle = browse.title;
    choice.lpstrDefExt = browse.extension;
    choice.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameW(&choice))
        return;
    path.back() = L'\0';
    wchar_t* slash = wcsrchr(path.data(), L'\\');
    if (slash != nullptr && slash != path.data()) {
        *slash = L'\0';
        SHCreateDirectoryExW(dialog, path.data(), nullptr);
        *slash = L'\\';
    }
    SetDlgItemTextW(dialog, browse.field, path.data());
    // The prompt has asked before an existing cover was chosen.
    if (state != nullptr && browse.field == IDC_EF_ARTWORK_FILE &&
        GetFileAttributesW(path.data()) != INVALID_FILE_ATTRIBUTES) {
        state->acceptedCover = BytesFrom(path.data());
        state->acceptedStamp = ArtworkStamp(path.data());
    }
}

// What the preview shows while nothing plays.
TrackRecord SampleTrack()
{
    TrackRecord record;
    record.playerTitle = "Artist - Song";
    record.hasFields = true;
    record.fields = {"Artist", "Song", "Album", "Artist", "2001", "1", "Pop"};
    return record;
}

// Asked afresh at each keystroke, so the preview follows the track that plays
// while the dialog is open.
void ShowPreview(HWND dialog)
{
    TrackRecord record;
    if (!LatestTrack(record))
        record = SampleTrack();
    SetFieldText(dialog, IDC_EF_FORMAT_PREVIEW,
                 FormatTitle(FieldText(dialog, IDC_EF_TITLE_FORMAT), record));
}

// Copies the shipped overlay.html from the side folder into `folder`, made
// when missing, and says how that went. An overlay.html already there is
// kept: the user may have changed it.
std::string CopyOverlayInto(HWND dialog, const std::string& folder)
{
    // The page in the side folder, named wide so that a plugin folder outside
    // the ANSI code page is found.
    wchar_t page[kPathSize];
    {
        SettingsLock lock;
        lstrcpynW(page, GetWideSettingsFilePath(), kPathSize);
    }
    ReplaceWideFileName(page, L"gen_tunewire\\overlay.html");
    const std::string source = BytesFrom(page);
    SHCreateDirectoryExW(dialog, WideFrom(folder, CP_UTF8, 0).data(), nullptr);
    if (CopyFileW(WideFrom(source, CP_UTF8, 0).data(),
                  WideFrom(folder + kOverlayName, CP_UTF8, 0).data(), TRUE))
        return "overlay.html is now in " + folder +
               ": add it to your streaming program as a browser source.";
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS)
        return "overlay.html is already in " + folder + ": it was kept.";
    return "Could not copy " + source + " to " + folder + " (error " + std::to_string(error) +
           ").";
}

void CopyOverlay(HWND dialog)
{
    wchar_t folder[kPathSize];
    if (!TitleFileFolder(dialog, folder))
        return;
    ShowSettingsBox(dialog, WideFrom(CopyOverlayInto(dialog, BytesFrom(folder)), CP_UTF8).data());
}

void InitDialog(HWND dialog, DialogState& state)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    SetWindowTextA(dialog, (std::string(kProductName) + kCaptionEnd).c_str());
    state.opened = ReadShown();
    Show(dialog, state.opened);
    ShowPreview(dialog);
    ShowPlace(dialog);
    EnableWindow(GetDlgItem(dialog, IDC_EF_OPEN_LOG), Exists(ReadStreamerSettings().logFile));
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    DialogState* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (LOWORD(wParam)) {
    case IDOK:
        if (state != nullptr && Store(dialog, *state))
            EndDialog(dialog, IDOK);
        return 1;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return 1;
    case IDC_EF_BROWSE:
        BrowseForFile(dialog, kTitleFileBrowse, state);
        return 1;
    case IDC_EF_ARTWORK_BROWSE:
        BrowseForFile(dialog, kArtworkBrowse, state);
        return 1;
    case IDC_EF_TITLE_FILE:
        if (HIWORD(wParam) == EN_CHANGE)
            ShowPlace(dialog);
        return 1;
    case IDC_EF_OPEN_FOLDER:
        OpenFolder(dialog);
        return 1;
    case IDC_EF_COPY_ADDRESS:
        CopyAddress(dialog);
        return 1;
    case IDC_EF_TITLE_FORMAT:
        if (HIWORD(wParam) == EN_CHANGE)
            ShowPreview(dialog);
        return 1;
    case IDC_EF_STOPPED_TEXT:
        // Typing a stop text chooses to post it.
        if (HIWORD(wParam) == EN_CHANGE && GetFocus() == GetDlgItem(dialog, IDC_EF_STOPPED_TEXT))
            CheckRadioButton(dialog, IDC_EF_STOP_NOTHING, IDC_EF_STOP_TEXT, IDC_EF_STOP_TEXT);
        return 1;
    case IDC_EF_COPY_OVERLAY:
        CopyOverlay(dialog);
        return 1;
    case IDC_EF_OPEN_SETTINGS:
        OpenSettingsFile(dialog);
        return 1;
    case IDC_EF_OPEN_LOG:
        OpenInShell(dialog, ReadStreamerSettings().logFile);
        return 1;
    case IDC_EF_VISIT:
        OpenWithShell(kEnhancedEditionPage);
        return 1;
    }
    return 0;
}

// As for the configuration dialog: no exception may cross the platform's
// dialog code.
INT_PTR CALLBACK EnhancedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return HandleMessage(dialog, message, wParam, lParam);
    } catch (...) {
        return 1;
    }
}

}  // namespace

INT_PTR ShowEnhancedDialog(HWND owner)
{
    DialogState state;
    return DialogBoxParamW(g_pluginDescriptor.moduleInstance, MAKEINTRESOURCEW(IDD_ENHANCED),
                           owner, EnhancedDialogProc, reinterpret_cast<LPARAM>(&state));
}
