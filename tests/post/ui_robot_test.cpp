// The message-box robot that the posting tests rely on: it must see the
// plugin's boxes on any thread, leave every other window alone, and keep a box
// open while dismissing is off.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/ui_robot.h"

namespace {

TEST(UiRobotTest, RecordsAndDismissesAPluginBoxOnAnotherThread)
{
    UiRobot robot;
    DWORD boxThread = 0;
    std::thread raiser([&] {
        boxThread = GetCurrentThreadId();
        MessageBoxA(nullptr, "line one\nline two", "Tunewire Plugin - Invalid Config:", MB_OK);
    });
    raiser.join();  // returns only once the robot has closed the box

    auto boxes = robot.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Tunewire Plugin - Invalid Config:", boxes[0].caption);
    EXPECT_EQ("line one\nline two", boxes[0].text);
    EXPECT_EQ(boxThread, boxes[0].threadId);
    EXPECT_EQ(nullptr, boxes[0].owner);
    EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
    EXPECT_FALSE(boxes[0].icon);
}

TEST(UiRobotTest, RecordsTheOwnerButtonsAndIconOfABox)
{
    UiRobot robot;
    HWND owner = nullptr;
    std::thread raiser([&] {
        owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                              nullptr, nullptr);
        MessageBoxA(owner, "", "Tunewire Plugin", MB_OKCANCEL | MB_ICONERROR);
        DestroyWindow(owner);
    });
    raiser.join();

    auto boxes = robot.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(nullptr, boxes[0].owner);
    EXPECT_EQ(owner, boxes[0].owner);
    EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL}), boxes[0].buttons);
    EXPECT_TRUE(boxes[0].icon);
}

TEST(UiRobotTest, LeavesOtherCaptionsAlone)
{
    UiRobot robot;
    // Unique to this process: other test programs share the display.
    const std::string caption = "Version " + std::to_string(GetCurrentProcessId());
    std::atomic<int> result{0};
    std::thread raiser([&] { result = MessageBoxA(nullptr, "", caption.c_str(), MB_OK); });

    HWND other = nullptr;
    for (int i = 0; i < 200 && other == nullptr; ++i) {
        Sleep(10);
        other = FindWindowA("#32770", caption.c_str());
    }
    ASSERT_NE(nullptr, other);
    Sleep(100);
    EXPECT_TRUE(IsWindow(other));
    EXPECT_TRUE(robot.Boxes().empty());
    PostMessageA(other, WM_COMMAND, IDOK, 0);
    raiser.join();
    EXPECT_EQ(IDOK, result);
}

TEST(UiRobotTest, KeepsABoxOpenUntilDismissingResumes)
{
    UiRobot robot;
    robot.SetDismissing(false);
    std::atomic<bool> returned{false};
    std::thread raiser([&] {
        MessageBoxA(nullptr, "long text", "Tunewire Plugin", MB_OK);
        returned = true;
    });

    ASSERT_TRUE(robot.WaitForBoxes(1, 5000));
    Sleep(100);
    EXPECT_FALSE(returned);
    EXPECT_TRUE(IsWindow(robot.Boxes()[0].window));

    robot.SetDismissing(true);
    raiser.join();
    EXPECT_EQ(1u, robot.Boxes().size());
}

}  // namespace
