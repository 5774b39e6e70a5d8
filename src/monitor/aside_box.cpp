// The box's thread owns its copy of the text and holds the module
// (common/held_thread.h). Nobody waits for the thread: a box still open at quit stays up until the
// user answers it or the player's process ends.
#include "monitor/aside_box.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "common/held_thread.h"
#include "post/post_report.h"

namespace {

// Room for a failure's text: a message around one path.
constexpr int kAsideTextSize = 1024;

std::atomic<bool> g_boxOpen{false};

// Held by the box's thread alone.
struct AsideBox : HeldThreadState {
    AsideBox() : HeldThreadState(1) {}
    wchar_t text[kAsideTextSize];
};

DWORD WINAPI AsideBoxThread(LPVOID parameter)
{
    AsideBox* box = static_cast<AsideBox*>(parameter);
    wchar_t caption[64];
    MultiByteToWideChar(CP_ACP, 0, kPluginCaption, -1, caption, 64);
    MessageBoxW(nullptr, box->text, caption, MB_OK);
    g_boxOpen = false;
    return EndHeldThread(box);
}

}  // namespace

bool ShowBoxAside(const wchar_t* text)
{
    bool closed = false;
    if (!g_boxOpen.compare_exchange_strong(closed, true))
        return false;
    AsideBox* box = new (std::nothrow) AsideBox;
    if (box != nullptr) {
        lstrcpynW(box->text, text, kAsideTextSize);
        HANDLE thread = StartHeldThread(AsideBoxThread, box);
        if (thread != nullptr) {
            CloseHandle(thread);
            return true;
        }
    }
    g_boxOpen = false;
    return false;
}
