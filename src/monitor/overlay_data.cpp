// Titles come from tags and radio stations, so the record is escaped by
// construction as the form handler escapes it: markup characters, quotes and
// the ampersand as \u escapes, and U+2028/U+2029, which end a line in older
// script engines, escaped as well. The script therefore only ever holds a
// string literal: no title can end it or run as code. Numbers are formatted
// by wsprintfA: the C library's printf family would add 29 KB to the DLL.
// The artwork goes in as an address the overlay page can load from a local
// file: percent-encoded, so no name can break out of it.
#include "monitor/overlay_data.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "common/text_convert.h"
#include "config/module_paths.h"
#include "monitor/title_file.h"
#include "post/url_encode.h"

namespace {

const wchar_t kJsonName[] = L"nowplaying.json";
const wchar_t kScriptName[] = L"nowplaying.js";
const char kScriptStart[] = "window.tunewireNowPlaying = ";

void AppendUtf8(std::string& out, const wchar_t* units, int count)
{
    char bytes[8];
    const int length = WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes,
                                           nullptr, nullptr);
    out.append(bytes, static_cast<size_t>(length > 0 ? length : 0));
}

std::string JsonString(const std::string& utf8)
{
    // Bytes that are not valid UTF-8 become U+FFFD, so the files are always
    // valid UTF-8 text.
    const std::vector<wchar_t> text = WideFrom(utf8, CP_UTF8);
    const size_t count = text.empty() ? 0 : text.size() - 1;  // without the terminator
    std::string out = "\"";
    for (size_t i = 0; i < count; ++i) {
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
            const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < count;
            AppendUtf8(out, &text[i], pair ? 2 : 1);
            i += pair ? 1 : 0;
        }
    }
    return out + "\"";
}

}  // namespace

std::string UtcNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond);
    return text;
}

long long UnixTimeMs()
{
    // FILETIME counts 100 ns steps since 1601; 1970 is this many of them later.
    constexpr long long kUnixEpoch = 116444736000000000LL;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const long long ticks =
        (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - kUnixEpoch) / 10000;
}

namespace {

// `utf8` with every byte percent-encoded but ASCII letters, digits, "-._~"
// and the characters of `keep`.
std::string UrlEncoded(const std::string& utf8, const char* keep)
{
    std::string out;
    for (const char byte : utf8) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            (c != 0 && (std::strchr("-._~", c) != nullptr || std::strchr(keep, c) != nullptr))) {
            out += byte;
        } else {
            out += '%';
            out += HexDigit(c >> 4);
            out += HexDigit(c & 15);
        }
    }
    return out;
}

// Where the page beside the data loads the artwork from: the file name alone
// when the copy lies in `folder`, else a file:/// address (file://host/ for a
// network path). The copy's version rides along as a query, which the
// browser does not look up but compares: the page loads a replaced image
// afresh rather than keep the one it has, and only then.
std::string ArtworkAddress(const wchar_t* artwork, const wchar_t* folder,
                           const std::string& version)
{
    const wchar_t* name = artwork;
    for (const wchar_t* c = artwork; *c != L'\0'; ++c) {
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    }
    wchar_t artworkFolder[kPathSize];
    lstrcpynW(artworkFolder, artwork, static_cast<int>(name - artwork) + 1);
    if (name != artwork && lstrcmpiW(artworkFolder, folder) == 0)
        return UrlEncoded(BytesFrom(name), "") + "?v=" + version;
    std::string path = BytesFrom(artwork);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    const bool network = path.compare(0, 2, "//") == 0;
    return (network ? "file:" : "file:///") + UrlEncoded(path, "/:") + "?v=" + version;
}

// The folder of `path`, with its backslash, followed by `name`.
void BesideIt(const wchar_t* path, const wchar_t* name, wchar_t* beside)
{
    lstrcpynW(beside, path, kPathSize);
    ReplaceWideFileName(beside, name);
}

// A whole number in decimal, for the 64-bit milliseconds that wsprintfA
// cannot print on every Windows.
std::string Decimal(long long value)
{
    if (value < 0)
        return "-" + Decimal(-value);
    std::string digits(1, static_cast<char>('0' + value % 10));
    return value < 10 ? digits : Decimal(value / 10) + digits;
}

// The fields a record and a track played before share.
std::string TrackFieldsJson(const std::string& line, bool hasFields, const std::string& artist,
                            const std::string& album, const std::string& song)
{
    std::string json;
    if (!line.empty())
        json += ",\"line\":" + JsonString(line);
    if (hasFields) {
        json += ",\"artist\":" + JsonString(artist) + ",\"album\":" + JsonString(album) +
                ",\"song\":" + JsonString(song);
    }
    return json;
}

}  // namespace

std::string OverlayJson(const OverlayContent& content, const std::string& storedUtc,
                        const wchar_t* folder)
{
    std::string json =
        "{\"title\":" + JsonString(content.title) + ",\"stored\":" + JsonString(storedUtc);
    if (content.state[0] != '\0')
        json += ",\"state\":\"" + std::string(content.state) + "\"";
    if (content.positionMs >= 0)
        json += ",\"length\":" + Decimal(content.lengthSeconds) + ",\"position\":" +
                Decimal(content.positionMs) + ",\"positionAt\":" + Decimal(content.positionAtMs);
    json += TrackFieldsJson(content.line, content.hasFields, content.artist, content.album,
                            content.song);
    if (content.artworkKept) {
        json += ",\"artwork\":";
        json += content.artwork[0] == L'\0'
                    ? "null"
                    : JsonString(ArtworkAddress(content.artwork, folder, content.artworkVersion));
    }
    if (!content.recent.empty()) {
        json += ",\"recent\":[";
        for (const RecentTrack& track : content.recent) {
            json += (&track == &content.recent.front() ? "{\"title\":" : ",{\"title\":") +
                    JsonString(track.title) + ",\"stored\":" + JsonString(track.stored) +
                    TrackFieldsJson(track.line, track.hasFields, track.artist, track.album,
                                    track.song) +
                    "}";
        }
        json += "]";
    }
    return json + "}\n";
}

std::string OverlayScript(const std::string& json)
{
    return kScriptStart + json.substr(0, json.find_last_not_of('\n') + 1) + ";\n";
}

DWORD WriteOverlayData(const wchar_t* titleFile, const OverlayContent& content, wchar_t* failed)
{
    // Never a file in the player's current folder: only beside a full path.
    if (std::wcschr(titleFile, L'\\') == nullptr)
        return 0;
    wchar_t folder[kPathSize];
    wchar_t json[kPathSize];
    wchar_t script[kPathSize];
    BesideIt(titleFile, L"", folder);
    BesideIt(titleFile, kJsonName, json);
    BesideIt(titleFile, kScriptName, script);
    if (lstrcmpiW(titleFile, json) == 0 || lstrcmpiW(titleFile, script) == 0)
        return 0;
    const std::string record = OverlayJson(content, UtcNow(), folder);
    const DWORD error = WriteTitleFile(json, L"", record, failed);
    return error != 0 ? error : WriteTitleFile(script, L"", OverlayScript(record), failed);
}
