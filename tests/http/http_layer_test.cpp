// The HTTP layer's objects against real WinInet and a loopback server: the
// platform calls each operation makes, failures raised with the platform's
// code, closing (once, and by destruction), and the run-time class records.
#include <string>
#include <vector>

#include "http/http_fixture.h"

namespace {

TEST_F(HttpLayerTest, RequestGoesOutAsGivenAndDefaultsToHttp10)
{
    server_.Script(ScriptedResponse::Answer(200, ""));
    Connect();
    auto request = connection_->CreateRequest("POST", "/f.php?track=", nullptr, 1, nullptr,
                                              nullptr, INTERNET_FLAG_RELOAD);
    request->Send(std::string("Content-Type: application/x-www-form-urlencoded"), "track=a", 7);

    EXPECT_EQ("HttpOpenRequestA(connection, \"POST\", \"/f.php?track=\", \"HTTP/1.0\", null, null, "
              "0x80000000, 1)",
              spy_.CallsOf("HttpOpenRequestA").at(0));
    EXPECT_EQ("HttpSendRequestA(request, \"Content-Type: application/x-www-form-urlencoded\", 47, "
              "\"track=a\", 7)",
              spy_.CallsOf("HttpSendRequestA").at(0));
    ASSERT_TRUE(server_.WaitForRequests(1, 5000));
    const RecordedRequest sent = server_.Requests()[0];
    EXPECT_EQ("POST /f.php?track= HTTP/1.0", sent.requestLine);
    EXPECT_EQ("application/x-www-form-urlencoded", sent.Header("Content-Type"));
    EXPECT_EQ("track=a", sent.body);
}

TEST_F(HttpLayerTest, ContextOfOneMeansTheOwnersContext)
{
    struct Case {
        DWORD_PTR sessionContext;
        DWORD_PTR requestContext;
        DWORD_PTR expected;
    };
    for (const Case& c : {Case{1, 1, 1}, Case{7, 1, 7}, Case{7, 9, 9}}) {
        CInternetSession session("My Sessions", c.sessionContext, INTERNET_OPEN_TYPE_PRECONFIG,
                                 nullptr, nullptr, 0);
        auto connection = session.ConnectHttp(server_.Host().c_str(), 80, nullptr, nullptr);
        EXPECT_EQ(c.sessionContext, connection->context);
        auto request = connection->CreateRequest("POST", "/", nullptr, c.requestContext, nullptr,
                                                 "HTTP/1.1", 0);
        EXPECT_EQ(c.expected, request->context);
        EXPECT_EQ("HttpOpenRequestA(connection, \"POST\", \"/\", \"HTTP/1.1\", null, null, 0x0, " +
                      std::to_string(c.expected) + ")",
                  spy_.CallsOf("HttpOpenRequestA").back());
    }
}

TEST_F(HttpLayerTest, StatusCodeIsReadAsANumber)
{
    for (int status : {200, 201, 204, 404, 500}) {
        auto request = Respond("", status);
        DWORD code = 0;
        EXPECT_TRUE(request->QueryStatusCode(code));
        EXPECT_EQ(static_cast<DWORD>(status), code);
    }
    EXPECT_EQ("HttpQueryInfoA(request, 19, 80)", spy_.CallsOf("HttpQueryInfoA").at(0));
}

TEST_F(HttpLayerTest, RefusedStatusQueryLeavesTheValue)
{
    auto request = Respond("", 404);
    spy_.FailNext("HttpQueryInfoA", 12150);
    DWORD code = 200;
    EXPECT_FALSE(request->QueryStatusCode(code));
    EXPECT_EQ(200u, code);
}

TEST_F(HttpLayerTest, PlatformRefusalsRaiseTheirCodes)
{
    spy_.FailNext("InternetOpenA", 8);
    EXPECT_EQ(8u, RaisedCode([] {
                  CInternetSession session("My Sessions", 1, 0, nullptr, nullptr, 0);
              }));

    CInternetSession session("My Sessions", 1, 0, nullptr, nullptr, 0);
    spy_.FailNext("InternetConnectA", 12005);
    EXPECT_EQ(12005u, RaisedCode([&] { session.ConnectHttp("127.0.0.1", 80, nullptr, nullptr); }));
}

TEST_F(HttpLayerTest, RefusedRequestOpenIsReturnedAndItsSendRaises)
{
    Connect();
    spy_.FailNext("HttpOpenRequestA", 12004);
    auto request = connection_->CreateRequest("POST", "/", nullptr, 1, nullptr, nullptr,
                                              INTERNET_FLAG_RELOAD);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(nullptr, request->fileHandle);
    EXPECT_NE(0u, RaisedCode([&] { request->Send("", nullptr, 0); }));
    EXPECT_EQ(0u, server_.Requests().size());
}

TEST_F(HttpLayerTest, RaiseCarriesTheLastErrorOnlyWhenGivenNoCode)
{
    struct Case {
        DWORD given;
        DWORD lastError;
        DWORD expected;
    };
    for (const Case& c : {Case{0, 12029, 12029}, Case{12007, 5, 12007}}) {
        SetLastError(c.lastError);
        try {
            RaiseInternetError(3, c.given);
        } catch (CInternetException* exception) {
            EXPECT_EQ(c.expected, exception->errorCode);
            EXPECT_EQ(3u, exception->context);
            EXPECT_TRUE(exception->autoDelete);
            exception->Discard();
        }
    }
}

TEST_F(HttpLayerTest, ClosingTwiceClosesOnceAndDestructionClosesNothingMore)
{
    auto request = Respond("body\n");
    std::string line;
    request->ReadLine(line);

    request->CloseFile();
    request->CloseFile();
    EXPECT_EQ(nullptr, request->readBuffer);
    request.reset();
    connection_->CloseConnection();
    connection_->CloseConnection();
    connection_.reset();
    session_->CloseSession();
    session_->CloseSession();
    session_.reset();

    EXPECT_EQ((std::vector<std::string>{"InternetCloseHandle(request)",
                                        "InternetCloseHandle(connection)",
                                        "InternetCloseHandle(session)"}),
              spy_.CallsOf("InternetCloseHandle"));
}

TEST_F(HttpLayerTest, DestroyingOpenObjectsClosesThem)
{
    auto request = Respond("");
    request.reset();
    connection_.reset();
    session_.reset();
    EXPECT_EQ((std::vector<std::string>{"InternetCloseHandle(request)",
                                        "InternetCloseHandle(connection)",
                                        "InternetCloseHandle(session)"}),
              spy_.CallsOf("InternetCloseHandle"));
}

TEST(RuntimeClassTest, EachClassNamesItsLineOfBases)
{
    auto chain = [](const CRuntimeClass* record) {
        std::string names;
        for (; record != nullptr; record = record->baseClass)
            names += std::string(names.empty() ? "" : " ") + record->className;
        return names;
    };
    EXPECT_EQ("CHttpFile CInternetFile CStdioFile CFile CObject",
              chain(&CHttpFile::classCHttpFile));
    EXPECT_EQ("CHttpConnection CInternetConnection CObject",
              chain(&CHttpConnection::classCHttpConnection));
    EXPECT_EQ("CInternetSession CObject", chain(&CInternetSession::classCInternetSession));
    EXPECT_EQ("CInternetException CException CObject",
              chain(&CInternetException::classCInternetException));

    CInternetException exception(1, 1);
    const CObject& object = exception;
    EXPECT_EQ(&CInternetException::classCInternetException, object.GetRuntimeClass());
    EXPECT_TRUE(object.IsKindOf(&CException::classCException));
    EXPECT_FALSE(object.IsKindOf(&CFile::classCFile));
}

}  // namespace
