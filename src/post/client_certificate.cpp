// WinInet reports ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED (12044) as soon as a
// server asks for a client certificate, even when the server would admit a
// client without one, as many hosts that merely offer certificate login do.
// Selecting no certificate (a null one) and sending again lets the handshake
// go on without one. A server that insists asks again, and the second 12044
// is the caller's to report. (Wine's WinInet never stops there: it carries on
// without a certificate and lets the server decide.)
#include "post/client_certificate.h"

#include <windows.h>
#include <wininet.h>

#include "http/exception.h"

void SendWithoutClientCertificate(CHttpFile& request, const std::string& headers,
                                  const std::string& body)
{
    const DWORD length = static_cast<DWORD>(body.size());
    try {
        request.Send(headers, body.data(), length);
        return;
    } catch (CInternetException* exception) {
        if (exception->errorCode != ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED)
            throw;
        exception->Discard();
    }
    InternetSetOptionA(request.fileHandle, INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, nullptr, 0);
    request.Send(headers, body.data(), length);
}
