// The record the host player takes from the plugin's one export, and the
// plugin's identity. The host writes parentWindow and moduleInstance before it
// calls init; nothing in the plugin writes them.
#pragma once

#include <windows.h>

struct PluginDescriptor {
    int version;               // layout version of this record
    const char* description;   // read by the host at any time
    int (*init)();
    void (*config)();
    void (*quit)();
    HWND parentWindow;         // receives every track query, owns the dialog
    HINSTANCE moduleInstance;  // locates the dialog template and plugin.ini
};

// The player is a 32-bit program. The x86-64 build of the tests has fields of
// pointer size and is never loaded by a player.
static_assert(sizeof(void*) != 4 || sizeof(PluginDescriptor) == 28,
              "the host reads seven 32-bit fields");

extern PluginDescriptor g_pluginDescriptor;

extern const char kProductName[];  // also the settings file's section name
extern const char kVersionText[];

extern "C" PluginDescriptor* winampGetGeneralPurposePlugin();
