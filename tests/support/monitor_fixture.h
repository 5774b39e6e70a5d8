// A fixture for scenarios of the real DLL's monitor: the plugin hosted by the
// stand-in main window, a loopback form handler and the message-box robot. It
// quits the plugin on the way out if the test started it and did not quit.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hosted_plugin.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"

class MonitorFixture : public ::testing::Test {
protected:
    ~MonitorFixture() override
    {
        if (started_ && !quit_)
            plugin_.Quit();
    }

    void Start()
    {
        started_ = true;
        plugin_.Init();
    }

    DWORD Quit()
    {
        quit_ = true;
        return plugin_.Quit();
    }

    HostWindow& Host() { return plugin_.Window(); }

    // Pumps the host's messages until the server has seen `count` posts.
    bool PumpUntilPosts(size_t count, DWORD timeoutMs = 4000)
    {
        return Host().PumpUntil([&] { return server_.Requests().size() >= count; }, timeoutMs);
    }

    std::vector<std::string> Bodies() const
    {
        std::vector<std::string> bodies;
        for (const RecordedRequest& request : server_.Requests())
            bodies.push_back(request.body);
        return bodies;
    }

    LoopbackHttpServer server_;
    UiRobot robot_;
    HostedPlugin plugin_;

private:
    bool started_ = false;
    bool quit_ = false;
};
