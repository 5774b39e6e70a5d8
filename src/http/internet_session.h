// One synchronous WinInet session. Connections made from it are owned by the
// caller and must be closed before the session is; the session neither tracks
// nor closes them.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "http/object.h"

class CHttpConnection;

class CInternetSession : public CObject {
public:
    static const CRuntimeClass classCInternetSession;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCInternetSession; }

    // Raises CInternetException when the platform refuses to open a session.
    CInternetSession(const char* agent, DWORD_PTR context, DWORD accessType,
                     const char* proxyName, const char* proxyBypass, DWORD flags);
    ~CInternetSession() override;

    // Raises CInternetException when the platform refuses the connection.
    std::unique_ptr<CHttpConnection> ConnectHttp(const char* serverName, INTERNET_PORT port,
                                                 const char* userName, const char* password);

    virtual void CloseSession();

    DWORD_PTR context;
    HINTERNET sessionHandle = nullptr;
};
