// The posting tests' shared pieces. The dialog watcher reads captions with
// InternalGetWindowText, which sends no message, for the same reason as the
// message-box robot: a thread busy in a post must not stall the watcher.
#include "post/post_fixture.h"

#include <algorithm>
#include <cstring>

#include "config/settings.h"
#include "config/settings_lock.h"

namespace {

constexpr DWORD kPollMs = 10;
const wchar_t kBoxCaptionPrefix[] = L"Tunewire Plugin";

struct Found {
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectConfigDialog(HWND window, LPARAM found)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    wchar_t caption[256] = {};
    InternalGetWindowText(window, caption, 256);
    if (std::strcmp(className, "#32770") == 0 &&
        wcsncmp(caption, kBoxCaptionPrefix, wcslen(kBoxCaptionPrefix)) != 0)
        reinterpret_cast<Found*>(found)->dialogs.push_back(window);
    return TRUE;
}

}  // namespace

ConfigDialogWatcher::ConfigDialogWatcher()
    : thread_([this] {
          for (;;) {
              Sweep();
              {
                  std::lock_guard<std::mutex> lock(mutex_);
                  if (stopping_)
                      return;
              }
              Sleep(kPollMs);
          }
      })
{
}

ConfigDialogWatcher::~ConfigDialogWatcher()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    thread_.join();
}

std::vector<DWORD> ConfigDialogWatcher::Threads() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
}

void ConfigDialogWatcher::Sweep()
{
    Found found;
    EnumWindows(CollectConfigDialog, reinterpret_cast<LPARAM>(&found));
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.erase(std::remove_if(seen_.begin(), seen_.end(), [](HWND w) { return !IsWindow(w); }),
                seen_.end());
    for (HWND dialog : found.dialogs) {
        if (std::find(seen_.begin(), seen_.end(), dialog) != seen_.end())
            continue;
        seen_.push_back(dialog);
        threads_.push_back(GetWindowThreadProcessId(dialog, nullptr));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

void PostTrackTest::StoreSettings(const std::string& server, const std::string& formPath) const
{
    sandbox_.WriteIni("[WinAmp Tunewire Basic]\r\nServerName=" + server +
                      "\r\nFormHandler=" + formPath + "\r\n");
}

void PostTrackTest::FillSettingsBuffers(const std::string& server, const std::string& formPath)
{
    SettingsLock lock;
    std::strcpy(g_serverName, server.c_str());
    std::strcpy(g_formHandler, formPath.c_str());
}

void ExpectClosedChildFirst(const std::vector<std::string>& calls)
{
    std::vector<std::string> opened;
    std::vector<std::string> closed;
    bool closing = false;
    for (const std::string& call : calls) {
        // GoogleTest itself reports failures on the debugger output too.
        if (call.rfind("OutputDebugStringA(", 0) == 0)
            continue;
        bool failed = call.find(" -> failed") != std::string::npos;
        if (call.rfind("InternetOpenA(", 0) == 0 && !failed)
            opened.push_back("session");
        else if (call.rfind("InternetConnectA(", 0) == 0 && !failed)
            opened.push_back("connection");
        else if (call.rfind("HttpOpenRequestA(", 0) == 0 && !failed)
            opened.push_back("request");

        if (call.rfind("InternetCloseHandle(", 0) == 0) {
            closing = true;
            closed.push_back(call.substr(20, call.size() - 21));
        } else {
            EXPECT_FALSE(closing) << call << " came after a close";
        }
    }
    std::reverse(opened.begin(), opened.end());
    EXPECT_EQ(opened, closed);
}
