// Running out of memory at any allocation of a post: the post ends quietly
// with false, nothing escapes to the caller, and no message box is shown.
// Allocations fail only on the test's own thread, so the server and the
// message-box robot run normally.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "config/settings.h"
#include "config/settings_lock.h"
#include "post/post_track.h"
#include "loopback/loopback_http_server.h"
#include "support/ui_robot.h"

namespace {

thread_local long t_allocationsLeft = -1;  // -1: no limit on this thread
thread_local bool t_allocationRefused = false;

}  // namespace

void* operator new(std::size_t size)
{
    if (t_allocationsLeft == 0) {
        t_allocationRefused = true;
        throw std::bad_alloc();
    }
    if (t_allocationsLeft > 0)
        --t_allocationsLeft;
    if (void* memory = std::malloc(size != 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

TEST(PostOutOfMemoryTest, EachRefusedAllocationEndsThePostQuietly)
{
    LoopbackHttpServer server;
    UiRobot robot;
    {
        SettingsLock lock;
        std::strcpy(g_serverName, server.Host().c_str());
        std::strcpy(g_formHandler, "/np.php");
    }

    bool completed = false;
    long allowed = 0;
    for (; allowed < 1000 && !completed; ++allowed) {
        const size_t boxesBefore = robot.Boxes().size();
        t_allocationRefused = false;
        t_allocationsLeft = allowed;
        const bool result = PostTrack("Connection Test", g_serverName, g_formHandler);
        t_allocationsLeft = -1;
        completed = !t_allocationRefused;

        const size_t boxesShown = robot.Boxes().size() - boxesBefore;
        if (completed) {
            EXPECT_TRUE(result);
            EXPECT_EQ(1u, boxesShown) << "the success box";
        } else {
            EXPECT_FALSE(result) << "allocation " << allowed << " refused";
            EXPECT_EQ(0u, boxesShown) << "allocation " << allowed << " refused";
        }
    }
    EXPECT_TRUE(completed);
    // At least the three objects, the body and the header text are allocated.
    EXPECT_GT(allowed, 5);
}

}  // namespace
