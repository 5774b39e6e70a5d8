// Redirect and secure-channel texts. The codes come from WinInet; under Wine
// an untrusted authority shows as 12057 when the server sends only its own
// certificate and as 12045 when it sends the whole chain.
#include "post/post_messages.h"

#include <wininet.h>

#include <algorithm>
#include <initializer_list>

#include "post/server_address.h"

namespace {

// WinInet's code for a secure-channel failure (ERROR_INTERNET_DECODING_FAILED
// in its header) as some platform versions report a failed handshake.
constexpr DWORD kSecureFailure = 12175;

// The host part of an absolute https:// location: up to its path, query or
// fragment.
std::string SecureServerOf(const std::string& location)
{
    std::string rest = location.substr(kSecurePrefixLength);
    return kSecurePrefix + rest.substr(0, rest.find_first_of("/?#"));
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
    std::string text = "The server answered " + std::to_string(status) +
                       " and moved the form to " + location + ".";
    if (!securePost && HasSecurePrefix(location))
        text += "\nTo post over HTTPS, enter the server as " + SecureServerOf(location) + ".";
    return text;
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
