// Redirect and secure-channel texts. The codes come from WinInet; under Wine
// an untrusted authority shows as 12057 when the server sends only its own
// certificate and as 12045 when it sends the whole chain.
#include "post/post_messages.h"

#include <wininet.h>

#include <algorithm>
#include <initializer_list>

#include "config/settings.h"
#include "post/post_exchange.h"
#include "post/server_address.h"

namespace {

// WinInet's code for a secure-channel failure (ERROR_INTERNET_DECODING_FAILED
// in its header) as some platform versions report a failed handshake.
constexpr DWORD kSecureFailure = 12175;

// The most of a new address the box shows, its ellipsis included: enough for
// any address a user reads, and far below the 32,767 characters from which a
// message box shows an empty text (seen under Wine).
constexpr size_t kMaxShownLocation = 2000;
const char kEllipsis[] = "...";

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Where the host part of a "scheme://" or "//" address begins; npos for an
// address without one, such as a path.
size_t HostPartStart(const std::string& location)
{
    const size_t slashes = location.find("//");
    if (slashes == 0)
        return 2;
    if (slashes == std::string::npos || slashes < 2 || location[slashes - 1] != ':' ||
        !IsAsciiLetter(location[0]))
        return std::string::npos;
    for (size_t i = 1; i + 1 < slashes; ++i) {
        const char c = location[i];
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return std::string::npos;
    }
    return slashes + 2;
}

// The address without the "user:password@" that may precede its host: a
// password must not appear in a box that anyone near the screen can read.
std::string WithoutCredentials(std::string location)
{
    const size_t start = HostPartStart(location);
    if (start == std::string::npos)
        return location;
    const size_t end = location.find_first_of("/?#", start);
    const size_t at = location.substr(start, end - start).rfind('@');
    if (at != std::string::npos)
        location.erase(start, at + 1);
    return location;
}

std::string Shortened(std::string text)
{
    if (text.size() > kMaxShownLocation) {
        text.resize(kMaxShownLocation - (sizeof kEllipsis - 1));
        text += kEllipsis;
    }
    return text;
}

// The Server setting that posts to an absolute https:// location: the prefix
// and the location's host and port, up to its path, query or fragment. Empty
// when the plugin could not use it: no usable host or port, or longer than the
// Server field holds.
std::string SecureServerOf(const std::string& location)
{
    const std::string rest = location.substr(kSecurePrefixLength);
    const std::string server = kSecurePrefix + rest.substr(0, rest.find_first_of("/?#"));
    if (server.size() >= static_cast<size_t>(kSettingSize) || ParseServer(server).host.empty())
        return "";
    return server;
}

bool OneOf(DWORD code, std::initializer_list<DWORD> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::string WithCode(const char* text, DWORD errorCode)
{
    return std::string(text) + " (error " + std::to_string(errorCode) + ").";
}

}  // namespace

std::string RedirectText(DWORD status, const std::string& location, bool securePost)
{
    const std::string address = WithoutCredentials(location);
    std::string text = "The server answered " + std::to_string(status) +
                       " and moved the form to " + Shortened(address) + ".";
    const std::string server = HasSecurePrefix(address) ? SecureServerOf(address) : "";
    if (!securePost && !server.empty())
        text += "\nTo post over HTTPS, enter the server as " + server + ".";
    return text;
}

std::string TooSlowText(DWORD status, const std::string& kept)
{
    const std::string seconds = std::to_string(kPostDeadlineMs / 1000) + " seconds";
    if (status == 0)
        return "The server was too slow: no answer came within " + seconds +
               ", so the post was given up.";
    const std::string note = "The server was too slow: its answer (status " +
                             std::to_string(status) + ") was cut off after " + seconds + ".";
    const char gap[] = "\n\n";
    if (kept.empty())
        return note;
    return kept.substr(0, kMaxResponseText - note.size() - (sizeof gap - 1)) + gap + note;
}

std::string SecureChannelText(DWORD errorCode)
{
    if (OneOf(errorCode, {ERROR_INTERNET_INVALID_CA, ERROR_INTERNET_SEC_INVALID_CERT}))
        return WithCode("Secure connection refused: the server's certificate is not from an "
                        "authority this computer trusts",
                        errorCode);
    // Windows reports this when it cannot learn whether the certificate was
    // revoked; Wine reports it for a server that sends no chain to a trusted
    // authority.
    if (errorCode == ERROR_INTERNET_SEC_CERT_REV_FAILED)
        return WithCode("Secure connection refused: the server's certificate is not from an "
                        "authority this computer trusts, or whether it was revoked could not be "
                        "checked",
                        errorCode);
    if (errorCode == ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED)
        return WithCode("Secure connection refused: the server asks for a certificate of the "
                        "client, which the plugin does not have",
                        errorCode);
    if (errorCode == ERROR_INTERNET_SEC_CERT_CN_INVALID)
        return WithCode("Secure connection refused: the server's certificate is made out to "
                        "another name than the server entered",
                        errorCode);
    if (errorCode == ERROR_INTERNET_SEC_CERT_DATE_INVALID)
        return WithCode("Secure connection refused: the server's certificate has expired or is "
                        "not yet valid",
                        errorCode);
    if (OneOf(errorCode, {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, kSecureFailure,
                          ERROR_INTERNET_SEC_CERT_ERRORS, ERROR_INTERNET_SEC_CERT_NO_REV,
                          ERROR_INTERNET_SEC_CERT_REVOKED}))
        return WithCode("Secure connection failed: the server's certificate or its secure "
                        "channel was refused",
                        errorCode);
    return "";
}
