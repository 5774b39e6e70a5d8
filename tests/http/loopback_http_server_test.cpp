// The loopback server must never hold a test up: it stops at once while an answer
// is still being delayed or while a client sits connected without a request.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <thread>

#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"
#include "loopback/loopback_http_server.h"

namespace {

constexpr DWORD kPromptStopMs = 1000;

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

}  // namespace
