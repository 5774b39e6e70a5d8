// A thousand stored-settings posts in one process against the loopback
// server: from the 100th post to the last, the process may gain no handles
// and no private memory beyond a small allowance for Wine's own caches.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "config/settings.h"
#include "post/post_track.h"
#include "process_usage.h"
#include "settings_file.h"
#include "support/plugin_sandbox.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"

namespace {

constexpr int kPosts = 1000;
constexpr int kWarmUpPosts = 100;
// A post that kept a session, connection or request would leave three
// handles and several kilobytes each time: 900 posts would add 2,700 handles
// and megabytes. The allowances are far below that and above Wine's drift.
constexpr DWORD kHandleAllowance = 10;
constexpr SIZE_T kMemoryAllowance = 256 * 1024;

struct Usage {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

Usage Measure()
{
    return {HandleCount(), PrivateBytes()};
}

TEST(SoakTest, AThousandPostsLeaveHandlesAndMemoryFlat)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    LoopbackHttpServer server;
    UiRobot robot;
    sandbox.WriteIni(SettingsFileText(server.Host(), "/np.php?track="));

    Usage afterWarmUp;
    size_t answered = 0;
    DWORD start = GetTickCount();
    for (int post = 1; post <= kPosts; ++post) {
        const std::string title = "Artist - Title " + std::to_string(post);
        ASSERT_TRUE(PostTrack(title.c_str(), kUseStoredSettings, kUseStoredSettings)) << post;
        // The server's log would grow with every post; count it and let it go.
        answered += server.TakeRequests().size();
        if (post == kWarmUpPosts)
            afterWarmUp = Measure();
    }
    const Usage atEnd = Measure();
    const DWORD elapsed = GetTickCount() - start;

    EXPECT_EQ(static_cast<size_t>(kPosts), answered);
    EXPECT_TRUE(robot.Boxes().empty());
    ASSERT_NE(0u, afterWarmUp.privateBytes) << "the platform counts no private memory";
    EXPECT_LE(atEnd.handles, afterWarmUp.handles + kHandleAllowance);
    EXPECT_LE(atEnd.privateBytes, afterWarmUp.privateBytes + kMemoryAllowance);
    std::printf("soak: %d posts, %lu ms each; handles %lu -> %lu; private KB %lu -> %lu\n", kPosts,
                static_cast<unsigned long>(elapsed / kPosts),
                static_cast<unsigned long>(afterWarmUp.handles),
                static_cast<unsigned long>(atEnd.handles),
                static_cast<unsigned long>(afterWarmUp.privateBytes / 1024),
                static_cast<unsigned long>(atEnd.privateBytes / 1024));
}

}  // namespace
