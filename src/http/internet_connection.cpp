// Connections: InternetConnectA when made, HttpOpenRequestA for each request.
#include "http/internet_connection.h"

#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_session.h"

const CRuntimeClass CInternetConnection::classCInternetConnection{"CInternetConnection",
                                                                  &CObject::classCObject};
const CRuntimeClass CHttpConnection::classCHttpConnection{
    "CHttpConnection", &CInternetConnection::classCInternetConnection};

namespace {

constexpr DWORD_PTR kInheritedContext = 1;  // "use the owner's context"
const char kDefaultHttpVersion[] = "HTTP/1.0";

}  // namespace

CInternetConnection::CInternetConnection(CInternetSession& session, const char* serverName,
                                         INTERNET_PORT port, DWORD_PTR context)
    : context(context == kInheritedContext ? session.context : context),
      session(session),
      serverName(serverName),
      port(port)
{
}

CInternetConnection::~CInternetConnection()
{
    CInternetConnection::CloseConnection();
}

void CInternetConnection::CloseConnection()
{
    if (connectionHandle == nullptr)
        return;
    InternetCloseHandle(connectionHandle);
    connectionHandle = nullptr;
}

CHttpConnection::CHttpConnection(CInternetSession& session, const char* serverName,
                                 INTERNET_PORT port, const char* userName, const char* password)
    : CInternetConnection(session, serverName, port, kInheritedContext)
{
    connectionHandle = InternetConnectA(session.sessionHandle, serverName, port, userName,
                                        password, INTERNET_SERVICE_HTTP, 0, context);
    if (connectionHandle == nullptr)
        RaiseInternetError(context, 0);
}

std::unique_ptr<CHttpFile> CHttpConnection::CreateRequest(const char* verb, const char* objectName,
                                                          const char* referer, DWORD_PTR context,
                                                          const char** acceptTypes,
                                                          const char* version, DWORD flags)
{
    if (context == kInheritedContext)
        context = this->context;
    if (version == nullptr)
        version = kDefaultHttpVersion;
    // The object is made before the handle is opened, so running out of memory
    // cannot leave a handle without an owner. A refused open is deliberately
    // not raised here: the caller still gets a request, and the failure
    // surfaces, with the platform's code, at Send.
    auto request = std::make_unique<CHttpFile>(nullptr, verb, objectName, context);
    request->fileHandle = HttpOpenRequestA(connectionHandle, verb, objectName, version, referer,
                                           acceptTypes, flags, context);
    return request;
}
