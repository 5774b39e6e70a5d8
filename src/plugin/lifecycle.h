// The three entries the host calls through the plugin record.
#pragma once

#include <windows.h>

int PluginInit();
void PluginConfig();
void PluginQuit();

extern char g_descriptionText[260];
