// Where a post goes: the host, the port and whether the request runs over TLS,
// read from the Server setting: "host", "host:port", "https://host[:port]"
// or "http://host[:port]", the prefixes in any letter case. "https://" asks
// for TLS, on port 443 unless a port is given; otherwise plain HTTP, on port
// 80 unless a port is given. A port is 1 to 65535, digits only; any other
// text after the host's colon leaves the address without a host, which makes
// the setting unusable, as an empty one is.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

struct ServerAddress {
    std::string host;
    INTERNET_PORT port;
    bool secure;
};

ServerAddress ParseServer(const std::string& server);

// The prefix of a Server setting that asks for TLS.
constexpr char kSecurePrefix[] = "https://";
constexpr size_t kSecurePrefixLength = sizeof kSecurePrefix - 1;

// True when `address` starts with kSecurePrefix, in any letter case.
bool HasSecurePrefix(const std::string& address);
