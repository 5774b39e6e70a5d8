// An exception thrown at any WinInet step of a post, of the HTTP layer's own
// kind or any other, never reaches the caller (a thread procedure or a dialog
// procedure, whose frames it would take the player down with). A layer
// exception at a step the post guards gets its usual report; anywhere else,
// and for any other exception, the post ends quietly with false. Either way
// the exception object is freed and every handle the post opened is closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>

#include "http/exception.h"
#include "loopback/loopback_http_server.h"
#include "post/post_track.h"
#include "settings_file.h"
#include "support/plugin_sandbox.h"
#include "support/ui_robot.h"
#include "support/wininet_spy.h"

namespace {

constexpr DWORD kInjectedError = 12345;

enum class Thrown { kLayerException, kStandardException };

int g_liveExceptions = 0;

class CountedException : public CInternetException {
public:
    CountedException() : CInternetException(kInjectedError, 1) { ++g_liveExceptions; }
    ~CountedException() override { --g_liveExceptions; }
};

void Throw(Thrown thrown)
{
    if (thrown == Thrown::kLayerException)
        throw static_cast<CInternetException*>(new CountedException);
    throw std::runtime_error("injected");
}

struct Injection {
    const char* function;
    int call;
    int status;                // the server's answer
    bool layerResult;          // what a thrown layer exception makes the post return
    const char* layerMessage;  // and the box it shows, or null
};

const char kGenericError[] = "Generic Error Code: 12345";

const Injection kInjections[] = {
    {"InternetOpenA", 1, 200, true, nullptr},
    {"InternetConnectA", 1, 200, true, "Could not connect to server - check the configuration."},
    {"InternetSetOptionA", 1, 200, false, nullptr},  // the connection's time-outs
    {"HttpOpenRequestA", 1, 200, false, nullptr},
    {"HttpSendRequestA", 1, 200, false, kGenericError},
    {"HttpQueryInfoA", 1, 200, false, kGenericError},
    {"InternetReadFile", 1, 404, false, kGenericError},
    {"InternetCloseHandle", 1, 200, false, nullptr},  // the request's
    {"InternetCloseHandle", 2, 200, false, nullptr},  // the connection's
    {"InternetCloseHandle", 3, 200, false, nullptr},  // the session's
};

TEST(PostExceptionTest, AnExceptionAtAnyStepEndsThePostWithinPostTrack)
{
    PluginSandbox sandbox;
    sandbox.AdoptAsStaticModule();
    LoopbackHttpServer server;
    UiRobot robot;
    sandbox.WriteIni(SettingsFileText(server.Host(), "/np.php?track="));
    WinInetSpy spy;

    for (const Injection& injection : kInjections) {
        for (Thrown thrown : {Thrown::kLayerException, Thrown::kStandardException}) {
            const bool layer = thrown == Thrown::kLayerException;
            SCOPED_TRACE(std::string(injection.function) + " call " +
                         std::to_string(injection.call) + (layer ? ", layer" : ", standard"));
            if (injection.status != 200)
                server.Script(ScriptedResponse::Answer(injection.status, "refused"));
            const size_t boxesBefore = robot.Boxes().size();
            spy.ThrowAt(injection.function, injection.call, [thrown] { Throw(thrown); });

            bool result = true;
            EXPECT_NO_THROW(result = PostTrack("Title", kUseStoredSettings, kUseStoredSettings));

            EXPECT_FALSE(spy.ThrowPending()) << "the step was never reached";
            EXPECT_EQ(layer && injection.layerResult, result);
            const std::vector<SeenBox> boxes = robot.Boxes();
            const char* message = layer ? injection.layerMessage : nullptr;
            ASSERT_EQ(message != nullptr ? 1u : 0u, boxes.size() - boxesBefore);
            if (message != nullptr) {
                EXPECT_EQ(message, boxes.back().text);
            }
            EXPECT_EQ(0, g_liveExceptions) << "the exception was not freed";
            EXPECT_EQ(0u, spy.OpenHandles()) << "a handle of the post stayed open";
        }
    }
}

}  // namespace
