// The loopback server must never hold a test up: it stops at once while an
// answer is still being delayed or while a client sits connected without a
// request. A hold keeps every answer back until released, an endless answer
// ends when its client hangs up, and each request is stamped on the clock the
// bench measures its latencies with.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <memory>
#include <thread>

#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"
#include "loopback/clock.h"
#include "loopback/loopback_http_server.h"

namespace {

constexpr DWORD kPromptStopMs = 1000;
constexpr DWORD kHeldLongEnoughMs = 300;  // far beyond a loopback answer's time

// One POST to the server; its status, or 0 when the request failed.
DWORD Post(const std::string& host)
{
    try {
        CInternetSession session("My Sessions", 1, 0, nullptr, nullptr, 0);
        auto connection = session.ConnectHttp(host.c_str(), 80, nullptr, nullptr);
        auto request = connection->CreateRequest("POST", "/", nullptr, 1, nullptr, nullptr, 0);
        request->Send("", "track=x", 7);
        DWORD status = 0;
        request->QueryStatusCode(status);
        return status;
    } catch (CInternetException* exception) {
        exception->Discard();
        return 0;
    }
}

TEST(LoopbackHttpServerTest, StopsWhileADelayedAnswerIsPending)
{
    auto server = std::make_unique<LoopbackHttpServer>();
    server->Script(ScriptedResponse::Answer(200, "late", 60000));
    const std::string host = server->Host();
    std::thread client([host] {
        try {
            CInternetSession session("My Sessions", 1, 0, nullptr, nullptr, 0);
            auto connection = session.ConnectHttp(host.c_str(), 80, nullptr, nullptr);
            auto request = connection->CreateRequest("POST", "/", nullptr, 1, nullptr, nullptr, 0);
            request->Send("", nullptr, 0);
        } catch (CInternetException* exception) {
            exception->Discard();
        }
    });
    ASSERT_TRUE(server->WaitForRequests(1, 5000));

    DWORD start = GetTickCount();
    server.reset();
    EXPECT_LT(GetTickCount() - start, kPromptStopMs);
    client.join();
}

TEST(LoopbackHttpServerTest, StopsWhileAClientSendsNothing)
{
    auto server = std::make_unique<LoopbackHttpServer>();
    SOCKET idle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(80);
    inet_pton(AF_INET, server->Host().c_str(), &where.sin_addr);
    ASSERT_EQ(0, connect(idle, reinterpret_cast<sockaddr*>(&where), sizeof where));
    Sleep(50);

    DWORD start = GetTickCount();
    server.reset();
    EXPECT_LT(GetTickCount() - start, kPromptStopMs);
    closesocket(idle);
}

TEST(LoopbackHttpServerTest, AnswersOnlyOnceReleased)
{
    LoopbackHttpServer server;
    server.Hold();
    std::atomic<DWORD> status{0};
    std::thread client([&] { status = Post(server.Host()); });
    const bool arrived = server.WaitForRequests(1, 5000);
    Sleep(kHeldLongEnoughMs);
    const DWORD whileHeld = status;

    server.Release();
    client.join();
    EXPECT_TRUE(arrived);
    EXPECT_EQ(0u, whileHeld);
    EXPECT_EQ(200u, status.load());
}

// An endless answer streams for as long as its client reads and stops when
// the client hangs up, so the next request is answered at once.
TEST(LoopbackHttpServerTest, AnEndlessAnswerStopsWhenItsClientHangsUp)
{
    LoopbackHttpServer server;
    server.Script(ScriptedResponse::Endless(500, "first\r\n", "more\n"));
    {
        CInternetSession session("My Sessions", 1, 0, nullptr, nullptr, 0);
        auto connection = session.ConnectHttp(server.Host().c_str(), 80, nullptr, nullptr);
        auto request = connection->CreateRequest("POST", "/", nullptr, 1, nullptr, nullptr, 0);
        request->Send("", nullptr, 0);
        std::string line;
        ASSERT_TRUE(request->ReadLine(line));
        EXPECT_EQ("first", line);
        for (int i = 0; i < 100000; ++i) {
            ASSERT_TRUE(request->ReadLine(line));
            ASSERT_EQ("more", line);
        }
    }
    DWORD start = GetTickCount();
    EXPECT_EQ(200u, Post(server.Host()));
    EXPECT_LT(GetTickCount() - start, kPromptStopMs);
}

TEST(LoopbackHttpServerTest, StampsEachRequestWhenItIsInWhole)
{
    LoopbackHttpServer server;
    const double before = NowMs();
    ASSERT_EQ(200u, Post(server.Host()));
    const double between = NowMs();
    ASSERT_EQ(200u, Post(server.Host()));
    const double after = NowMs();

    std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_GE(requests[0].arrivedMs, before);
    EXPECT_LE(requests[0].arrivedMs, between);
    EXPECT_GE(requests[1].arrivedMs, between);
    EXPECT_LE(requests[1].arrivedMs, after);
}

}  // namespace
