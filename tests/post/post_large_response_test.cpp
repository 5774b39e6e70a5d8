// An error response far larger than anyone reads: the post collects no more
// text than a message box can show (32766 characters), inside one endless
// line too, shows that much, and stops reading long before the body ends.
// What it read is counted from the reads it asked for, not timed, so a busy
// machine cannot make the case fail.
#include <cstdio>
#include <string>

#include "config/settings.h"
#include "post/post_track.h"
#include "support/post_fixture.h"

namespace {

constexpr size_t kShown = 32 * 1024 - 2;
constexpr size_t kHugeBody = 10 * 1024 * 1024;
// The post reads at most a megabyte of an error answer; with the reads'
// last buffer that is well under two.
constexpr size_t kMostBytesAsked = 2 * 1024 * 1024;

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
    // The failure box's text after a 500 answer with `body`, and the bytes
    // the post's reads asked for.
    std::string PostAgainst(const std::string& body, size_t& bytesAsked)
    {
        server_.Script(ScriptedResponse::Answer(500, body));
        FillSettingsBuffers(server_.Host(), kFormPath);
        const size_t boxesBefore = robot_.Boxes().size();
        EXPECT_FALSE(PostTrack("a", g_serverName, g_formHandler));
        bytesAsked = 0;
        for (const std::string& call : spy_.Calls()) {
            unsigned long asked = 0;
            if (std::sscanf(call.c_str(), "InternetReadFile(request, %lu)", &asked) == 1)
                bytesAsked += asked;
        }
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

    size_t bytesAsked = 0;
    std::string shown = PostAgainst(body, bytesAsked);
    EXPECT_EQ(WithoutLineBreaks(body).substr(0, kShown), shown);
    EXPECT_GT(bytesAsked, 0u);
    EXPECT_LE(bytesAsked, kMostBytesAsked);
    ExpectClosedChildFirst(spy_.Calls());
}

TEST_F(LargeResponseTest, TenMegabytesInOneLineShowWhatTheBoxCanHold)
{
    std::string body;
    body.reserve(kHugeBody);
    while (body.size() < kHugeBody)
        body += "0123456789abcdefghijklmnopqrstuvwxyz";

    size_t bytesAsked = 0;
    std::string shown = PostAgainst(body, bytesAsked);
    EXPECT_EQ(body.substr(0, kShown), shown);
    EXPECT_GT(bytesAsked, 0u);
    EXPECT_LE(bytesAsked, kMostBytesAsked);
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
        size_t bytesAsked = 0;
        EXPECT_EQ(c.shown, PostAgainst(c.body, bytesAsked)) << c.body.size() << " bytes";
    }
}

}  // namespace
