// An error response far larger than anyone reads: the post collects no more
// text than a message box can show (32766 characters), inside one endless
// line too, shows that much, and ends promptly instead of reading the body.
#include <string>

#include "config/settings.h"
#include "post/post_track.h"
#include "support/post_fixture.h"

namespace {

constexpr size_t kShown = 32 * 1024 - 2;
constexpr size_t kHugeBody = 10 * 1024 * 1024;
constexpr DWORD kPromptMs = 5000;  // generous for Wine; reading 10 MB line by line took far longer

std::string WithoutLineBreaks(const std::string& text)
{
    std::string joined;
    for (char c : text) {
        if (c != '\r' && c != '\n')
            joined += c;
    }
    return joined;
}

class LargeResponseTest : public PostTrackTest {
protected:
    // The failure box's text after a 500 answer with `body`, and the time taken.
    std::string PostAgainst(const std::string& body, DWORD& elapsedMs)
    {
        server_.Script(ScriptedResponse::Answer(500, body));
        FillSettingsBuffers(server_.Host(), kFormPath);
        const size_t boxesBefore = robot_.Boxes().size();
        DWORD start = GetTickCount();
        EXPECT_FALSE(PostTrack("a", g_serverName, g_formHandler));
        elapsedMs = GetTickCount() - start;
        const std::vector<SeenBox> boxes = robot_.Boxes();
        EXPECT_EQ(boxesBefore + 1, boxes.size());
        return boxes.size() == boxesBefore ? "" : boxes.back().text;
    }
};

TEST_F(LargeResponseTest, TenMegabytesOfLinesShowWhatTheBoxCanHold)
{
    std::string body;
    body.reserve(kHugeBody + 32);
    for (unsigned n = 0; body.size() < kHugeBody; ++n)
        body += "line " + std::to_string(n) + " of an error page\r\n";

    DWORD elapsedMs = 0;
    std::string shown = PostAgainst(body, elapsedMs);
    EXPECT_EQ(WithoutLineBreaks(body).substr(0, kShown), shown);
    EXPECT_LT(elapsedMs, kPromptMs);
    ExpectClosedChildFirst(spy_.Calls());
}

TEST_F(LargeResponseTest, TenMegabytesInOneLineShowWhatTheBoxCanHold)
{
    std::string body;
    body.reserve(kHugeBody);
    while (body.size() < kHugeBody)
        body += "0123456789abcdefghijklmnopqrstuvwxyz";

    DWORD elapsedMs = 0;
    std::string shown = PostAgainst(body, elapsedMs);
    EXPECT_EQ(body.substr(0, kShown), shown);
    EXPECT_LT(elapsedMs, kPromptMs);
}

TEST_F(LargeResponseTest, TextUpToTheLimitIsShownWhole)
{
    struct Case {
        std::string body;
        std::string shown;
    };
    const std::string full(kShown, 'x');
    const Case cases[] = {
        {full, full},
        {full + "\n", full},
        {full + "y", full},
        {std::string(kShown - 1, 'x') + "\r\nyz", std::string(kShown - 1, 'x') + "y"},
    };
    for (const Case& c : cases) {
        DWORD elapsedMs = 0;
        EXPECT_EQ(c.shown, PostAgainst(c.body, elapsedMs)) << c.body.size() << " bytes";
    }
}

}  // namespace
