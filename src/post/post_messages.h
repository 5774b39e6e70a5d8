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

// The text for a post its deadline ended. Before any answer: "The server was
// too slow: no answer came within 30 seconds, so the post was given up."
// After the head of a failure answer: the lines of it that came, a blank line,
// then "The server was too slow: its answer (status 500) was cut off after 30
// seconds."; the lines are cut so that the whole still shows in a box.
std::string TooSlowText(DWORD status, const std::string& kept);

// The text for a certificate or secure-channel failure of an https:// post;
// empty when the code is not one of those.
std::string SecureChannelText(DWORD errorCode);
