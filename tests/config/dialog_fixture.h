// What every dialog test starts from: the plugin's code linked statically with
// its module pointed at a sandboxed copy of the DLL (so template 101 is found
// and plugin.ini is private), no owner window, and known buffer contents that
// differ from anything in the file.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "config/settings.h"
#include "support/plugin_sandbox.h"

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox_.AdoptAsStaticModule();
        g_pluginDescriptor.parentWindow = nullptr;
        std::strcpy(g_serverName, "buffer.example.com");
        std::strcpy(g_formHandler, "/buffer.php?track=");
    }

    bool IniExists() const
    {
        return GetFileAttributesA(sandbox_.IniPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    PluginSandbox sandbox_;
};
