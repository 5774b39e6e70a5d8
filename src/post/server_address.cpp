// Reading the Server setting. Only the "https://" prefix is recognised; a
// value without it goes to the platform exactly as typed, as it always has.
#include "post/server_address.h"

#include "common/ascii_case.h"

bool HasSecurePrefix(const std::string& address)
{
    return StartsWithIgnoringAsciiCase(address.c_str(), kSecurePrefix);
}

ServerAddress ParseServer(const std::string& server)
{
    if (!HasSecurePrefix(server))
        return {server, INTERNET_DEFAULT_HTTP_PORT, false};
    // Users copy the address from a browser, which shows a closing slash.
    std::string host = server.substr(kSecurePrefixLength);
    if (!host.empty() && host.back() == '/')
        host.pop_back();
    return {host, INTERNET_DEFAULT_HTTPS_PORT, true};
}
