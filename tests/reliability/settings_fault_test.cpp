// A stored-settings post, as the monitor makes it, over a settings file that
// cannot be read or holds nonsense: it must use what the platform's INI
// functions give and end in the matching post or box.
//
// A file the platform cannot read yields the default server, a name that never
// resolves. A post to any server but the loopback one is refused its
// connection in the WinInet spy, so nothing leaves the machine; the spy's log
// shows which server was asked.
#include <string>

#include "config/settings.h"
#include "post/post_track.h"
#include "settings_file.h"
#include "support/post_fixture.h"

namespace {

constexpr DWORD kCannotConnect = 12029;  // ERROR_INTERNET_CANNOT_CONNECT
const char kPlain[] = "Tunewire Plugin";
const char kCouldNotConnect[] = "Could not connect to server - check the configuration.";

enum class Fault { kDirectory, kLocked, kEmpty, kGarbage, kSectionInGarbage, kLongServer,
                   kLongFormPath };

struct SettingsFaultRow {
    const char* name;
    Fault fault;
};

const SettingsFaultRow kRows[] = {
    {"DirectoryNamedPluginIni", Fault::kDirectory},
    {"LockedExclusively", Fault::kLocked},
    {"Empty", Fault::kEmpty},
    {"BinaryGarbage", Fault::kGarbage},
    {"SectionAmidGarbage", Fault::kSectionInGarbage},
    {"LongServerName", Fault::kLongServer},
    {"LongFormPath", Fault::kLongFormPath},
};

// Every byte value, NULs and a UTF-16 byte order mark included.
std::string Garbage()
{
    std::string bytes = "\xFF\xFE";
    for (int i = 0; i < 4096; ++i)
        bytes += static_cast<char>((i * 37 + 11) % 256);
    return bytes;
}

class SettingsFaultTest : public PostTrackTest,
                          public ::testing::WithParamInterface<SettingsFaultRow> {
protected:
    // Writes the faulty file; returns the server and form path the post
    // should end up with.
    std::pair<std::string, std::string> Prepare(Fault fault)
    {
        const std::pair<std::string, std::string> defaults{kDefaultServerName,
                                                           kDefaultFormHandler};
        const std::string longText(5000, 'L');
        switch (fault) {
        case Fault::kDirectory:
            CreateDirectoryA(sandbox_.IniPath().c_str(), nullptr);
            return defaults;
        case Fault::kLocked:
            sandbox_.WriteIni(SettingsFileText(server_.Host(), kFormPath));
            lock_ = CreateFileA(sandbox_.IniPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_NE(INVALID_HANDLE_VALUE, lock_);
            return defaults;
        case Fault::kEmpty:
            sandbox_.WriteIni("");
            return defaults;
        case Fault::kGarbage:
            sandbox_.WriteIni(Garbage());
            return defaults;
        case Fault::kSectionInGarbage:
            sandbox_.WriteIni(Garbage().substr(2) + "\r\n" + SettingsFileText(server_.Host(), kFormPath) +
                              Garbage().substr(2));
            return {server_.Host(), kFormPath};
        case Fault::kLongServer:
            sandbox_.WriteIni(SettingsFileText(longText, kFormPath));
            return {longText.substr(0, kSettingSize - 1), kFormPath};
        case Fault::kLongFormPath:
            sandbox_.WriteIni(SettingsFileText(server_.Host(), "/" + longText));
            return {server_.Host(), ("/" + longText).substr(0, kSettingSize - 1)};
        }
        return defaults;
    }

    void TearDown() override
    {
        if (lock_ != INVALID_HANDLE_VALUE)
            CloseHandle(lock_);
        RemoveDirectoryA(sandbox_.IniPath().c_str());
    }

    HANDLE lock_ = INVALID_HANDLE_VALUE;
};

TEST_P(SettingsFaultTest, PostsWhatThePlatformReads)
{
    const SettingsFaultRow& row = GetParam();
    const auto expected = Prepare(row.fault);
    // Decided on what the platform reads, not on what the row expects, so a
    // wrong expectation can never send a post off this machine.
    ReadSettings();
    const bool reachesServer = server_.Host() == GetServerName();
    if (!reachesServer)
        spy_.FailNext("InternetConnectA", kCannotConnect);

    const bool result = PostTrack("Title", kUseStoredSettings, kUseStoredSettings);

    EXPECT_TRUE(result);
    EXPECT_EQ(expected.first, GetServerName());
    EXPECT_EQ(expected.second, GetFormHandler());
    const std::vector<std::string> connects = spy_.CallsOf("InternetConnectA");
    ASSERT_EQ(1u, connects.size());
    EXPECT_NE(std::string::npos, connects[0].find("\"" + expected.first + "\""));

    const std::vector<SeenBox> boxes = robot_.Boxes();
    const std::vector<RecordedRequest> requests = server_.Requests();
    if (reachesServer) {
        EXPECT_TRUE(boxes.empty());
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ("POST " + expected.second + " HTTP/1.0", requests[0].requestLine);
        EXPECT_EQ("track=Title", requests[0].body);
    } else {
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kPlain, boxes[0].caption);
        EXPECT_EQ(kCouldNotConnect, boxes[0].text);
        EXPECT_TRUE(requests.empty());
    }
    EXPECT_TRUE(dialogs_.Threads().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SettingsFaultTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<SettingsFaultRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
