// Reading the Server setting. Only the "https://" prefix is recognised; a
// value without it goes to the platform exactly as typed, as it always has.
#include "post/server_address.h"

#include <algorithm>
#include <cctype>

namespace {

const char kSecurePrefix[] = "https://";
static_assert(sizeof kSecurePrefix - 1 == kSecurePrefixLength, "the prefix and its length agree");

}  // namespace

bool HasSecurePrefix(const std::string& address)
{
    return address.size() >= kSecurePrefixLength &&
           std::equal(kSecurePrefix, kSecurePrefix + kSecurePrefixLength, address.begin(),
                      [](char a, char b) {
                          return a == std::tolower(static_cast<unsigned char>(b));
                      });
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
