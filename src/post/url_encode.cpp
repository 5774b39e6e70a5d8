// The encoder's classes are the plain ASCII ones, tested by range rather than
// through <cctype>: a host that changes the C locale must not change what goes
// on the wire, and a byte of 0x80 or above is always percent-encoded.
#include "post/url_encode.h"

#include <cstring>

namespace {

bool IsAlphanumeric(unsigned char byte)
{
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= 'a' && byte <= 'z');
}

bool IsWhiteSpace(unsigned char byte)
{
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

}  // namespace

char HexDigit(unsigned value)
{
    return static_cast<char>(value < 10 ? value + 0x30 : value + 0x37);
}

std::string UrlEncode(std::string text)
{
    // The input ends at its first zero byte, wherever the string's length says.
    const size_t length = std::strlen(text.c_str());

    size_t growing = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!IsAlphanumeric(static_cast<unsigned char>(text[i])))
            ++growing;
    }

    // Only a byte that is not alphanumeric can grow, by two at most, so this
    // one reservation covers the whole output.
    std::string encoded;
    encoded.reserve(length + 1 + 2 * growing);
    for (size_t i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (IsAlphanumeric(byte)) {
            encoded += static_cast<char>(byte);
        } else if (IsWhiteSpace(byte)) {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += HexDigit(byte >> 4);
            encoded += HexDigit(byte % 16);
        }
    }
    return encoded;
}
