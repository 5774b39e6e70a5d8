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

// From the calendar, in 32-bit steps: 64-bit division would bring the C
// runtime's helpers into the DLL. Days are counted from 1 March of a year
// 0, so that leap days fall at the end of a year.
UnixTime UnixNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    const unsigned year = now.wYear - (now.wMonth <= 2 ? 1 : 0);
    const unsigned month = now.wMonth > 2 ? now.wMonth - 3 : now.wMonth + 9;
    const unsigned dayOfYear = (153 * month + 2) / 5 + now.wDay - 1;
    const unsigned days = year * 365 + year / 4 - year / 100 + year / 400 + dayOfYear;
    constexpr unsigned kDaysTo1970 = 719468;  // from that day 0 to 1 January 1970
    UnixTime time;
    time.seconds = (days - kDaysTo1970) * 86400UL + now.wHour * 3600UL + now.wMinute * 60UL +
                   now.wSecond;
    time.millis = now.wMilliseconds;
    return time;
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

// `,"key":"value"`, the value escaped.
void AppendField(std::string& json, const char* key, const std::string& utf8)
{
    json += ",\"";
    json += key;
    json += "\":";
    json += JsonString(utf8);
}

// The texts a record and a track played before share, after its title and
// the moment `stored`: the first field is the title, without a comma.
void AppendTrack(std::string& json, const TrackText& track, const std::string& stored)
{
    json += "\"title\":";
    json += JsonString(track.title);
    AppendField(json, "stored", stored);
    if (!track.line.empty())
        AppendField(json, "line", track.line);
    if (track.hasFields) {
        AppendField(json, "artist", track.artist);
        AppendField(json, "album", track.album);
        AppendField(json, "song", track.song);
    }
}

}  // namespace

std::string RecentTrackJson(const TrackText& track, const std::string& storedUtc)
{
    std::string json = "{";
    AppendTrack(json, track, storedUtc);
    return json + "}";
}

std::string OverlayJson(const OverlayContent& content, const std::string& storedUtc,
                        const wchar_t* folder)
{
    std::string json = "{";
    AppendTrack(json, content.track, storedUtc);
    if (content.state[0] != '\0') {
        json += ",\"state\":\"";
        json += content.state;
        json += "\"";
    }
    if (content.positionMs >= 0) {
        char progress[96];
        wsprintfA(progress, ",\"length\":%d,\"position\":%d,\"positionAt\":%lu%03u",
                  content.lengthSeconds, content.positionMs, content.positionAt.seconds,
                  content.positionAt.millis);
        json += progress;
    }
    if (content.artworkKept) {
        json += ",\"artwork\":";
        json += content.artwork[0] == L'\0'
                    ? "null"
                    : JsonString(ArtworkAddress(content.artwork, folder, content.artworkVersion));
    }
    if (!content.recent.empty()) {
        json += ",\"recent\":[";
        for (const std::string& track : content.recent) {
            if (&track != &content.recent.front())
                json += ",";
            json += track;
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
