// An exception thrown at any WinInet step of a post, of the HTTP layer's own
// kind or any other, never reaches the caller (a thread procedure or a dialog
// procedure, whose frames it would take the player down with). A layer
// exception at a step the post guards gets its usual report; anywhere else,
// and for any other exception, the post ends quietly with false. Either way
// the exception object is freed and every handle the post opened is closed.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <stdexcept>
#include <string>

#include "http/exception.h"
#include "post/post_track.h"
#include "support/import_slot.h"
#include "support/plugin_sandbox.h"
#include "support/test_http_server.h"
#include "support/ui_robot.h"

namespace {

constexpr DWORD kInjectedError = 12345;

enum class Thrown { kLayerException, kStandardException };

// What the test armed: the function whose n-th call throws, and what.
std::string g_failing;
int g_callsLeft = 0;
Thrown g_thrown = Thrown::kLayerException;
int g_liveExceptions = 0;
int g_openHandles = 0;

class CountedException : public CInternetException {
public:
    CountedException() : CInternetException(kInjectedError, 1) { ++g_liveExceptions; }
    ~CountedException() override { --g_liveExceptions; }
};

void Step(const char* function)
{
    if (g_failing != function || --g_callsLeft != 0)
        return;
    g_failing.clear();
    if (g_thrown == Thrown::kLayerException)
        throw static_cast<CInternetException*>(new CountedException);
    throw std::runtime_error("injected");
}

HINTERNET Counted(HINTERNET handle)
{
    if (handle != nullptr)
        ++g_openHandles;
    return handle;
}

// The real functions, taken by the test before it swaps the import slots.
decltype(&InternetOpenA) g_realOpen;
decltype(&InternetConnectA) g_realConnect;
decltype(&HttpOpenRequestA) g_realOpenRequest;
decltype(&HttpSendRequestA) g_realSend;
decltype(&HttpQueryInfoA) g_realQueryInfo;
decltype(&InternetReadFile) g_realRead;
decltype(&InternetCloseHandle) g_realClose;

HINTERNET WINAPI Open(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags)
{
    Step("InternetOpenA");
    return Counted(g_realOpen(agent, access, proxy, bypass, flags));
}

HINTERNET WINAPI Connect(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                         LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context)
{
    Step("InternetConnectA");
    return Counted(g_realConnect(session, server, port, user, password, service, flags, context));
}

HINTERNET WINAPI OpenRequest(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version,
                             LPCSTR referrer, LPCSTR* accept, DWORD flags, DWORD_PTR context)
{
    Step("HttpOpenRequestA");
    return Counted(
        g_realOpenRequest(connection, verb, object, version, referrer, accept, flags, context));
}

BOOL WINAPI Send(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID body,
                 DWORD bodyLength)
{
    Step("HttpSendRequestA");
    return g_realSend(request, headers, headersLength, body, bodyLength);
}

BOOL WINAPI QueryInfo(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index)
{
    Step("HttpQueryInfoA");
    return g_realQueryInfo(request, level, buffer, length, index);
}

BOOL WINAPI Read(HINTERNET file, LPVOID buffer, DWORD size, LPDWORD read)
{
    Step("InternetReadFile");
    return g_realRead(file, buffer, size, read);
}

BOOL WINAPI Close(HINTERNET handle)
{
    Step("InternetCloseHandle");
    const BOOL closed = g_realClose(handle);
    if (closed)
        --g_openHandles;
    return closed;
}

template <typename Function>
using Swap = ImportReplacement<Function>;

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
    TestHttpServer server;
    UiRobot robot;
    sandbox.WriteIni("[WinAmp Tunewire Basic]\r\nServerName=" + server.Host() +
                     "\r\nFormHandler=/np.php?track=\r\n");
    g_realOpen = &InternetOpenA;
    g_realConnect = &InternetConnectA;
    g_realOpenRequest = &HttpOpenRequestA;
    g_realSend = &HttpSendRequestA;
    g_realQueryInfo = &HttpQueryInfoA;
    g_realRead = &InternetReadFile;
    g_realClose = &InternetCloseHandle;
    Swap<decltype(&InternetOpenA)> open("wininet.dll", g_realOpen, &Open);
    Swap<decltype(&InternetConnectA)> connect("wininet.dll", g_realConnect, &Connect);
    Swap<decltype(&HttpOpenRequestA)> openRequest("wininet.dll", g_realOpenRequest, &OpenRequest);
    Swap<decltype(&HttpSendRequestA)> send("wininet.dll", g_realSend, &Send);
    Swap<decltype(&HttpQueryInfoA)> queryInfo("wininet.dll", g_realQueryInfo, &QueryInfo);
    Swap<decltype(&InternetReadFile)> read("wininet.dll", g_realRead, &Read);
    Swap<decltype(&InternetCloseHandle)> close("wininet.dll", g_realClose, &Close);

    for (const Injection& injection : kInjections) {
        for (Thrown thrown : {Thrown::kLayerException, Thrown::kStandardException}) {
            const bool layer = thrown == Thrown::kLayerException;
            SCOPED_TRACE(std::string(injection.function) + " call " +
                         std::to_string(injection.call) + (layer ? ", layer" : ", standard"));
            if (injection.status != 200)
                server.Script(ScriptedResponse::Answer(injection.status, "refused"));
            const size_t boxesBefore = robot.Boxes().size();
            g_failing = injection.function;
            g_callsLeft = injection.call;
            g_thrown = thrown;

            bool result = true;
            EXPECT_NO_THROW(result = PostTrack("Title", kUseStoredSettings, kUseStoredSettings));

            EXPECT_TRUE(g_failing.empty()) << "the step was never reached";
            g_failing.clear();
            EXPECT_EQ(layer && injection.layerResult, result);
            const std::vector<SeenBox> boxes = robot.Boxes();
            const char* message = layer ? injection.layerMessage : nullptr;
            ASSERT_EQ(message != nullptr ? 1u : 0u, boxes.size() - boxesBefore);
            if (message != nullptr) {
                EXPECT_EQ(message, boxes.back().text);
            }
            EXPECT_EQ(0, g_liveExceptions) << "the exception was not freed";
            EXPECT_EQ(0, g_openHandles) << "a handle of the post stayed open";
            g_openHandles = 0;
        }
    }
}

}  // namespace
