// The texts of the boxes that report a redirect answer and a secure connection
// the platform refused. Both say what happened in the user's terms and what to
// change, instead of a bare code or an HTML body.
#pragma once

#include <windows.h>

#include <string>

// "The server answered <status> and moved the form to <location>.", with a
// second line naming the https:// server (and port) to enter when a plain
// post was moved to an https:// location the plugin can post to. The location
// is shown without the user name and password it may carry, and cut to 2,000
// characters, "..." included.
std::string RedirectText(DWORD status, const std::string& location, bool securePost);

// The text for a certificate or secure-channel failure of an https:// post;
// empty when the code is not one of those.
std::string SecureChannelText(DWORD errorCode);
