// Where a post goes: the host, the port and whether the request runs over TLS,
// read from the Server setting. A value that starts with "https://" (any
// letter case) asks for TLS on port 443; any other value is the host itself,
// for plain HTTP on port 80.
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
