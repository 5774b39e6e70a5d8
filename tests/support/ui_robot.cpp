// The message-box robot's polling thread. Boxes are found by caption, which
// asks no thread anything (see process_dialogs.cpp). The message text is read
// only from a box already identified, whose thread is waiting in the box's own
// message loop and so answers at once.
#include "support/ui_robot.h"

#include "support/process_dialogs.h"

#include <chrono>
#include <cstring>

namespace {

constexpr DWORD kPollMs = 10;  // fast enough that a box never holds a test up
constexpr WORD kMessageTextId = 0xFFFF;  // the static control of a message box

std::string MessageTextOf(HWND box)
{
    HWND label = GetDlgItem(box, kMessageTextId);
    int length = label != nullptr ? GetWindowTextLengthA(label) : 0;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetDlgItemTextA(box, kMessageTextId, &text[0], length + 1);
    text.resize(std::strlen(text.c_str()));
    return text;
}

struct Controls {
    std::vector<int> buttons;
    bool icon = false;
};

// A box without an icon may still hold an empty icon control, so the icon is
// asked for; the box's thread answers from the box's own loop.
BOOL CALLBACK CollectControl(HWND control, LPARAM found)
{
    Controls& controls = *reinterpret_cast<Controls*>(found);
    if (!IsWindowVisible(control))
        return TRUE;
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (_stricmp(className, "Button") == 0)
        controls.buttons.push_back(GetDlgCtrlID(control));
    else if (_stricmp(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
             SendMessageA(control, STM_GETICON, 0, 0) != 0)
        controls.icon = true;
    return TRUE;
}

SeenBox Describe(const ProcessDialog& dialog)
{
    Controls controls;
    EnumChildWindows(dialog.window, CollectControl, reinterpret_cast<LPARAM>(&controls));
    return SeenBox{dialog.caption, MessageTextOf(dialog.window), dialog.threadId, dialog.window,
                   GetWindow(dialog.window, GW_OWNER), controls.buttons, controls.icon};
}

void Forget(std::set<HWND>& windows)
{
    for (auto it = windows.begin(); it != windows.end();)
        it = IsWindow(*it) ? std::next(it) : windows.erase(it);
}

}  // namespace

UiRobot::UiRobot() : thread_([this] { Run(); }) {}

UiRobot::~UiRobot()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dismissing_ = true;
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::vector<SeenBox> UiRobot::Boxes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

bool UiRobot::WaitForBoxes(size_t count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return boxes_.size() >= count; });
}

void UiRobot::SetDismissing(bool dismiss)
{
    std::lock_guard<std::mutex> lock(mutex_);
    dismissing_ = dismiss;
}

// The last sweep runs after the stop request, with dismissing on, so no box
// outlives the robot.
void UiRobot::Run()
{
    for (;;) {
        Sweep();
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        changed_.wait_for(lock, std::chrono::milliseconds(kPollMs), [&] { return stopping_; });
    }
}

// Reading a box's text sends it a message, so no lock is held meanwhile.
void UiRobot::Sweep()
{
    for (const ProcessDialog& dialog : FindProcessDialogs(DialogState::kShown)) {
        if (!IsPluginBoxCaption(dialog.caption))
            continue;
        HWND box = dialog.window;
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            known = recorded_.count(box) != 0;
        }
        if (!known) {
            SeenBox seen = Describe(dialog);
            std::lock_guard<std::mutex> lock(mutex_);
            recorded_.insert(box);
            boxes_.push_back(std::move(seen));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (dismissing_ && dismissed_.insert(box).second)
            PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    std::lock_guard<std::mutex> lock(mutex_);
    Forget(recorded_);
    Forget(dismissed_);
    changed_.notify_all();
}
