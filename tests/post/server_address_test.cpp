// How the Server setting chooses host, port and TLS, and which platform codes
// an https:// post reports as a certificate or secure-channel problem.
#include <gtest/gtest.h>

#include <string>

#include "post/post_messages.h"
#include "post/server_address.h"

namespace {

struct AddressRow {
    const char* setting;
    const char* host;
    INTERNET_PORT port;
    bool secure;
};

TEST(ServerAddressTest, OnlyAnHttpsPrefixChangesTheAddress)
{
    const AddressRow rows[] = {
        {"www.example.com", "www.example.com", 80, false},
        {"www.example.com/", "www.example.com/", 80, false},
        {"http://www.example.com", "http://www.example.com", 80, false},
        {"https:/www.example.com", "https:/www.example.com", 80, false},
        {"https://www.example.com", "www.example.com", 443, true},
        {"HTTPS://www.example.com/", "www.example.com", 443, true},
        {"HtTpS://127.0.0.1", "127.0.0.1", 443, true},
        {"https://", "", 443, true},
        {"https:///", "", 443, true},
        {"", "", 80, false},
    };
    for (const AddressRow& row : rows) {
        SCOPED_TRACE(row.setting);
        const ServerAddress address = ParseServer(row.setting);
        EXPECT_EQ(row.host, address.host);
        EXPECT_EQ(row.port, address.port);
        EXPECT_EQ(row.secure, address.secure);
    }
}

TEST(PostMessagesTest, SecureChannelCodesAndOthers)
{
    for (DWORD code : {12045u, 12169u})
        EXPECT_EQ("Secure connection refused: the server's certificate is not from an authority "
                  "this computer trusts (error " + std::to_string(code) + ").",
                  SecureChannelText(code));
    EXPECT_EQ("Secure connection refused: the server's certificate is not from an authority this "
              "computer trusts, or whether it was revoked could not be checked (error 12057).",
              SecureChannelText(12057));
    EXPECT_EQ("Secure connection refused: the server asks for a certificate of the client, which "
              "the plugin does not have (error 12044).",
              SecureChannelText(12044));
    for (DWORD code : {12055u, 12056u, 12157u, 12170u, 12175u})
        EXPECT_EQ("Secure connection failed: the server's certificate or its secure channel was "
                  "refused (error " + std::to_string(code) + ").",
                  SecureChannelText(code));
    for (DWORD code : {12002u, 12007u, 12029u, 12030u, 10054u})
        EXPECT_EQ("", SecureChannelText(code)) << code;
}

TEST(PostMessagesTest, SecondLineOnlyForAPlainPostMovedToHttps)
{
    EXPECT_EQ("The server answered 301 and moved the form to HTTPS://www.example.com:8443/f.php?x=1."
              "\nTo post over HTTPS, enter the server as https://www.example.com:8443.",
              RedirectText(301, "HTTPS://www.example.com:8443/f.php?x=1", false));
    EXPECT_EQ("The server answered 302 and moved the form to https://www.example.com/f.php.",
              RedirectText(302, "https://www.example.com/f.php", true));
    EXPECT_EQ("The server answered 307 and moved the form to /elsewhere.php.",
              RedirectText(307, "/elsewhere.php", false));
}

}  // namespace
