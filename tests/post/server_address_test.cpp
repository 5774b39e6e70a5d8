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

TEST(ServerAddressTest, APrefixOrAPortChangesTheAddressAndNothingElseDoes)
{
    const AddressRow rows[] = {
        {"www.example.com", "www.example.com", 80, false},
        {"www.example.com/", "www.example.com/", 80, false},
        {"http://www.example.com", "www.example.com", 80, false},
        {"HTTP://www.example.com/", "www.example.com", 80, false},
        {"https:/www.example.com", "", 0, false},
        {"http:/www.example.com", "", 0, false},
        {"https://www.example.com", "www.example.com", 443, true},
        {"HTTPS://www.example.com/", "www.example.com", 443, true},
        {"HtTpS://127.0.0.1", "127.0.0.1", 443, true},
        {"https://", "", 443, true},
        {"https:///", "", 443, true},
        {"http://", "", 80, false},
        {"", "", 80, false},
        // Ports: 1 to 65535, digits only; anything else leaves no host.
        {"www.example.com:8080", "www.example.com", 8080, false},
        {"http://www.example.com:8080/", "www.example.com", 8080, false},
        {"https://www.example.com:8443", "www.example.com", 8443, true},
        {"https://www.example.com:443/", "www.example.com", 443, true},
        {"127.0.0.1:1", "127.0.0.1", 1, false},
        {"127.0.0.1:65535", "127.0.0.1", 65535, false},
        {"127.0.0.1:00080", "127.0.0.1", 80, false},
        {"127.0.0.1:0", "", 0, false},
        {"127.0.0.1:65536", "", 0, false},
        {"127.0.0.1:99999999999", "", 0, false},
        {"127.0.0.1:", "", 0, false},
        {"https://127.0.0.1:", "", 0, true},
        {"127.0.0.1:+80", "", 0, false},
        {"127.0.0.1: 80", "", 0, false},
        {"127.0.0.1:8o", "", 0, false},
        {"www.example.com:8080/", "", 0, false},
        {":8080", "", 8080, false},
        // IPv6: a bare address, or one in brackets without a port, goes as
        // typed; a port follows the closing bracket.
        {"::1", "::1", 80, false},
        {"fe80::1:8080", "fe80::1:8080", 80, false},
        {"[::1]", "[::1]", 80, false},
        {"[::1]:8080", "[::1]", 8080, false},
        {"https://[::1]:8443/", "[::1]", 8443, true},
        {"[::1]:x", "", 0, false},
        {"[::1", "[::1", 80, false},
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

TEST(PostMessagesTest, SecondLineOnlyForAPlainPostMovedToHttpsItCanFollow)
{
    EXPECT_EQ("The server answered 301 and moved the form to HTTPS://www.example.com:8443/f.php?x=1."
              "\nTo post over HTTPS, enter the server as https://www.example.com:8443.",
              RedirectText(301, "HTTPS://www.example.com:8443/f.php?x=1", false));
    EXPECT_EQ("The server answered 302 and moved the form to https://www.example.com/f.php.",
              RedirectText(302, "https://www.example.com/f.php", true));
    EXPECT_EQ("The server answered 307 and moved the form to /elsewhere.php.",
              RedirectText(307, "/elsewhere.php", false));
    EXPECT_EQ("The server answered 301 and moved the form to https://[::1]:8443/f.php."
              "\nTo post over HTTPS, enter the server as https://[::1]:8443.",
              RedirectText(301, "https://[::1]:8443/f.php", false));
    // Servers the plugin could not post to are named in no advice.
    for (const char* location : {"https:///f.php", "https://h:0/f.php", "https://h:99999/",
                                 "https://h:port/f.php"})
        EXPECT_EQ("The server answered 301 and moved the form to " + std::string(location) + ".",
                  RedirectText(301, location, false));
    // The Server field holds 1023 characters.
    const std::string tooLong = "https://" + std::string(1016, 'h');
    EXPECT_EQ("The server answered 301 and moved the form to " + tooLong + "/.",
              RedirectText(301, tooLong + "/", false));
    const std::string longest = "https://" + std::string(1015, 'h');
    EXPECT_EQ("The server answered 301 and moved the form to " + longest + "/."
              "\nTo post over HTTPS, enter the server as " + longest + ".",
              RedirectText(301, longest + "/", false));
}

TEST(PostMessagesTest, TheNewAddressIsShownWithoutCredentials)
{
    const struct {
        const char* location;
        const char* shown;
    } rows[] = {
        {"https://user:pw@www.example.com:8443/f.php?a=b@c",
         "https://www.example.com:8443/f.php?a=b@c"},
        {"http://user@www.example.com/", "http://www.example.com/"},
        {"HTTP://a@b:c@www.example.com", "HTTP://www.example.com"},
        {"//user:pw@www.example.com/f.php", "//www.example.com/f.php"},
        {"ftp+x.y-z://user:pw@host/", "ftp+x.y-z://host/"},
        {"https://www.example.com/f.php?mail=me@example.com",
         "https://www.example.com/f.php?mail=me@example.com"},
        {"https://www.example.com#me@x", "https://www.example.com#me@x"},
        {"/f.php?next=http://user:pw@host/", "/f.php?next=http://user:pw@host/"},
        {"1ttp://user:pw@host/", "1ttp://user:pw@host/"},
        {"mailto:me@example.com", "mailto:me@example.com"},
    };
    for (const auto& row : rows)
        EXPECT_EQ("The server answered 302 and moved the form to " + std::string(row.shown) + ".",
                  RedirectText(302, row.location, true))
            << row.location;
    EXPECT_EQ("The server answered 302 and moved the form to https://h:8443/x."
              "\nTo post over HTTPS, enter the server as https://h:8443.",
              RedirectText(302, "https://me:secret@h:8443/x", false));
}

TEST(PostMessagesTest, ALongAddressIsCutToTwoThousandCharactersWithAnEllipsis)
{
    const std::string prefix = "The server answered 301 and moved the form to ";
    const std::string fits = "/" + std::string(1999, 'p');
    EXPECT_EQ(prefix + fits + ".", RedirectText(301, fits, false));
    const std::string cut = "https://user:pw@h/" + std::string(32767, 'p');
    EXPECT_EQ(prefix + "https://h/" + std::string(1987, 'p') + "....\nTo post over HTTPS, enter "
                       "the server as https://h.",
              RedirectText(301, cut, false));
    EXPECT_EQ(prefix + fits.substr(0, 1997) + "....",
              RedirectText(301, fits + "p", false));
}

}  // namespace
