// Faults that the real DLL's monitor meets while it posts with the stored
// settings. One playing session walks through the faults, one track each: the
// fault must be reported the way a post reports it, and the monitor must then
// go on to post the next track.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "host/host_queries.h"
#include "support/dialog_driver.h"
#include "support/monitor_fixture.h"

namespace {

constexpr DWORD kWaitMs = 15000;  // longest step: a 5 s answer, then a poll
const char kFormPath[] = "/np.php?track=";
const char kPlain[] = "Tunewire Plugin";
const char kFailed[] = "Tunewire Plugin - Failed To Post Data, Server Response:";
const char kNothingListens[] = "127.255.255.1";  // never chosen by a test server
const char kUnresolvable[] = "tunewire-reliability.invalid";

enum class Target { kServer, kNothingListens, kUnresolvable };

struct FaultRow {
    const char* title;
    Target target;
    ScriptedResponse response;
    const char* caption;  // null: the post shows no box
    std::string text;     // the box's text, or the start of it when `cut`
    bool cut;
    bool dialog;          // the configuration dialog follows the box
};

std::string Pattern(size_t size)
{
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

ScriptedResponse Ok()
{
    return ScriptedResponse::Answer(200, "OK");
}

ScriptedResponse CutShort(int status, std::string body)
{
    ScriptedResponse response = ScriptedResponse::Answer(status, std::move(body));
    response.kind = ScriptedResponse::Kind::kCutShort;
    return response;
}

// Decodes a form value: '+' is a space, %XX a byte.
std::string FormDecode(const std::string& encoded)
{
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '+') {
            decoded += ' ';
        } else if (encoded[i] == '%' && i + 2 < encoded.size()) {
            decoded += static_cast<char>(std::strtol(encoded.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            decoded += encoded[i];
        }
    }
    return decoded;
}

using MonitorFaultTest = MonitorFixture;

TEST_F(MonitorFaultTest, EachFaultIsReportedAndTheNextTrackIsPosted)
{
    const std::string hugeBody = Pattern(10 * 1024 * 1024);
    const FaultRow rows[] = {
        {"Refused", Target::kNothingListens, Ok(), kPlain, "Generic Error Code: 12029", false,
         false},
        {"CutShort", Target::kServer, CutShort(500, "0123456789abcdefghij"), kFailed,
         "0123456789", false, false},
        {"Garbage", Target::kServer, ScriptedResponse::Of(ScriptedResponse::Kind::kGarbage),
         nullptr, "", false, false},
        {"Slow", Target::kServer, ScriptedResponse::Answer(200, "late", 5000), nullptr, "",
         false, false},
        {"Huge", Target::kServer, ScriptedResponse::Answer(500, hugeBody), kFailed,
         hugeBody.substr(0, 30000), true, false},
        {"Unresolvable", Target::kUnresolvable, Ok(), kPlain,
         "Failed to connect to server, check the server address is correct.", false, true},
        {"After", Target::kServer, Ok(), nullptr, "", false, false},
    };
    Start();

    std::vector<std::string> expectedBodies;
    size_t expectedBoxes = 0;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const FaultRow& row = rows[i];
        SCOPED_TRACE(row.title);
        plugin_.Configure(row.target == Target::kServer           ? server_.Host()
                          : row.target == Target::kNothingListens ? kNothingListens
                                                                  : kUnresolvable,
                          kFormPath);
        if (row.target == Target::kServer)
            server_.Script(row.response);
        const std::string file = "C:\\Music\\" + std::to_string(i) + ".mp3";
        Host().SetEntry(static_cast<int>(i), file.c_str(), row.title);
        Host().Play(static_cast<int>(i), 100);

        if (row.target == Target::kServer)
            expectedBodies.push_back(std::string("track=") + row.title);
        if (row.caption != nullptr)
            ++expectedBoxes;
        ASSERT_TRUE(Host().PumpUntil(
            [&] {
                return server_.Requests().size() >= expectedBodies.size() &&
                       robot_.Boxes().size() >= expectedBoxes;
            },
            kWaitMs));
        if (row.caption == nullptr)
            continue;

        const SeenBox box = robot_.Boxes().back();
        EXPECT_EQ(row.caption, box.caption);
        if (row.cut)
            EXPECT_EQ(0u, box.text.compare(0, row.text.size(), row.text));
        else
            EXPECT_EQ(row.text, box.text);
        EXPECT_NE(GetCurrentThreadId(), box.threadId) << "the monitor's thread shows it";
        if (row.dialog) {
            HWND dialog = nullptr;
            ASSERT_TRUE(Host().PumpUntil(
                [&] { return (dialog = WaitForConfigDialog(box.threadId, 0)) != nullptr; },
                kWaitMs));
            EXPECT_EQ(kUnresolvable, ItemText(dialog, IDC_SERVER_NAME));
            PressButton(dialog, IDCANCEL);
            ASSERT_TRUE(Host().PumpUntil([&] { return !IsWindow(dialog); }, kWaitMs));
        }
    }

    // The last track's post returned too: the monitor polls on.
    size_t queries = Host().Queries().size();
    EXPECT_TRUE(Host().PumpUntil([&] { return Host().Queries().size() > queries; }, 3000));
    EXPECT_EQ(expectedBodies, Bodies());
    EXPECT_EQ(expectedBoxes, robot_.Boxes().size());
}

TEST_F(MonitorFaultTest, AHostWindowThatIsNotAWindowGetsNothingPosted)
{
    HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    ASSERT_FALSE(IsWindow(gone));
    plugin_.Descriptor()->parentWindow = gone;
    plugin_.Configure(server_.Host(), kFormPath);
    Host().SetEntry(1, "C:\\Music\\a.mp3", "A");
    Host().Play(1, 100);

    Start();
    Host().Pump(2500);
    EXPECT_LT(Quit(), 200u) << "a monitor that sees no player is always pausing";
    Host().Pump(200);
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(Host().Queries().empty());
    EXPECT_TRUE(robot_.Boxes().empty());
}

// A null file name at the very first change leaves the current file name
// equal to the empty last posted one, so that change is not posted. A title
// holding every byte 01..FF reaches the server intact.
TEST_F(MonitorFaultTest, NullFirstFileNameAndEveryByteOfATitle)
{
    std::string everyByte;
    for (int byte = 1; byte <= 0xFF; ++byte)
        everyByte += static_cast<char>(byte);
    plugin_.Configure(server_.Host(), kFormPath);
    Host().SetEntry(1, nullptr, "Never posted");
    Host().SetEntry(2, "C:\\Music\\bytes.mp3", everyByte.c_str());
    Host().Play(1, 100);

    Start();
    auto askedForFile = [&] {
        for (const HostQueryRecord& query : Host().Queries())
            if (query.code == kQueryFileName)
                return true;
        return false;
    };
    ASSERT_TRUE(Host().PumpUntil(askedForFile, kWaitMs));
    Host().Play(2, 100);
    ASSERT_TRUE(Host().PumpUntil([&] { return !server_.Requests().empty(); }, kWaitMs));
    Host().Pump(1500);

    // White space, 09..0D and 20, is posted as "+" by design.
    std::string expected = everyByte;
    for (char& byte : expected)
        if (byte >= '\t' && byte <= '\r')
            byte = ' ';
    std::vector<std::string> bodies = Bodies();
    ASSERT_EQ(1u, bodies.size());
    ASSERT_EQ(0u, bodies[0].rfind("track=", 0));
    EXPECT_EQ(expected, FormDecode(bodies[0].substr(6)));
    EXPECT_TRUE(robot_.Boxes().empty());
}

}  // namespace
