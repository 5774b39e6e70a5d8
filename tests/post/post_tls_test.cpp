// Posts to https:// servers over real WinInet and real TLS: loopback TLS
// terminators, started by tls_post_test.sh, relay to this process's own HTTP
// server. One terminator has a certificate from the test CA, trusted in the
// test prefix; the others have an untrusted, a wrongly named or an expired
// one. Run outside that script, every case is skipped.
#include <algorithm>
#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "config/dialog_fixture.h"
#include "config/settings.h"
#include "support/post_fixture.h"
#include "post/post_track.h"
#include "support/dialog_driver.h"

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr DWORD kClientCertificateNeeded = 12044;  // WinInet asks the caller to choose one

const char kTitle[] = "Artist - Title";
const char kBody[] = "track=Artist+%2D+Title";
const char kFormHandler[] = "/np.php?track=";
const char kSuccessText[] =
    "Connected to server = OK, Connected to form = OK. \n\n You should check the image on the "
    "server, and ensure it's been updated with 'Connection Test'";

class PostTlsTest : public PostTrackTest {
protected:
    void SetUp() override
    {
        if (TlsTerminator("BACKEND").empty())
            GTEST_SKIP() << "needs the TLS terminators of tls_post_test.sh";
        PostTrackTest::SetUp();
        backend_ = std::make_unique<LoopbackHttpServer>(TlsTerminator("BACKEND"));
    }

    std::unique_ptr<LoopbackHttpServer> backend_;
};

TEST_F(PostTlsTest, HttpsPostArrivesWithTheExactRequest)
{
    const std::string host = TlsTerminator("TRUSTED");
    StoreSettings("https://" + host, kFormHandler);
    EXPECT_TRUE(PostTrack(kTitle, kUseStoredSettings, kUseStoredSettings));

    EXPECT_TRUE(robot_.Boxes().empty());
    const std::vector<RecordedRequest> requests = backend_->Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /np.php?track= HTTP/1.0", requests[0].requestLine);
    EXPECT_EQ(host, requests[0].Header("Host"));
    EXPECT_EQ("My Sessions", requests[0].Header("User-Agent"));
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].Header("Content-Type"));
    EXPECT_EQ(std::to_string(sizeof kBody - 1), requests[0].Header("Content-Length"));
    EXPECT_EQ(kBody, requests[0].body);

    EXPECT_EQ("InternetConnectA(session, \"" + host + "\", 443, null, null, 3, 0x0, 1)",
              spy_.CallsOf("InternetConnectA").at(0));
    // RELOAD | NO_AUTO_REDIRECT | SECURE, and no flag that lets a bad certificate pass.
    EXPECT_EQ("HttpOpenRequestA(connection, \"POST\", \"/np.php?track=\", \"HTTP/1.0\", null, "
              "null, 0x80a00000, 1)",
              spy_.CallsOf("HttpOpenRequestA").at(0));
    ExpectClosedChildFirst(spy_.Calls());
}

TEST_F(PostTlsTest, PrefixInCapitalsAndClosingSlashAreAccepted)
{
    FillSettingsBuffers("HTTPS://" + TlsTerminator("TRUSTED") + "/", kFormHandler);
    EXPECT_TRUE(PostTrack(kTitle, g_serverName, g_formHandler));

    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_EQ(kSuccessText, robot_.Boxes()[0].text);
    ASSERT_EQ(1u, backend_->Requests().size());
    EXPECT_EQ(kBody, backend_->Requests()[0].body);
}

TEST_F(PostTlsTest, RedirectFromAnHttpsServerNamesOnlyTheNewAddress)
{
    backend_->Script(ScriptedResponse::Redirect(301, "https://127.255.255.1/np.php"));
    FillSettingsBuffers("https://" + TlsTerminator("TRUSTED"), kFormHandler);
    EXPECT_FALSE(PostTrack(kTitle, g_serverName, g_formHandler));

    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_EQ("Tunewire Plugin - Failed To Post Data, Server Response:", robot_.Boxes()[0].caption);
    EXPECT_EQ("The server answered 301 and moved the form to https://127.255.255.1/np.php.",
              robot_.Boxes()[0].text);
    EXPECT_EQ(1u, backend_->Requests().size());
}

// A port after the host is where the post goes; the Host header names it.
TEST_F(PostTlsTest, AServerWithAPortIsPostedToOnThatPort)
{
    const std::string host = TlsTerminator("WITH_PORT");
    const std::string port = TlsTerminator("PORT");
    StoreSettings("https://" + host + ":" + port + "/", kFormHandler);
    EXPECT_TRUE(PostTrack(kTitle, kUseStoredSettings, kUseStoredSettings));

    EXPECT_TRUE(robot_.Boxes().empty());
    const std::vector<RecordedRequest> requests = backend_->Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(host + ":" + port, requests[0].Header("Host"));
    EXPECT_EQ(kBody, requests[0].body);
    EXPECT_EQ("InternetConnectA(session, \"" + host + "\", " + port + ", null, null, 3, 0x0, 1)",
              spy_.CallsOf("InternetConnectA").at(0));
}

