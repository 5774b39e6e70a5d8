// The text of a plugin.ini naming a server and a form path, laid out as the
// plugin itself writes the file. The one place tests and tools spell it.
#pragma once

#include <string>

std::string SettingsFileText(const std::string& server, const std::string& formPath);
