// The stream side of a request: CFile and CStdioFile are the abstract stream
// bases, CInternetFile reads the response line by line through a 4096-byte
// buffer filled from the platform. Only the operations a post uses exist.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <memory>
#include <string>

#include "http/object.h"

class CFile : public CObject {
public:
    static const CRuntimeClass classCFile;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCFile; }

    virtual void CloseFile() = 0;

    std::string fileName;

protected:
    explicit CFile(const char* fileName) : fileName(fileName) {}
};

class CStdioFile : public CFile {
public:
    static const CRuntimeClass classCStdioFile;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCStdioFile; }

    // What the text form takes as its limit when the caller gives none.
    static constexpr size_t kNoLimit = static_cast<size_t>(-1);

    // Text form: one whole line without its line feed and without carriage
    // returns, cut after maxLength characters. False only when the response
    // ended before any character of a new line.
    virtual bool ReadLine(std::string& text, size_t maxLength = kNoLimit) = 0;

    // Buffer form: at most room - 1 characters (room >= 1), the line feed kept,
    // carriage returns dropped. Null when the response ended before this call
    // stored a character.
    virtual char* ReadLine(char* buffer, UINT room) = 0;

protected:
    using CFile::CFile;
};

class CInternetFile : public CStdioFile {
public:
    static const CRuntimeClass classCInternetFile;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCInternetFile; }

    ~CInternetFile() override;

    bool ReadLine(std::string& text, size_t maxLength = kNoLimit) override;
    char* ReadLine(char* buffer, UINT room) override;
    void CloseFile() override;

    // From now on at most `bytes` more bytes of the response are taken from
    // the platform; past them the response reads as ended. Without a call,
    // the whole response is read.
    void LimitRead(size_t bytes);

    HINTERNET fileHandle;  // null when the platform refused the open, and after CloseFile
    DWORD_PTR context;
    DWORD readBufferSize = 0;
    DWORD readBufferPos = 0;
    std::unique_ptr<char[]> readBuffer;
    DWORD readBufferBytes = 0;
    bool readLimited = false;
    size_t readBytesLeft = 0;  // while readLimited

protected:
    CInternetFile(HINTERNET fileHandle, const char* fileName, DWORD_PTR context)
        : CStdioFile(fileName), fileHandle(fileHandle), context(context)
    {
    }

private:
    void FillReadBuffer();
};