// A server that asks for a client certificate but admits a client without
// one. Wine's WinInet goes on without a certificate by itself; Windows stops
// with 12044 first, which the spy plays here.
TEST_F(PostTlsTest, AServerAskingForAClientCertificateGetsThePostWithoutOne)
{
    const std::string server = "https://" + TlsTerminator("CLIENT_CERT");
    const std::string send = "HttpSendRequestA(request, \"Content-Type: "
                             "application/x-www-form-urlencoded\", 47, \"" +
                             std::string(kBody) + "\", " + std::to_string(sizeof kBody - 1) + ")";
    const std::string noCertificate = "InternetSetOptionA(request, 47, 0 bytes)";
    struct Case {
        const char* name;
        int askings;  // how often WinInet stops to ask for a certificate
        std::vector<std::string> sends;
        size_t arrived;
        std::string box;
    };
    const Case cases[] = {
        {"as Wine does", 0, {send}, 1, ""},
        {"as Windows does", 1, {send + " -> failed", noCertificate, send}, 1, ""},
        {"server insists", 2, {send + " -> failed", noCertificate, send + " -> failed"}, 0,
         "Secure connection refused: the server asks for a certificate of the client, which the "
         "plugin does not have (error 12044)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t calls = spy_.Calls().size();
        const size_t arrived = backend_->Requests().size();
        const size_t boxes = robot_.Boxes().size();
        for (int i = 0; i < c.askings; ++i)
            spy_.FailNext("HttpSendRequestA", kClientCertificateNeeded);
        StoreSettings(server, kFormHandler);
        EXPECT_EQ(c.box.empty(), PostTrack(kTitle, kUseStoredSettings, kUseStoredSettings));

        // Wine refuses the option (12009, an option it does not know); the
        // request is sent again all the same.
        std::vector<std::string> sends;
        const std::vector<std::string> all = spy_.Calls();
        for (size_t i = calls; i < all.size(); ++i) {
            if (all[i].rfind("HttpSendRequestA(", 0) == 0)
                sends.push_back(all[i]);
            else if (all[i].rfind(noCertificate, 0) == 0)
                sends.push_back(noCertificate);
        }
        EXPECT_EQ(c.sends, sends);
        EXPECT_EQ(arrived + c.arrived, backend_->Requests().size());
        const std::vector<SeenBox> seen = robot_.Boxes();
        ASSERT_EQ(boxes + (c.box.empty() ? 0 : 1), seen.size());
        if (!c.box.empty()) {
            EXPECT_EQ(c.box, seen.back().text);
        }
        EXPECT_EQ(1u, std::count(all.begin() + calls, all.end(),
                                 "OutputDebugStringA(\"" + std::string(kBody) + "\")"));
    }
}

struct CertificateRow {
    const char* terminator;
    bool storedMode;
    std::string text;
};

const char kUntrusted[] =
    "Secure connection refused: the server's certificate is not from an authority this "
    "computer trusts";

TEST_F(PostTlsTest, CertificateProblemsGetTheirOwnBoxAndPostNothing)
{
    const CertificateRow rows[] = {
        {"UNTRUSTED", true,
         std::string(kUntrusted) + ", or whether it was revoked could not be checked (error 12057)."},
        {"UNTRUSTED_CHAIN", false, std::string(kUntrusted) + " (error 12045)."},
        {"WRONG_NAME", true,
         "Secure connection refused: the server's certificate is made out to another name than "
         "the server entered (error 12038)."},
        {"EXPIRED", false,
         "Secure connection refused: the server's certificate has expired or is not yet valid "
         "(error 12037)."},
    };
    size_t boxes = 0;
    for (const CertificateRow& row : rows) {
        SCOPED_TRACE(row.terminator);
        const std::string server = "https://" + TlsTerminator(row.terminator);
        bool result;
        if (row.storedMode) {
            StoreSettings(server, kFormHandler);
            result = PostTrack(kTitle, kUseStoredSettings, kUseStoredSettings);
        } else {
            FillSettingsBuffers(server, kFormHandler);
            result = PostTrack(kTitle, g_serverName, g_formHandler);
        }
        EXPECT_FALSE(result);
        ASSERT_EQ(++boxes, robot_.Boxes().size());
        EXPECT_EQ("Tunewire Plugin", robot_.Boxes().back().caption);
        EXPECT_EQ(row.text, robot_.Boxes().back().text);
    }
    EXPECT_TRUE(backend_->Requests().empty());
    EXPECT_TRUE(dialogs_.Threads().empty());
}

class TestButtonTlsTest : public DialogFixture {
protected:
    void SetUp() override
    {
        if (TlsTerminator("BACKEND").empty())
            GTEST_SKIP() << "needs the TLS terminators of tls_post_test.sh";
        DialogFixture::SetUp();
        backend_ = std::make_unique<LoopbackHttpServer>(TlsTerminator("BACKEND"));
    }

    std::unique_ptr<LoopbackHttpServer> backend_;
    UiRobot robot_;
};

TEST_F(TestButtonTlsTest, TestButtonPostsOverHttps)
{
    RunConfigDialog([&](HWND dialog) {
        ASSERT_NE(nullptr, dialog);
        SetItemText(dialog, IDC_SERVER_NAME, "https://" + TlsTerminator("TRUSTED"));
        SetItemText(dialog, IDC_FORM_HANDLER, kFormHandler);
        PressButton(dialog, IDC_TEST);
        ASSERT_TRUE(robot_.WaitForBoxes(1, kWaitMs));
        EXPECT_EQ(kSuccessText, robot_.Boxes()[0].text);
    });
    const std::vector<RecordedRequest> requests = backend_->Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("track=Connection+Test", requests[0].body);
}

}  // namespace
