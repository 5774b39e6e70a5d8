#include "support/hosted_plugin.h"

HostedPlugin::HostedPlugin() : descriptor_(sandbox_.Descriptor())
{
    descriptor_->parentWindow = window_.Handle();
    descriptor_->moduleInstance = sandbox_.Module();
}

void HostedPlugin::Configure(const std::string& server, const std::string& formPath)
{
    sandbox_.WriteIni("[WinAmp Tunewire Basic]\r\nServerName=" + server +
                      "\r\nFormHandler=" + formPath + "\r\n");
}

DWORD HostedPlugin::Quit()
{
    DWORD start = GetTickCount();
    descriptor_->quit();
    return GetTickCount() - start;
}
