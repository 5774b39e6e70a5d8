// The dialog search. Captions are read with InternalGetWindowText and the
// class with GetClassNameA, neither of which sends a message: a dialog whose
// thread is busy in a post, or blocked on a lock, cannot stall the search.
#include "support/process_dialogs.h"

#include <cstring>

#include "host/plugin.h"

namespace {

constexpr int kCaptionChars = 256;
const char kPostBoxCaptionPrefix[] = "Tunewire Plugin";

struct Search {
    DialogState state;
    DWORD processId;  // 0 when a thread was named: its windows are all its process's
    std::vector<ProcessDialog> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM parameter)
{
    Search& search = *reinterpret_cast<Search*>(parameter);
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (search.processId != 0 && processId != search.processId)
        return TRUE;
    bool visible = IsWindowVisible(window) != FALSE;
    if (!visible && search.state == DialogState::kShown)
        return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0)
        return TRUE;
    wchar_t wide[kCaptionChars] = {};
    int length = InternalGetWindowText(window, wide, kCaptionChars);
    char narrow[2 * kCaptionChars] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, length, narrow, sizeof narrow - 1, nullptr, nullptr);
    search.found.push_back({window, threadId, narrow, visible});
    return TRUE;
}

}  // namespace

std::vector<ProcessDialog> FindProcessDialogs(DialogState state, DWORD threadId, DWORD processId)
{
    Search search{state, processId != 0 ? processId : GetCurrentProcessId(), {}};
    if (threadId != 0) {
        search.processId = 0;
        EnumThreadWindows(threadId, Collect, reinterpret_cast<LPARAM>(&search));
    } else {
        EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

bool IsPluginBoxCaption(const std::string& caption)
{
    return caption.compare(0, sizeof kPostBoxCaptionPrefix - 1, kPostBoxCaptionPrefix) == 0 ||
           caption == kProductName;
}
