// Line reading over a real response: the lines each body gives, whatever the
// size of the platform's reads, each read asking no more than has arrived;
// how many calls the end of a response costs; the 127-character pieces of the
// text form; and the length limit.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "http/http_fixture.h"

namespace {

std::vector<std::string> AllLines(CHttpFile& request)
{
    std::vector<std::string> lines;
    std::string line = "stale";
    while (request.ReadLine(line))
        lines.push_back(line);
    EXPECT_EQ("", line) << "the text after the last line";
    return lines;
}

// Windows' synchronous InternetReadFile waits until all it was asked for has
// come (Wine's returns after one receive), so each read must ask for no more
// than the platform has just said is there.
void ExpectReadsWithinWhatArrived(const std::vector<std::string>& calls)
{
    unsigned long available = 0;
    for (const std::string& call : calls) {
        unsigned long bytes = 0;
        if (std::sscanf(call.c_str(), "InternetQueryDataAvailable(request) = %lu", &bytes) == 1) {
            available = bytes;
        } else if (std::sscanf(call.c_str(), "InternetReadFile(request, %lu)", &bytes) == 1) {
            EXPECT_LE(bytes, available) << call;
            available = 0;
        }
    }
}

struct LineCase {
    const char* name;
    std::string body;
    std::vector<std::string> lines;
};

const std::vector<LineCase>& LineCases()
{
    static const std::vector<LineCase> cases = {
        {"CR LF ends", "abc\r\ndef\r\n", {"abc", "def"}},
        {"last line unterminated", "abc\nxyz", {"abc", "xyz"}},
        {"empty body", "", {}},
        {"LF alone", "\n", {""}},
        {"CR LF alone", "\r\n", {""}},
        {"empty lines between", "one\r\n\r\n\ntwo", {"one", "", "", "two"}},
        {"CR inside a line", "a\rb\n", {"ab"}},
        {"CR only, no LF", "a\rb\rc", {"abc"}},
        {"300 characters", std::string(300, 'x') + "\n", {std::string(300, 'x')}},
        {"127 then LF", std::string(127, 'x') + "\nnext", {std::string(127, 'x'), "next"}},
        {"126 then LF", std::string(126, 'x') + "\nnext", {std::string(126, 'x'), "next"}},
        {"128 then CR LF", std::string(128, 'x') + "\r\n", {std::string(128, 'x')}},
        {"CR at a piece edge", std::string(126, 'x') + "\ry\n", {std::string(126, 'x') + "y"}},
        {"zero byte in a short line", std::string("ab\0cd\nef\n", 9), {"ab", "ef"}},
        {"zero byte in a long line", "aaaaa" + std::string(1, '\0') + std::string(294, 'b') + "\n",
         {"aaaaa", std::string(173, 'b')}},
        {"several reads long", std::string(5000, 'a') + "\n" + std::string(4000, 'b'),
         {std::string(5000, 'a'), std::string(4000, 'b')}},
    };
    return cases;
}

TEST_F(HttpLayerTest, LinesOfEachBody)
{
    for (DWORD readLimit : {0u, 1u, 5u}) {
        spy_.LimitReads(readLimit);
        for (const LineCase& c : LineCases()) {
            auto request = Respond(c.body);
            EXPECT_EQ(c.lines, AllLines(*request)) << c.name << ", reads capped at " << readLimit;
        }
        ExpectReadsWithinWhatArrived(spy_.Calls());
    }
}

TEST_F(HttpLayerTest, EmptyBodyEndsAfterTwoQueriesAndEachLaterCallAsksAgain)
{
    auto request = Respond("");
    std::string line;
    EXPECT_FALSE(request->ReadLine(line));
    EXPECT_EQ((std::vector<std::string>{"InternetQueryDataAvailable(request) = 0",
                                        "InternetQueryDataAvailable(request) = 0"}),
              spy_.CallsOf("InternetQueryDataAvailable"));
    EXPECT_FALSE(request->ReadLine(line));
    EXPECT_EQ(3u, spy_.CallsOf("InternetQueryDataAvailable").size());
    EXPECT_TRUE(spy_.CallsOf("InternetReadFile").empty());
}

// Counts the buffer-form calls that the text form makes, and their rooms.
class PieceCountingFile : public CHttpFile {
public:
    using CHttpFile::CHttpFile;
    using CHttpFile::ReadLine;

    char* ReadLine(char* buffer, UINT room) override
    {
        rooms.push_back(room);
        return CHttpFile::ReadLine(buffer, room);
    }

