// The posting tests' shared pieces. The dialog watcher tells a configuration
// dialog from a message box by its caption.
#include "support/post_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "config/settings.h"
#include "config/settings_lock.h"
#include "settings_file.h"
#include "support/process_dialogs.h"

namespace {

constexpr DWORD kPollMs = 10;

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
    std::vector<ProcessDialog> dialogs = FindProcessDialogs(DialogState::kShown);
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.erase(std::remove_if(seen_.begin(), seen_.end(), [](HWND w) { return !IsWindow(w); }),
                seen_.end());
    for (const ProcessDialog& dialog : dialogs) {
        if (IsPluginBoxCaption(dialog.caption) ||
            std::find(seen_.begin(), seen_.end(), dialog.window) != seen_.end())
            continue;
        seen_.push_back(dialog.window);
        threads_.push_back(dialog.threadId);
        PostMessageA(dialog.window, WM_COMMAND, IDCANCEL, 0);
    }
}

void PostTrackTest::StoreSettings(const std::string& server, const std::string& formPath) const
{
    sandbox_.WriteIni(SettingsFileText(server, formPath));
}

void PostTrackTest::FillSettingsBuffers(const std::string& server, const std::string& formPath)
{
    SettingsLock lock;
    std::strcpy(g_serverName, server.c_str());
    std::strcpy(g_formHandler, formPath.c_str());
}

std::string TlsTerminator(const char* name)
{
    const char* address = std::getenv((std::string("TUNEWIRE_TLS_") + name).c_str());
    return address == nullptr ? "" : address;
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
