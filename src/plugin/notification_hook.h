// The Instant key on the player's side: a hook that sees the notifications
// the player sends its main window and wakes the monitor with them.
#pragma once

#include <windows.h>

// Hooks the messages sent to the windows of the thread that owns `host`, and
// sets `wakeEvent` for each track notification sent to `host` itself. Does
// nothing when `wakeEvent` is null; replaces a hook left by an earlier init.
// A host that cannot be hooked (no window, one of another process, a refusal)
// leaves the monitor polling as ever, and nothing is said.
void InstallNotificationHook(HWND host, HANDLE wakeEvent);

// Removes the hook, on the thread that installed it; nothing when there is
// none. Called before the monitor stops, so the wake event outlives the hook.
void RemoveNotificationHook();
