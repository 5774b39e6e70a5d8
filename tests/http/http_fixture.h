// A session and connection to a scripted loopback server, with the WinInet
// spy watching, for tests of the HTTP layer's objects one by one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"
#include "support/wininet_spy.h"
#include "loopback/loopback_http_server.h"

class HttpLayerTest : public ::testing::Test {
protected:
    // Child first: WinInet closes a parent's children with it, and a freed
    // handle value can come back for the next object made.
    void Connect()
    {
        connection_.reset();
        session_.reset();
        session_ = std::make_unique<CInternetSession>("My Sessions", 1, INTERNET_OPEN_TYPE_PRECONFIG,
                                                      nullptr, nullptr, 0);
        connection_ = session_->ConnectHttp(server_.Host().c_str(), 80, nullptr, nullptr);
    }

    // A sent request whose response is `body` with `status`.
    std::unique_ptr<CHttpFile> Respond(const std::string& body, int status = 404)
    {
        server_.Script(ScriptedResponse::Answer(status, body));
        Connect();
        auto request = connection_->CreateRequest("POST", "/form.php", nullptr, 1, nullptr,
                                                  nullptr, INTERNET_FLAG_RELOAD);
        request->Send("", "track=x", 7);
        return request;
    }

    LoopbackHttpServer server_;
    WinInetSpy spy_;
    std::unique_ptr<CInternetSession> session_;
    std::unique_ptr<CHttpConnection> connection_;
};

// The error code a call raised, after freeing the exception; 0 if none.
template <typename Call>
DWORD RaisedCode(Call call)
{
    try {
        call();
    } catch (CInternetException* exception) {
        DWORD code = exception->errorCode;
        exception->Discard();
        return code;
    }
    return 0;
}
