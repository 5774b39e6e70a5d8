// One HTTP request and its response, made by CHttpConnection::CreateRequest.
#pragma once

#include <string>

#include "http/internet_file.h"

class CHttpFile : public CInternetFile {
public:
    static const CRuntimeClass classCHttpFile;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCHttpFile; }

    CHttpFile(HINTERNET fileHandle, const char* verb, const char* objectName, DWORD_PTR context);

    // Sends the request with one extra header text (passed as given, with or
    // without a closing line break) and an optional body. Raises
    // CInternetException when the platform fails; true otherwise.
    bool Send(const char* headers, DWORD headersLength, const void* data, DWORD dataLength);
    bool Send(const std::string& headers, const void* data, DWORD dataLength);

    // The numeric status of the response. False, with `statusCode` untouched,
    // when the platform cannot give it; never raises.
    bool QueryStatusCode(DWORD& statusCode) const;

    // The response's Location header, whole; false, with `location` empty,
    // when the response has none. Never raises.
    bool QueryLocation(std::string& location) const;

    std::string objectName;
    std::string verb;
};
