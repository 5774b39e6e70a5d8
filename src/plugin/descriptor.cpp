// The static plugin record. Its initial values are constants, so the record is
// complete before the loader can hand out the export's address.
#include "plugin/lifecycle.h"
#include "host/plugin.h"
#include "plugin/version.h"

const char kProductName[] = "WinAmp Tunewire Basic";
const char kVersionText[] = "v" TUNEWIRE_VERSION_DOTTED;

PluginDescriptor g_pluginDescriptor = {
    16,
    kProductName,
    PluginInit,
    PluginConfig,
    PluginQuit,
    nullptr,
    nullptr,
};
