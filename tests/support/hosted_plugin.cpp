#include "support/hosted_plugin.h"

#include "settings_file.h"

HostedPlugin::HostedPlugin() : descriptor_(sandbox_.Descriptor())
{
    descriptor_->parentWindow = window_.Handle();
    descriptor_->moduleInstance = sandbox_.Module();
}

void HostedPlugin::Configure(const std::string& server, const std::string& formPath)
{
    sandbox_.WriteIni(SettingsFileText(server, formPath));
}
