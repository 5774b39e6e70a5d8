// An answer of 1 says only that one of the player's decoders took the call,
// which may leave `ret` as it was: the buffer is cleared before each tag, so
// one tag never shows in the next. A decoder may also fill the buffer to the
// end without a terminating zero: the buffer holds one unit more than
// `retlen` says, and that unit is always zero.
#include "monitor/track_fields.h"

#include <cstring>
#include <cwchar>

#include "common/ascii_case.h"
#include "monitor/host_ask.h"
#include "monitor/host_text.h"
#include "monitor/utf8_title.h"

namespace {

const struct {
    const char* name;
    const wchar_t* wideName;
    std::string TrackFields::*field;
    bool always;  // asked whatever the format names
} kTags[] = {
    {"artist", L"artist", &TrackFields::artist, true},
    {"title", L"title", &TrackFields::title, true},
    {"album", L"album", &TrackFields::album, true},
    {"albumartist", L"albumartist", &TrackFields::albumArtist, false},
    {"year", L"year", &TrackFields::year, false},
    {"track", L"track", &TrackFields::track, false},
    {"genre", L"genre", &TrackFields::genre, false},
};

// Whether `format` holds "%name%", in any letter case, as the format's
// fields are read. A "%name%" that the format takes as text ("%%year%%")
// only costs a query.
bool Names(const std::string& format, const char* name)
{
    const size_t length = std::strlen(name);
    for (size_t at = format.find('%'); at != std::string::npos; at = format.find('%', at + 1))
        if (StartsWithIgnoringAsciiCase(format.c_str() + at + 1, name) &&
            at + 1 + length < format.size() && format[at + 1 + length] == '%')
            return true;
    return false;
}

std::string AskAnsiTag(HWND host, const char* file, const char* name)
{
    char value[kHostTextLimit + 1];
    std::memset(value, 0, sizeof value);
    ExtendedFileInfoQuery query{file, name, value, kHostTextLimit};
    Ask(host, reinterpret_cast<WPARAM>(&query), kQueryExtendedFileInfo);
    return AsUtf8(value, TitleCharset::kAnsi);
}

// False when the player does not know the wide query.
bool AskWideTag(HWND host, const wchar_t* file, const wchar_t* name, std::string& tag)
{
    wchar_t value[kWideTextSize];
    std::wmemset(value, L'\0', kWideTextSize);
    WideExtendedFileInfoQuery query{file, name, value, kHostTextLimit};
    if (Ask(host, reinterpret_cast<WPARAM>(&query), kQueryWideExtendedFileInfo) == 0)
        return false;
    wchar_t cut[kWideTextSize];
    CopyWideHostText(cut, value);
    char utf8[kUtf8TextSize];
    ConvertToUtf8(cut, utf8);
    tag = utf8;
    return true;
}

}  // namespace

void AskTrackFields(HWND host, const char* file, const wchar_t* wideFile, bool unicode,
                    const std::string& utf8Format, TrackFields& fields)
{
    // The ANSI query of Unicode mode names the file in the ANSI code page, as
    // the player's own ANSI file-name answer does.
    char ansiFile[kHostTextLimit + 1];
    if (unicode) {
        if (WideCharToMultiByte(CP_ACP, 0, wideFile, -1, ansiFile, sizeof ansiFile, nullptr,
                                nullptr) == 0)
            ansiFile[0] = '\0';
        file = ansiFile;
    }
    for (const auto& tag : kTags) {
        if (!tag.always && !Names(utf8Format, tag.name))
            continue;
        std::string& field = fields.*tag.field;
        if (unicode && AskWideTag(host, wideFile, tag.wideName, field))
            continue;
        field = AskAnsiTag(host, file, tag.name);
    }
}
