// Writing the log. Each line is one append through a handle opened for that
// line alone, so nothing stays open between posts and a user may delete or
// read the log at any time. A server's answer is bytes of unknown encoding:
// like the box, which shows them through the ANSI code page, the log converts
// them from it.
#include "monitor/quiet_log.h"

#include <windows.h>

#include "common/unique_handle.h"
#include "config/module_paths.h"
#include "monitor/utf8_title.h"

namespace {

// Large enough for weeks of tracks, small enough to open in any editor.
constexpr DWORD kLogLimitBytes = 256 * 1024;
const wchar_t kOldLogSuffix[] = L".1";

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// At most kLoggedTextLimit characters, line breaks and tabs as spaces.
std::string OneLine(const std::string& utf8)
{
    std::string line;
    size_t characters = 0;
    for (char c : utf8) {
        if (!IsUtf8Continuation(c) && ++characters > kLoggedTextLimit)
            break;
        line += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
    }
    return line;
}

std::string Result(const PostOutcome& outcome)
{
    if (outcome.invalidConfig)
        return "invalid configuration";
    if (outcome.errorCode != 0)
        return "error " + std::to_string(outcome.errorCode);
    return "status " + std::to_string(outcome.status);
}

std::string LocalTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
              now.wHour, now.wMinute, now.wSecond);
    return text;
}

void MoveAsideWhenFull(const wchar_t* logFile)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(logFile, GetFileExInfoStandard, &data))
        return;
    if (data.nFileSizeHigh == 0 && data.nFileSizeLow < kLogLimitBytes)
        return;
    wchar_t old[kPathSize + 2];
    lstrcpynW(old, logFile, kPathSize);
    lstrcatW(old, kOldLogSuffix);
    MoveFileExW(logFile, old, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

std::string OutcomeLine(int attempt, const std::string& utf8Title, const PostOutcome& outcome)
{
    return "try " + std::to_string(attempt) + " | " + OneLine(utf8Title) + " | " +
           OneLine(outcome.server) + " " + OneLine(outcome.formPath) + " | " + Result(outcome) +
           " | " + OneLine(AsUtf8(outcome.text.c_str(), TitleCharset::kAnsi));
}

void AppendLogLine(const wchar_t* logFile, const std::string& line)
{
    MoveAsideWhenFull(logFile);
    UniqueHandle file(CreateFileW(logFile, FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        file.Release();
        return;
    }
    const std::string text = LocalTime() + " | " + line + "\r\n";
    DWORD written = 0;
    WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
