// Start and stop of the plugin. PluginInit runs on the host's thread and
// starts the monitor; PluginQuit stops it, never forcing it: a monitor stuck
// in a post or a message box ends by itself at its next check of its flag,
// and the module reference it holds keeps the code mapped until then.
//
// With Instant on, the monitor is made wakeable and the player's
// notifications wake it through a hook, installed after the monitor starts and
// removed, on the same thread, before it stops.
#include "plugin/lifecycle.h"

#include "ui/config_dialog.h"
#include "config/settings.h"
#include "config/streamer_settings.h"
#include "monitor/monitor_lifetime.h"
#include "plugin/notification_hook.h"
#include "host/plugin.h"

char g_descriptionText[260];

int PluginInit()
{
    g_pluginDescriptor.description = g_descriptionText;
    wsprintfA(g_descriptionText, "%s %s", kProductName, kVersionText);
    ReadSettings();
    StartTrackMonitor(g_pluginDescriptor.parentWindow, ReadStreamerSettings().instant);
    InstallNotificationHook(g_pluginDescriptor.parentWindow, TrackMonitorWakeEvent());
    return 0;
}

void PluginConfig()
{
    ShowConfigDialog();
}

void PluginQuit()
{
    RemoveNotificationHook();
    StopTrackMonitor();
    // No dialog is open to tell of a move now: the next one does.
    if (WriteSettings() == SettingsStore::kMovedToUserFile)
        OweSettingsMovedNotice();
}
