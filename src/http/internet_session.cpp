// The session: InternetOpenA on construction, InternetCloseHandle on close.
// No status callback is ever installed, so closing has nothing to undo first.
#include "http/internet_session.h"

#include "http/exception.h"
#include "http/internet_connection.h"

const CRuntimeClass CInternetSession::classCInternetSession{"CInternetSession",
                                                            &CObject::classCObject};

CInternetSession::CInternetSession(const char* agent, DWORD_PTR context, DWORD accessType,
                                   const char* proxyName, const char* proxyBypass, DWORD flags)
    : context(context)
{
    sessionHandle = InternetOpenA(agent, accessType, proxyName, proxyBypass, flags);
    if (sessionHandle == nullptr)
        RaiseInternetError(context, 0);
}

CInternetSession::~CInternetSession()
{
    CInternetSession::CloseSession();
}

std::unique_ptr<CHttpConnection> CInternetSession::ConnectHttp(const char* serverName,
                                                               INTERNET_PORT port,
                                                               const char* userName,
                                                               const char* password)
{
    return std::make_unique<CHttpConnection>(*this, serverName, port, userName, password);
}

void CInternetSession::CloseSession()
{
    if (sessionHandle == nullptr)
        return;
    InternetCloseHandle(sessionHandle);
    sessionHandle = nullptr;
}
