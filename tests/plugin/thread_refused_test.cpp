// The plugin's entries, linked statically, when the platform refuses to
// create the monitor thread: init still succeeds, nothing is ever posted, and
// quit only stores the settings.
#include <gtest/gtest.h>

#include "plugin/lifecycle.h"
#include "host/plugin.h"
#include "support/import_slot.h"
#include "support/plugin_sandbox.h"

namespace {

HANDLE WINAPI RefuseThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                           LPDWORD)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST(ThreadRefusedTest, InitSucceedsAndQuitOnlyStoresTheSettings)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    sandbox.WriteIni("[WinAmp Tunewire Basic]\r\nServerName=kept.example.com\r\n");
    ImportReplacement<decltype(&CreateThread)> refuse("kernel32.dll", &CreateThread,
                                                       &RefuseThread);

    EXPECT_EQ(0, PluginInit());
    EXPECT_STREQ("WinAmp Tunewire Basic v1.0.0.1", g_pluginDescriptor.description);
    // Quit has no thread to wait for: it returns at once, far from the 3 s
    // it would give a running monitor, whatever else the machine is doing.
    DWORD start = GetTickCount();
    PluginQuit();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ("[WinAmp Tunewire Basic]\r\nServerName=kept.example.com\r\n"
              "FormHandler=/MyFormHandler.php?track=\r\n",
              sandbox.ReadIni());
}

}  // namespace