    std::vector<UINT> rooms;
};

struct PieceCase {
    const char* name;
    std::string body;
    size_t maxLength;
    std::string line;
    std::vector<UINT> rooms;
};

TEST_F(HttpLayerTest, TextFormReadsInPiecesAndStopsAtItsLimit)
{
    const std::vector<PieceCase> cases = {
        {"300 characters", std::string(300, 'x'), CStdioFile::kNoLimit, std::string(300, 'x'),
         {128, 128, 128}},
        {"127 then LF", std::string(127, 'x') + "\n", CStdioFile::kNoLimit,
         std::string(127, 'x'), {128, 128}},
        {"126 then LF", std::string(126, 'x') + "\n", CStdioFile::kNoLimit,
         std::string(126, 'x'), {128}},
        {"limit inside a piece", std::string(300, 'x'), 200, std::string(200, 'x'), {128, 74}},
        {"limit at a piece edge", std::string(300, 'x'), 127, std::string(127, 'x'), {128}},
        {"limit beyond the line", "abc\n", 10, "abc", {11}},
        {"limit of one", "abc\n", 1, "a", {2}},
    };
    for (const PieceCase& c : cases) {
        server_.Script(ScriptedResponse::Answer(404, c.body));
        Connect();
        HINTERNET handle = HttpOpenRequestA(connection_->connectionHandle, "POST", "/", nullptr,
                                            nullptr, nullptr, INTERNET_FLAG_RELOAD, 1);
        PieceCountingFile request(handle, "POST", "/", 1);
        request.Send("", nullptr, 0);
        std::string line;
        EXPECT_TRUE(request.ReadLine(line, c.maxLength)) << c.name;
        EXPECT_EQ(c.line, line) << c.name;
        EXPECT_EQ(c.rooms, request.rooms) << c.name;
    }
}

TEST_F(HttpLayerTest, ALimitedLineLeavesTheRestForTheNextRead)
{
    auto request = Respond(std::string(300, 'x') + "\nend");
    std::string line;
    ASSERT_TRUE(request->ReadLine(line, 200));
    ASSERT_TRUE(request->ReadLine(line));
    EXPECT_EQ(std::string(100, 'x'), line);
    ASSERT_TRUE(request->ReadLine(line));
    EXPECT_EQ("end", line);
}

TEST_F(HttpLayerTest, BufferFormKeepsTheLineFeedAndLeavesWhatDoesNotFit)
{
    auto request = Respond("abcdef\nxy\n");
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);

    EXPECT_EQ(buffer, request->ReadLine(buffer, 1));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(buffer, request->ReadLine(buffer, 4));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(buffer, request->ReadLine(buffer, 16));
    EXPECT_STREQ("def\n", buffer);
    EXPECT_EQ(buffer, request->ReadLine(buffer, 16));
    EXPECT_STREQ("xy\n", buffer);
    EXPECT_EQ(nullptr, request->ReadLine(buffer, 16));
    EXPECT_STREQ("", buffer);
}

// Growing the text by a fixed step would copy a line this long some 30,000
// times over; growing it geometrically keeps the read linear.
TEST_F(HttpLayerTest, AVeryLongLineIsReadInLinearTime)
{
    const std::string body(4 * 1024 * 1024, 'x');
    auto request = Respond(body + "\nend");
    std::string line;
    DWORD start = GetTickCount();
    ASSERT_TRUE(request->ReadLine(line));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(body, line);
    ASSERT_TRUE(request->ReadLine(line));
    EXPECT_EQ("end", line);
}

// The limit counts bytes taken from the platform, carriage returns included,
// and once it is used up the response reads as ended without another read.
TEST_F(HttpLayerTest, AReadLimitEndsTheResponseWhereItRunsOut)
{
    auto request = Respond("abc\r\ndef\r\nghi\r\n");
    request->LimitRead(7);
    EXPECT_EQ((std::vector<std::string>{"abc", "de"}), AllLines(*request));
    EXPECT_EQ(std::vector<std::string>{"InternetReadFile(request, 7)"},
              spy_.CallsOf("InternetReadFile"));

    auto flood = Respond(std::string(10000, '\r'));
    flood->LimitRead(5000);
    std::string line;
    EXPECT_FALSE(flood->ReadLine(line));
    EXPECT_FALSE(flood->ReadLine(line));
    EXPECT_EQ((std::vector<std::string>{"InternetReadFile(request, 7)",
                                        "InternetReadFile(request, 4096)",
                                        "InternetReadFile(request, 904)"}),
              spy_.CallsOf("InternetReadFile"));
}

TEST_F(HttpLayerTest, AFailedReadOrQueryRaisesThePlatformCode)
{
    for (const char* function : {"InternetQueryDataAvailable", "InternetReadFile"}) {
        auto request = Respond("abc\n");
        spy_.FailNext(function, 12030);
        std::string line;
        EXPECT_EQ(12030u, RaisedCode([&] { request->ReadLine(line); })) << function;
    }
}

}  // namespace
