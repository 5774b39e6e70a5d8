// Two passes over the format, each a loop with a stack, not recursion: the
// format is the user's, and a deep nest of brackets must not exhaust the
// player's stack. The first finds which brackets make groups, so a bracket
// that is text is known when the second reaches it; the second writes the
// line and takes back a group's text when one of its fields is empty.
#include "monitor/title_format.h"

#include <cstring>
#include <vector>

#include "common/ascii_case.h"
#include "common/text_convert.h"
#include "monitor/host_text.h"
#include "monitor/utf8_title.h"

namespace {

const char kPlayerTitleFormat[] = "%player_title%";
const char kPercentPair[] = "%%";

struct NamedValue {
    const char* name;
    const std::string& value;
};
constexpr size_t kFieldCount = 8;
using Fields = NamedValue[kFieldCount];

// What each byte of the format is, one char each in a string.
constexpr char kText = 0;
constexpr char kOpen = 1;
constexpr char kClose = 2;

// A group on a pass's stack: where it opened (in the format on the first
// pass, in the line on the second) and what its fields have shown so far.
struct Group {
    size_t at;
    bool hasField;
    bool allFilled;
};

// The length of what starts at `at`: a field's `%name%` (then `field` is
// set), `%%`, or one character. The names hold no brackets, so a bracket is
// always one character of its own.
size_t ReadAt(const std::string& format, size_t at, const Fields& fields, const NamedValue*& field)
{
    field = nullptr;
    if (format.compare(at, 2, kPercentPair) == 0)
        return 2;
    if (format[at] != '%')
        return 1;
    for (const NamedValue& named : fields) {
        const size_t end = at + 1 + std::strlen(named.name);
        if (end < format.size() && format[end] == '%' &&
            StartsWithIgnoringAsciiCase(format.c_str() + at + 1, named.name)) {
            field = &named;
            return end + 1 - at;
        }
    }
    return 1;
}

// Which brackets of `format` open and close a group: a pair with a field
// inside, at any depth. Every other bracket is text.
std::string FindGroups(const std::string& format, const Fields& fields)
{
    std::string kinds(format.size(), kText);
    std::vector<Group> open;
    const NamedValue* field = nullptr;
    for (size_t i = 0, length = 0; i < format.size(); i += length) {
        length = ReadAt(format, i, fields, field);
        if (field != nullptr && !open.empty()) {
            open.back().hasField = true;
        } else if (format[i] == '[') {
            open.push_back({i, false, true});
        } else if (format[i] == ']' && !open.empty()) {
            const Group group = open.back();
            open.pop_back();
            if (group.hasField) {
                kinds[group.at] = kOpen;
                kinds[i] = kClose;
                if (!open.empty())
                    open.back().hasField = true;
            }
        }
    }
    return kinds;
}

// As the player cuts a title; the way through UTF-16 also replaces bytes
// that are not UTF-8.
std::string CutLikeHostText(const std::string& utf8)
{
    const std::vector<wchar_t> wide = WideFrom(utf8, CP_UTF8);
    if (wide.empty())
        return "";
    wchar_t cut[kWideTextSize];
    CopyWideHostText(cut, wide.data());
    char line[kUtf8TextSize];
    ConvertToUtf8(cut, line);
    return line;
}

}  // namespace

std::string FormatTitle(const std::string& utf8Format, const TrackRecord& record)
{
    const std::string playerTitle = WholeTitle(record);
    if (record.isStopText)
        return playerTitle;
    const TrackFields& tags = record.fields;
    const std::string& title = tags.title.empty() ? playerTitle : tags.title;
    const Fields fields = {
        {"artist", tags.artist}, {"title", title},  {"album", tags.album},
        {"albumartist", tags.albumArtist}, {"year", tags.year}, {"track", tags.track},
        {"genre", tags.genre},   {"player_title", playerTitle},
    };
    const std::string format = utf8Format.empty() ? kPlayerTitleFormat : utf8Format;
    const std::string kinds = FindGroups(format, fields);
    std::vector<Group> groups;
    std::string line;
    const NamedValue* field = nullptr;
    for (size_t i = 0, length = 0; i < format.size(); i += length) {
        length = ReadAt(format, i, fields, field);
        if (field != nullptr) {
            line += field->value;
            if (!groups.empty() && field->value.empty())
                groups.back().allFilled = false;
        } else if (kinds[i] == kOpen) {
            groups.push_back({line.size(), true, true});
        } else if (kinds[i] == kClose) {
            if (!groups.back().allFilled)
                line.resize(groups.back().at);
            groups.pop_back();
        } else {
            line += length == 2 ? '%' : format[i];
        }
    }
    return CutLikeHostText(line);
}
