// Form-value encoding of a title for an "application/x-www-form-urlencoded"
// body: letters and digits pass, white space becomes "+", every other byte
// becomes "%XX" with upper-case hex digits. Byte by byte, no locale.
#pragma once

#include <string>

// Encodes `text` up to its first zero byte.
std::string UrlEncode(std::string text);

// One upper-case hexadecimal digit for a value from 0 to 15.
char HexDigit(unsigned value);
