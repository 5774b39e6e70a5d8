#include "settings_file.h"

namespace {

// The section is the plugin's product name; CRLF line ends, as the platform's
// profile functions write them.
const char kSection[] = "[WinAmp Tunewire Basic]\r\n";

}  // namespace

std::string SettingsFileText(const std::string& server, const std::string& formPath)
{
    return kSection + ("ServerName=" + server + "\r\nFormHandler=" + formPath + "\r\n");
}
