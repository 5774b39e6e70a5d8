// The library's entry routine and its one export. DllMain does no work: the
// module handle comes from the host in moduleInstance, and everything else
// starts in PluginInit.
#include "host/plugin.h"

extern "C" PluginDescriptor* winampGetGeneralPurposePlugin()
{
    return &g_pluginDescriptor;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
