// The three entries the host calls through the plugin record, and the stop
// signal they share with the monitor thread.
#pragma once

#include <windows.h>

#include <atomic>

int PluginInit();
void PluginConfig();
void PluginQuit();

// 0 while the monitor is to run, 1 once quit has begun. Written only by
// PluginInit and PluginQuit; the monitor reads it afresh at every check.
extern std::atomic<unsigned char> g_stopRequested;

// Set together with g_stopRequested, so that a monitor pausing between polls
// wakes at once instead of finishing its pause.
HANDLE GetStopEvent();

extern char g_descriptionText[260];
