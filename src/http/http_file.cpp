// Sending a request and reading its status.
#include "http/http_file.h"

#include <cstdlib>

#include "http/exception.h"

const CRuntimeClass CHttpFile::classCHttpFile{"CHttpFile", &CInternetFile::classCInternetFile};

namespace {

constexpr DWORD kStatusTextSize = 80;  // a status line's code is three digits
constexpr DWORD kLocationGuess = 256;  // most addresses fit; longer ones cost one more call

}  // namespace

CHttpFile::CHttpFile(HINTERNET fileHandle, const char* verb, const char* objectName,
                     DWORD_PTR context)
    : CInternetFile(fileHandle, objectName, context), objectName(objectName), verb(verb)
{
}

bool CHttpFile::Send(const char* headers, DWORD headersLength, const void* data,
                     DWORD dataLength)
{
    if (!HttpSendRequestA(fileHandle, headers, headersLength, const_cast<void*>(data), dataLength))
        RaiseInternetError(context, 0);
    return true;
}

bool CHttpFile::Send(const std::string& headers, const void* data, DWORD dataLength)
{
    return Send(headers.c_str(), static_cast<DWORD>(headers.size()), data, dataLength);
}

// The status comes as decimal text; a text without digits reads as 0.
bool CHttpFile::QueryStatusCode(DWORD& statusCode) const
{
    char text[kStatusTextSize + 1] = {};  // the extra byte keeps a full answer terminated
    DWORD length = kStatusTextSize;
    if (!HttpQueryInfoA(fileHandle, HTTP_QUERY_STATUS_CODE, text, &length, nullptr))
        return false;
    statusCode = static_cast<DWORD>(std::strtol(text, nullptr, 10));
    return true;
}

// Asked first with the length of a typical address, then again with the
// length the platform reports when that was too small.
bool CHttpFile::QueryLocation(std::string& location) const
{
    location.assign(kLocationGuess, '\0');
    DWORD length = kLocationGuess;
    BOOL ok = HttpQueryInfoA(fileHandle, HTTP_QUERY_LOCATION, &location[0], &length, nullptr);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        location.assign(length, '\0');
        ok = HttpQueryInfoA(fileHandle, HTTP_QUERY_LOCATION, &location[0], &length, nullptr);
    }
    location.resize(ok ? length : 0);
    return ok != FALSE;
}
