// setup_driver.exe: runs the installer with its pages, as a user would,
// during the installer test, and writes what each step showed to a report:
//   setup_driver.exe SETUP WRONG_FOLDER WINAMP_FOLDER REPORT
// It starts SETUP on WRONG_FOLDER (no winamp.exe there) and clicks Next; the
// box that refuses the folder goes to the report as "folder box: <text>".
// It then types WINAMP_FOLDER, holds its Plugins\gen_tunewire.dll open the
// way a running player does and clicks Next; the box that names the held DLL
// goes to the report as "held box: <text>", and the driver lets the DLL go
// and clicks Retry. The finish page's texts go to the report as "finish:",
// the installer's exit code as "exit:". A step that never comes ends the
// report with "timeout: <step>" and the driver with exit code 1.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace {

const DWORD kStepMs = 60000;    // generous: a loaded machine draws slowly
const DWORD kLookMs = 50;       // how often the windows are looked at
const int kNextButton = 1;      // the wizard's Next, Install and Finish
const int kDirectoryEdit = 1019;  // the directory page's folder field
const int kBoxText = 0xFFFF;    // a message box's text
// The start of the finish page's text, which is set whole, at once.
const char kFinishWords[] = "Restart Winamp (close it";

DWORD g_setupProcess = 0;
FILE* g_report = nullptr;

std::string TextOf(HWND window)
{
    char text[4096] = "";
    DWORD_PTR length = 0;
    // WM_GETTEXT, not GetWindowText: the controls live in another process.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        kStepMs, &length);
    return text;
}

BOOL CALLBACK AddSetupWindow(HWND window, LPARAM list)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == g_setupProcess && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> SetupWindows()
{
    std::vector<HWND> found;
    EnumWindows(AddSetupWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The wizard has no owner; its message boxes are owned by it.
HWND FindWizard()
{
    for (HWND window : SetupWindows())
        if (GetWindow(window, GW_OWNER) == nullptr && GetDlgItem(window, kNextButton) != nullptr)
            return window;
    return nullptr;
}

HWND FindBox()
{
    for (HWND window : SetupWindows())
        if (GetWindow(window, GW_OWNER) != nullptr && GetDlgItem(window, kBoxText) != nullptr)
            return window;
    return nullptr;
}

BOOL CALLBACK AddWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Every control inside the wizard, the page's included.
std::vector<HWND> Descendants(HWND window)
{
    std::vector<HWND> found;
    EnumChildWindows(window, AddWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindControl(HWND wizard, int id)
{
    for (HWND child : Descendants(wizard))
        if (GetDlgCtrlID(child) == id && IsWindowVisible(child))
            return child;
    return nullptr;
}

// Waits until `find` gives a window (or true); records a time-out in the
// report and gives what `find` gave last.
template <typename Find>
auto WaitFor(const char* step, Find find)
{
    for (DWORD waited = 0; waited < kStepMs; waited += kLookMs) {
        if (auto found = find())
            return found;
        Sleep(kLookMs);
    }
    std::fprintf(g_report, "timeout: %s\n", step);
    return find();
}

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The box's text into the report, then its button `id`; false on a time-out.
bool AnswerBox(const char* what, int id)
{
    HWND box = WaitFor(what, FindBox);
    if (box == nullptr)
        return false;
    std::fprintf(g_report, "%s: %s\n", what, TextOf(GetDlgItem(box, kBoxText)).c_str());
    Click(box, id);
    return WaitFor("the box to close", [box] { return !IsWindow(box); });
}

bool Drive(HANDLE setup, const std::string& winampFolder)
{
    HWND wizard = WaitFor("the wizard", FindWizard);
    if (wizard == nullptr)
        return false;
    HWND folder = WaitFor("the directory page", [wizard] { return FindControl(wizard, kDirectoryEdit); });
    if (folder == nullptr)
        return false;
    Click(wizard, kNextButton);
    if (!AnswerBox("folder box", IDOK))
        return false;

    SendMessageA(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(winampFolder.c_str()));
    const std::string dll = winampFolder + "\\Plugins\\gen_tunewire.dll";
    HANDLE opened = CreateFileA(dll.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        std::fprintf(g_report, "cannot hold %s\n", dll.c_str());
        return false;
    }
    UniqueHandle held(opened);
    Click(wizard, kNextButton);
    HWND box = WaitFor("held box", FindBox);
    if (box == nullptr)
        return false;
    std::fprintf(g_report, "held box: %s\n", TextOf(GetDlgItem(box, kBoxText)).c_str());
    held.Reset();
    Click(box, IDRETRY);

    // Read in one sweep with the finish page's own words: the page before it
    // goes while the next is made, and its last line of progress speaks of
    // restarting Winamp too.
    std::string texts;
    auto finishPage = [wizard, &texts] {
        texts.clear();
        for (HWND child : Descendants(wizard))
            if (IsWindowVisible(child))
                texts += TextOf(child) + " | ";
        return texts.find(kFinishWords) != std::string::npos;
    };
    if (!WaitFor("the finish page", finishPage))
        return false;
    for (char& c : texts)
        if (c == '\r' || c == '\n')
            c = ' ';
    std::fprintf(g_report, "finish: %s\n", texts.c_str());
    Click(wizard, kNextButton);
    if (WaitForSingleObject(setup, kStepMs) != WAIT_OBJECT_0) {
        std::fprintf(g_report, "timeout: setup to end\n");
        return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(setup, &code);
    std::fprintf(g_report, "exit: %lu\n", code);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    g_report = std::fopen(argv[4], "w");
    if (g_report == nullptr)
        return 2;
    std::string command = std::string("\"") + argv[1] + "\" /D=" + argv[2];
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        std::fprintf(g_report, "cannot start %s\n", argv[1]);
        std::fclose(g_report);
        return 1;
    }
    UniqueHandle setup(started.hProcess);
    UniqueHandle thread(started.hThread);
    g_setupProcess = started.dwProcessId;
    const bool done = Drive(setup.Get(), argv[3]);
    if (!done)
        TerminateProcess(setup.Get(), 1);
    std::fclose(g_report);
    return done ? 0 : 1;
}
