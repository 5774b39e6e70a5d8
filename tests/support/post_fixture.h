// What the posting tests share: a sandboxed plugin folder for the stored
// settings, a loopback server, the message-box robot, a watcher that closes
// any configuration dialog a post opens, and the WinInet spy.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/plugin_sandbox.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"
#include "support/wininet_spy.h"

// Cancels every configuration dialog of this process (any dialog-class window
// without a plugin box's caption, IsPluginBoxCaption) and records the thread
// that ran it.
class ConfigDialogWatcher {
public:
    ConfigDialogWatcher();
    ~ConfigDialogWatcher();
    ConfigDialogWatcher(const ConfigDialogWatcher&) = delete;
    ConfigDialogWatcher& operator=(const ConfigDialogWatcher&) = delete;

    std::vector<DWORD> Threads() const;

private:
    void Sweep();

    mutable std::mutex mutex_;
    bool stopping_ = false;
    std::vector<HWND> seen_;
    std::vector<DWORD> threads_;
    std::thread thread_;
};

class PostTrackTest : public ::testing::Test {
protected:
    static constexpr const char* kFormPath = "/np.php?track=";

    void SetUp() override { sandbox_.AdoptAsStaticModule(); }

    void StoreSettings(const std::string& server, const std::string& formPath) const;

    // Fills the settings buffers the way the dialog does before a Test post.
    static void FillSettingsBuffers(const std::string& server, const std::string& formPath);

    PluginSandbox sandbox_;
    LoopbackHttpServer server_;
    UiRobot robot_;
    ConfigDialogWatcher dialogs_;
    WinInetSpy spy_;
};

// The address of one of tls_post_test.sh's TLS terminators (or, for "PORT",
// the port of the one WITH_PORT, and for "BACKEND" where they all relay to),
// or "" outside that script.
std::string TlsTerminator(const char* name);

// Every object the post opened was closed, child first, after its last use.
void ExpectClosedChildFirst(const std::vector<std::string>& calls);
