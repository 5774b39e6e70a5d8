// The two procedures of the plugin that the platform calls back, the monitor's
// thread procedure and the dialog procedure, let no exception out: one that
// crossed the platform's frames would end the player. A platform call inside
// each is made to throw; the plugin's code is linked in, so the swapped
// import slots are the ones its calls go through.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "ui/config_dialog.h"
#include "monitor/monitor_lifetime.h"
#include "support/import_slot.h"

namespace {

std::atomic<int> g_queries{0};
std::atomic<int> g_fieldsSet{0};

LRESULT WINAPI ThrowingSendMessage(HWND, UINT, WPARAM, LPARAM)
{
    ++g_queries;
    throw std::runtime_error("query");
}

BOOL WINAPI ThrowingSetText(HWND, int, LPCSTR)
{
    ++g_fieldsSet;
    throw std::runtime_error("field");
}

TEST(CallbackBoundaryTest, TheMonitorThreadEndsQuietlyWhenAQueryThrows)
{
    ImportReplacement<decltype(&SendMessageA)> throwing("user32.dll", &SendMessageA,
                                                         &ThrowingSendMessage);
    StartTrackMonitor(GetDesktopWindow(), false);
    const DWORD start = GetTickCount();
    while (g_queries == 0 && GetTickCount() - start < 5000)
        Sleep(10);
    // A monitor that went on after the exception would ask again after its
    // pause of a second or two.
    Sleep(2500);
    EXPECT_EQ(1, g_queries.load());
    StopTrackMonitor();
}

TEST(CallbackBoundaryTest, TheDialogProcedureLetsNoExceptionOut)
{
    ImportReplacement<decltype(&SetDlgItemTextA)> throwing("user32.dll", &SetDlgItemTextA,
                                                            &ThrowingSetText);
    EXPECT_NO_THROW(ConfigDialogProc(nullptr, WM_INITDIALOG, 0, 0));
    EXPECT_EQ(1, g_fieldsSet.load()) << "the dialog never reached the throwing call";
}

}  // namespace
