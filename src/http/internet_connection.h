// A connection to one server and port, made by CInternetSession::ConnectHttp.
// Requests made from it are owned by the caller and must be closed before the
// connection is; the connection neither tracks nor closes them.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "http/object.h"

class CInternetSession;
class CHttpFile;

class CInternetConnection : public CObject {
public:
    static const CRuntimeClass classCInternetConnection;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCInternetConnection; }

    ~CInternetConnection() override;

    virtual void CloseConnection();

    HINTERNET connectionHandle = nullptr;
    DWORD_PTR context;           // a given 1 stands for the session's context
    CInternetSession& session;   // not owned
    std::string serverName;
    INTERNET_PORT port;

protected:
    CInternetConnection(CInternetSession& session, const char* serverName, INTERNET_PORT port,
                        DWORD_PTR context);
};

class CHttpConnection : public CInternetConnection {
public:
    static const CRuntimeClass classCHttpConnection;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCHttpConnection; }

    // Raises CInternetException when the platform refuses the connection; the
    // object is then never completed and its memory is freed by the language.
    CHttpConnection(CInternetSession& session, const char* serverName, INTERNET_PORT port,
                    const char* userName, const char* password);

    // Always yields a request, even one the platform refused to open: such a
    // request holds no handle, and sending it raises. A context of 1 stands
    // for the connection's context; no version means "HTTP/1.0".
    std::unique_ptr<CHttpFile> CreateRequest(const char* verb, const char* objectName,
                                             const char* referer, DWORD_PTR context,
                                             const char** acceptTypes, const char* version,
                                             DWORD flags);
};
