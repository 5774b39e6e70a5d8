// The one lock for the settings buffers and the path buffers beside the
// module, shared by the host's thread and the monitor thread.
#pragma once

// Scoped guard over the lock. The lock is recursive, so a holder may call
// ReadSettings or a path operation.
class SettingsLock {
public:
    SettingsLock();
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;
};
