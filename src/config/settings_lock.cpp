// The critical section behind SettingsLock. It is initialised during static
// initialisation, before the host can call any entry, and lives as long as the
// module.
#include "config/settings_lock.h"

#include "common/critical_section.h"

namespace {

CriticalSection g_settingsSection;

}  // namespace

SettingsLock::SettingsLock()
{
    EnterCriticalSection(g_settingsSection.Get());
}

SettingsLock::~SettingsLock()
{
    LeaveCriticalSection(g_settingsSection.Get());
}
