// The settings file in use is read afresh at each call, as the monitor reads
// it at each track, so a relative name follows the settings when they move to
// the per-user file. The address keeps the characters a path of RFC 3986 may
// hold and encodes the rest (blanks, '#', '%', '?', every non-ASCII byte), so
// a streaming program's browser source takes it pasted as it is.
#include "ui/output_place.h"

#include <windows.h>

#include <cstring>

#include "config/streamer_settings.h"
#include "monitor/title_file.h"
#include "post/url_encode.h"

namespace {

// Besides ASCII letters and digits: the unreserved marks, the
// sub-delimiters, ':' and '@', and the '/' that separates the path's parts.
const char kKeptInAddress[] = "-._~!$&'()*+,;=:@/";

bool IsAsciiLetterOrDigit(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

bool OutputPathOf(const wchar_t* typed, wchar_t* full)
{
    return typed[0] != L'\0' &&
           OutputFilePath(typed, ReadStreamerSettings().settingsFolder, full) == 0;
}

std::string FileAddress(const std::string& path)
{
    std::string address = path.compare(0, 2, "\\\\") == 0 ? "file:" : "file:///";
    for (const char byte : path) {
        const unsigned char c = byte == '\\' ? '/' : static_cast<unsigned char>(byte);
        if (IsAsciiLetterOrDigit(c) || std::strchr(kKeptInAddress, c) != nullptr) {
            address += static_cast<char>(c);
        } else {
            address += '%';
            address += HexDigit(c >> 4);
            address += HexDigit(c & 15);
        }
    }
    return address;
}
