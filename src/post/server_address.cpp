// Reading the Server setting: an optional "https://" (TLS) or "http://"
// (dropped) prefix, the host, and an optional ":port". A value with neither
// prefix nor port goes to the platform exactly as typed, as it always has.
#include "post/server_address.h"

#include "common/ascii_case.h"

namespace {

constexpr char kPlainPrefix[] = "http://";
constexpr size_t kPlainPrefixLength = sizeof kPlainPrefix - 1;
constexpr unsigned kHighestPort = 65535;

// The number a port text names, or 0 (no port) unless it is digits only and
// names 1 to 65535.
INTERNET_PORT PortNumber(const std::string& text)
{
    unsigned value = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9')
            return 0;
        value = value * 10 + static_cast<unsigned>(digit - '0');
        if (value > kHighestPort)
            return 0;
    }
    return static_cast<INTERNET_PORT>(value);
}

// Where the colon before a port stands in `host`, or npos. An IPv6 address
// has colons of its own: in brackets only a colon right after the closing
// bracket starts a port, and a bare address (several colons) never has one.
size_t PortColon(const std::string& host)
{
    if (!host.empty() && host[0] == '[') {
        const size_t close = host.find(']');
        if (close == std::string::npos || close + 1 >= host.size() || host[close + 1] != ':')
            return std::string::npos;
        return close + 1;
    }
    const size_t colon = host.find(':');
    if (colon == std::string::npos || host.find(':', colon + 1) != std::string::npos)
        return std::string::npos;
    return colon;
}

}  // namespace

bool HasSecurePrefix(const std::string& address)
{
    return StartsWithIgnoringAsciiCase(address.c_str(), kSecurePrefix);
}

ServerAddress ParseServer(const std::string& server)
{
    ServerAddress address{server, INTERNET_DEFAULT_HTTP_PORT, false};
    const bool plain = StartsWithIgnoringAsciiCase(server.c_str(), kPlainPrefix);
    if (plain || HasSecurePrefix(server)) {
        address.secure = !plain;
        address.port = plain ? INTERNET_DEFAULT_HTTP_PORT : INTERNET_DEFAULT_HTTPS_PORT;
        address.host = server.substr(plain ? kPlainPrefixLength : kSecurePrefixLength);
        // Users copy the address from a browser, which shows a closing slash.
        if (!address.host.empty() && address.host.back() == '/')
            address.host.pop_back();
    }
    const size_t colon = PortColon(address.host);
    if (colon != std::string::npos) {
        address.port = PortNumber(address.host.substr(colon + 1));
        // A port that is no port leaves no host: the setting is unusable.
        address.host = address.port != 0 ? address.host.substr(0, colon) : "";
    }
    return address;
}
