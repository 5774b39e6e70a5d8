// What a post puts on the wire and which values it uses: the platform calls
// of one post in order, the request the server receives, and how the marker
// is told apart from an empty text.
#include <string>
#include <vector>

#include "config/settings.h"
#include "post/post_track.h"
#include "support/post_fixture.h"

namespace {

TEST_F(PostTrackTest, OnePostMakesThesePlatformCallsInThisOrder)
{
    StoreSettings(server_.Host(), kFormPath);
    ASSERT_TRUE(PostTrack("Connection Test", kUseStoredSettings, kUseStoredSettings));

    const std::string host = server_.Host();
    EXPECT_EQ((std::vector<std::string>{
                  "InternetOpenA(\"My Sessions\", 0, null, null, 0x0)",
                  "InternetConnectA(session, \"" + host + "\", 80, null, null, 3, 0x0, 1)",
                  "InternetSetOptionA(connection, 2, 15000)",
                  "InternetSetOptionA(connection, 5, 15000)",
                  "InternetSetOptionA(connection, 6, 15000)",
                  "HttpOpenRequestA(connection, \"POST\", \"/np.php?track=\", \"HTTP/1.0\", null, "
                  "null, 0x80200000, 1)",
                  "OutputDebugStringA(\"track=Connection+Test\")",
                  "HttpSendRequestA(request, \"Content-Type: application/x-www-form-urlencoded\", "
                  "47, \"track=Connection+Test\", 21)",
                  "HttpQueryInfoA(request, 19, 80)",
                  "InternetCloseHandle(request)",
                  "InternetCloseHandle(connection)",
                  "InternetCloseHandle(session)",
              }),
              spy_.Calls());
    EXPECT_TRUE(robot_.Boxes().empty());
}

TEST_F(PostTrackTest, ServerReceivesTheFormPost)
{
    struct Case {
        const char* title;
        std::string body;
    };
    for (const Case& c : {Case{"Connection Test", "track=Connection+Test"}, Case{"", "track="},
                          Case{"50% off!", "track=50%25+off%21"}}) {
        StoreSettings(server_.Host(), kFormPath);
        PostTrack(c.title, kUseStoredSettings, kUseStoredSettings);
        ASSERT_TRUE(server_.WaitForRequests(1, 0));
        const RecordedRequest request = server_.Requests().back();
        EXPECT_EQ("POST /np.php?track= HTTP/1.0", request.requestLine);
        EXPECT_EQ("application/x-www-form-urlencoded", request.Header("Content-Type"));
        EXPECT_EQ("My Sessions", request.Header("User-Agent"));
        EXPECT_EQ(std::to_string(c.body.size()), request.Header("Content-Length"));
        EXPECT_EQ(c.body, request.body);
    }
}

// A UTF-8 title goes through the same byte-wise encoder and is labelled
// after the track field; the debugger output shows the same body.
TEST_F(PostTrackTest, Utf8TitleIsPostedWithItsCharsetField)
{
    struct Case {
        const char* title;
        std::string body;
    };
    for (const Case& c :
         {Case{"Connection Test", "track=Connection+Test&charset=utf-8"},
          Case{"", "track=&charset=utf-8"},
          Case{"\xE6\x97\xA5 - \xD0\x9F", "track=%E6%97%A5+%2D+%D0%9F&charset=utf-8"},
          Case{"a&charset=x", "track=a%26charset%3Dx&charset=utf-8"}}) {
        StoreSettings(server_.Host(), kFormPath);
        PostTrack(c.title, kUseStoredSettings, kUseStoredSettings, TitleCharset::kUtf8);
        ASSERT_TRUE(server_.WaitForRequests(1, 0));
        const RecordedRequest request = server_.Requests().back();
        EXPECT_EQ(std::to_string(c.body.size()), request.Header("Content-Length"));
        EXPECT_EQ(c.body, request.body);
        const std::vector<std::string> traces = spy_.CallsOf("OutputDebugStringA");
        ASSERT_FALSE(traces.empty());
        EXPECT_EQ("OutputDebugStringA(\"" + c.body + "\")", traces.back());
    }
}

// A port in the Server setting reaches the connection, and the Host header
// names it; without one the post goes to port 80 with the bare host name, as
// it always has. "http://" is dropped.
TEST_F(PostTrackTest, APortInTheServerSettingIsWhereThePostGoes)
{
    constexpr u_short kOtherPort = 8080;
    LoopbackHttpServer other("", kOtherPort);
    const std::string host = other.Host();
    struct Case {
        std::string setting;
        LoopbackHttpServer& server;
        unsigned port;
        std::string hostHeader;
    };
    const Case cases[] = {
        {host + ":8080", other, kOtherPort, host + ":8080"},
        {"HTTP://" + host + ":08080/", other, kOtherPort, host + ":8080"},
        {server_.Host(), server_, 80, server_.Host()},
        {"http://" + server_.Host() + "/", server_, 80, server_.Host()},
        {server_.Host() + ":80", server_, 80, server_.Host()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        const size_t before = c.server.Requests().size();
        StoreSettings(c.setting, kFormPath);
        PostTrack("a", kUseStoredSettings, kUseStoredSettings);
        const std::string hostName = c.hostHeader.substr(0, c.hostHeader.find(':'));
        EXPECT_EQ("InternetConnectA(session, \"" + hostName + "\", " + std::to_string(c.port) +
                      ", null, null, 3, 0x0, 1)",
                  spy_.CallsOf("InternetConnectA").back());
        ASSERT_EQ(before + 1, c.server.Requests().size());
        const RecordedRequest request = c.server.Requests().back();
        EXPECT_EQ("POST /np.php?track= HTTP/1.0", request.requestLine);
        EXPECT_EQ(c.hostHeader, request.Header("Host"));
        EXPECT_EQ("track=a", request.body);
    }
}

TEST_F(PostTrackTest, MarkerInEitherArgumentMeansStoredSettings)
{
    StoreSettings(server_.Host(), "/stored.php");
    // Stored mode shows nothing on success; test mode would show a box.
    EXPECT_TRUE(PostTrack("a", "unused.invalid", kUseStoredSettings));
    EXPECT_TRUE(PostTrack("b", kUseStoredSettings, "/unused.php"));

    const std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("POST /stored.php HTTP/1.0", requests[0].requestLine);
    EXPECT_EQ("POST /stored.php HTTP/1.0", requests[1].requestLine);
    EXPECT_TRUE(robot_.Boxes().empty());
    EXPECT_TRUE(spy_.CallsOf("InternetConnectA").at(0).find(server_.Host()) != std::string::npos);
}

TEST_F(PostTrackTest, AnEmptyTextThatIsNotTheMarkerIsAnInvalidTestValue)
{
    StoreSettings(server_.Host(), kFormPath);
    const char emptyServer[] = "";
    const char emptyFormPath[] = "";
    EXPECT_TRUE(PostTrack("a", emptyServer, emptyFormPath));

    ASSERT_EQ(1u, robot_.Boxes().size());
    EXPECT_EQ("Tunewire Plugin - Invalid Config:", robot_.Boxes()[0].caption);
    EXPECT_TRUE(dialogs_.Threads().empty());
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(spy_.Calls().empty());
}

TEST_F(PostTrackTest, StoredPostReadsTheSettingsFileAfresh)
{
    FillSettingsBuffers("stale.invalid", "/stale");
    StoreSettings(server_.Host(), "/fresh.php");
    EXPECT_TRUE(PostTrack("a", kUseStoredSettings, kUseStoredSettings));

    EXPECT_STREQ(server_.Host().c_str(), g_serverName);
    EXPECT_STREQ("/fresh.php", g_formHandler);
    ASSERT_EQ(1u, server_.Requests().size());
    EXPECT_EQ("POST /fresh.php HTTP/1.0", server_.Requests()[0].requestLine);
}

}  // namespace
