// Titles come from tags and radio stations, so the record is escaped by
// construction as the form handler escapes it: markup characters, quotes and
// the ampersand as \u escapes, and U+2028/U+2029, which end a line in older
// script engines, escaped as well. The script therefore only ever holds a
// string literal: no title can end it or run as code. Numbers are formatted
// by wsprintfA: the C library's printf family would add 29 KB to the DLL.
#include "monitor/overlay_data.h"

#include <windows.h>

#include <vector>

#include "common/ascii_case.h"
#include "monitor/title_file.h"

namespace {

const char kJsonName[] = "nowplaying.json";
const char kScriptName[] = "nowplaying.js";
const char kScriptStart[] = "window.tunewireNowPlaying = ";

// Bytes that are not valid UTF-8 become U+FFFD, so the files are always
// valid UTF-8 text. A vector, not std::wstring, whose library code would
// bring its own error helpers into the DLL (plugin/throw_helpers.cpp).
std::vector<wchar_t> Wide(const std::string& utf8)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0));
    if (!text.empty())
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                            length);
    return text;
}

void AppendUtf8(std::string& out, const wchar_t* units, int count)
{
    char bytes[8];
    const int length = WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes,
                                           nullptr, nullptr);
    out.append(bytes, static_cast<size_t>(length > 0 ? length : 0));
}

std::string JsonString(const std::string& utf8)
{
    const std::vector<wchar_t> text = Wide(utf8);
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        char escape[8];
        switch (c) {
        case L'\\': out += "\\\\"; continue;
        case L'\b': out += "\\b"; continue;
        case L'\f': out += "\\f"; continue;
        case L'\n': out += "\\n"; continue;
        case L'\r': out += "\\r"; continue;
        case L'\t': out += "\\t"; continue;
        }
        if (c < 0x20 || c == L'"' || c == L'&' || c == L'\'' || c == L'<' || c == L'>' ||
            c == 0x2028 || c == 0x2029) {
            wsprintfA(escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size();
            AppendUtf8(out, &text[i], pair ? 2 : 1);
            i += pair ? 1 : 0;
        }
    }
    return out + "\"";
}

std::string UtcNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond);
    return text;
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool BearsName(const std::string& path, const char* name)
{
    return EqualsIgnoringAsciiCase(path.substr(Folder(path).size()).c_str(), name);
}

}  // namespace

std::string OverlayJson(const std::string& utf8Title, const std::string& storedUtc)
{
    return "{\"title\":" + JsonString(utf8Title) + ",\"stored\":" + JsonString(storedUtc) + "}\n";
}

std::string OverlayScript(const std::string& json)
{
    return kScriptStart + json.substr(0, json.find_last_not_of('\n') + 1) + ";\n";
}

void WriteOverlayData(const std::string& titleFile, const std::string& utf8Title)
{
    if (BearsName(titleFile, kJsonName) || BearsName(titleFile, kScriptName))
        return;
    const std::string json = OverlayJson(utf8Title, UtcNow());
    std::string written;
    WriteTitleFile(Folder(titleFile) + kJsonName, json, written);
    WriteTitleFile(Folder(titleFile) + kScriptName, OverlayScript(json), written);
}
