// Reading the Server setting. Only the "https://" prefix is recognised; a
// value without it goes to the platform exactly as typed, as it always has.
#include "post/server_address.h"

#include <algorithm>
#include <cctype>

namespace {

const char kSecurePrefix[] = "https://";
constexpr size_t kSecurePrefixLength = sizeof kSecurePrefix - 1;

bool StartsWithNoCase(const std::string& text, const char* prefix, size_t length)
{
    return text.size() >= length &&
           std::equal(prefix, prefix + length, text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

ServerAddress ParseServer(const std::string& server)
{
    if (!StartsWithNoCase(server, kSecurePrefix, kSecurePrefixLength))
        return {server, INTERNET_DEFAULT_HTTP_PORT, false};
    // Users copy the address from a browser, which shows a closing slash.
    std::string host = server.substr(kSecurePrefixLength);
    if (!host.empty() && host.back() == '/')
        host.pop_back();
    return {host, INTERNET_DEFAULT_HTTPS_PORT, true};
}
