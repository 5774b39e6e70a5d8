// Line reading over InternetReadFile. The buffer form cuts lines out of the
// read buffer and asks the platform only when the buffer is used up; the text
// form stitches pieces of up to 127 characters into one line.
#include "http/internet_file.h"

#include <algorithm>
#include <cstring>

#include "http/exception.h"

const CRuntimeClass CFile::classCFile{"CFile", &CObject::classCObject};
const CRuntimeClass CStdioFile::classCStdioFile{"CStdioFile", &CFile::classCFile};
const CRuntimeClass CInternetFile::classCInternetFile{"CInternetFile",
                                                      &CStdioFile::classCStdioFile};

namespace {

constexpr DWORD kReadBufferSize = 4096;  // one platform read fills it
constexpr UINT kLinePieceRoom = 128;     // room per buffer-form call, the zero included

}  // namespace

CInternetFile::~CInternetFile()
{
    CInternetFile::CloseFile();
}

void CInternetFile::CloseFile()
{
    if (fileHandle == nullptr)
        return;
    InternetCloseHandle(fileHandle);
    fileHandle = nullptr;
    readBuffer.reset();
    readBufferSize = readBufferPos = readBufferBytes = 0;
}

void CInternetFile::LimitRead(size_t bytes)
{
    readLimited = true;
    readBytesLeft = bytes;
}

// A limit that is used up ends the response here, without asking the
// platform: a server that streams without end cannot keep a reader forever.
// A read never asks for more than the platform says has arrived: Windows'
// synchronous InternetReadFile waits until the whole size asked for is in, so
// a server that sends a few bytes and pauses would hold the reader until the
// time-out instead of letting it see what came (Wine's returns after one
// receive). An answer with nothing more to come reads as 0 bytes available.
void CInternetFile::FillReadBuffer()
{
    DWORD wanted = readBufferSize;
    if (readLimited) {
        if (readBytesLeft == 0) {
            readBufferBytes = 0;
            return;
        }
        wanted = static_cast<DWORD>(std::min<size_t>(wanted, readBytesLeft));
    }
    DWORD available = 0;
    if (!InternetQueryDataAvailable(fileHandle, &available, 0, 0))
        RaiseInternetError(context, 0);
    wanted = std::min(wanted, available);
    DWORD bytesRead = 0;
    if (wanted != 0 && !InternetReadFile(fileHandle, readBuffer.get(), wanted, &bytesRead))
        RaiseInternetError(context, 0);
    readBufferBytes = bytesRead;
    if (readLimited)
        readBytesLeft -= std::min<size_t>(bytesRead, readBytesLeft);
}

char* CInternetFile::ReadLine(char* buffer, UINT room)
{
    if (!readBuffer) {
        readBuffer = std::make_unique<char[]>(kReadBufferSize);
        readBufferSize = kReadBufferSize;
        FillReadBuffer();
        readBufferPos = 0;
    }

    char* out = buffer;
    for (UINT left = room - 1; left != 0;) {
        if (readBufferPos >= readBufferBytes) {
            FillReadBuffer();
            if (readBufferBytes == 0) {
                *out = '\0';
                return out == buffer ? nullptr : buffer;
            }
            readBufferPos = 0;
        }
        char byte = readBuffer[readBufferPos++];
        if (byte != '\r') {
            *out++ = byte;
            --left;
        }
        if (byte == '\n')
            break;
    }
    *out = '\0';
    return buffer;
}

// The text grows geometrically rather than by one piece at a time, so a long
// line costs time in proportion to its length, not to its square.
bool CInternetFile::ReadLine(std::string& text, size_t maxLength)
{
    text.clear();
    text.reserve(kLinePieceRoom);
    bool gotPiece = false;
    for (;;) {
        size_t start = text.size();
        size_t left = maxLength - start;
        UINT room = left < kLinePieceRoom ? static_cast<UINT>(left) + 1 : kLinePieceRoom;
        if (room == 1)
            break;  // the limit is reached inside the line; the rest stays unread
        if (text.capacity() < start + room)
            text.reserve(std::max<size_t>(start + room, 2 * text.capacity()));
        text.resize(start + room);
        gotPiece = ReadLine(&text[start], room) != nullptr;
        text.resize(start + std::strlen(&text[start]));
        if (!gotPiece)
            break;
        size_t piece = text.size() - start;
        if (piece < room - 1 || text.back() == '\n')
            break;
    }
    bool hadText = !text.empty();
    if (hadText && text.back() == '\n')
        text.pop_back();
    return gotPiece || hadText;
}
