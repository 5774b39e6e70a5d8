// A line editor for the plugin's section, on the lines and rules of
// config/section_reader.h. Lines keep their own endings, so the lines this
// editor does not change come out byte for byte.
#include "config/optin_file.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/text_convert.h"
#include "common/replace_file.h"
#include "config/section_reader.h"
#include "host/plugin.h"

namespace {

const char kBlanks[] = " \t\r";
// A reader that shares nothing (a backup or an indexer reading the file)
// holds it for a moment: the store is tried again for up to about a
// second before it gives up, which never moves the settings elsewhere.
constexpr int kHeldAttempts = 3;
constexpr DWORD kHeldRetryMs = 50;

bool IsBlankValue(const std::string& value)
{
    return !value.empty() && (std::string(kBlanks).find(value.front()) != std::string::npos ||
                              std::string(kBlanks).find(value.back()) != std::string::npos);
}

// A value with blanks at either end, or enclosed in quotes, is quoted, so
// reading it back gives exactly what was written.
std::string KeyLine(const std::string& key, const std::string& value)
{
    const bool enclosed = value.size() >= 2 && value.front() == value.back() &&
                          (value.front() == '"' || value.front() == '\'');
    const bool quote = IsBlankValue(value) || enclosed;
    return key + "=" + (quote ? "\"" + value + "\"" : value) + "\r\n";
}

void EndLastLine(std::string& text)
{
    if (!text.empty() && text.back() != '\n')
        text += "\r\n";
}

}  // namespace

const OptInValue* FindOptIn(const OptInValues& values, const std::string& key)
{
    for (const auto& [name, value] : values)
        if (EqualsIgnoringAsciiCase(name.c_str(), key.c_str()))
            return &value;
    return nullptr;
}

// Read as the monitor reads them (config/section_reader.h), so the dialog
// shows what is in force.
OptInValues ParseOptInKeys(const std::string& fileBytes, const std::vector<std::string>& names)
{
    OptInValues values;
    for (const std::string& name : names) {
        std::string value;
        values.emplace_back(name, FindSectionValue(fileBytes, name.c_str(), value)
                                      ? OptInValue(value)
                                      : std::nullopt);
    }
    return values;
}

// A key whose line already reads as the new value keeps its bytes, so a
// store of unchanged values leaves the file exactly as it was.
std::string EditOptInKeys(const std::string& fileBytes, const OptInValues& changes)
{
    std::string mark;
    const std::vector<SettingsLine> lines = SplitSettingsLines(fileBytes, mark);
    OptInValues pending = changes;  // what is still to be written
    std::string result;
    bool sectionSeen = false;
    size_t sectionEnd = 0;  // in `result`, after the section's last line with text

    for (const SettingsLine& line : lines) {
        const std::string text = SpanText(fileBytes, line.text);
        const std::string key = SpanText(fileBytes, line.key);
        if (line.opensSection)
            EndLastLine(result);
        const OptInValue* change = key.empty() ? nullptr : FindOptIn(changes, key);
        if (change == nullptr) {
            result += text;
            if (line.opensOurSection || !key.empty())
                sectionEnd = result.size();
            sectionSeen = sectionSeen || line.opensOurSection;
            continue;
        }
        // The key's first line takes the new value; other lines of it go.
        for (auto it = pending.begin(); it != pending.end(); ++it) {
            if (!EqualsIgnoringAsciiCase(it->first.c_str(), key.c_str()))
                continue;
            if (it->second) {
                EndLastLine(result);
                const bool same =
                    line.hasValue && *it->second == SpanText(fileBytes, line.value);
                result += same ? text : KeyLine(it->first, *it->second);
                sectionEnd = result.size();
            }
            pending.erase(it);
            break;
        }
    }

    std::string added;
    for (const auto& [key, value] : pending)
        if (value)
            added += KeyLine(key, *value);
    if (added.empty())
        return mark + result;
    if (!sectionSeen) {
        EndLastLine(result);
        return mark + result + "[" + kProductName + "]\r\n" + added;
    }
    std::string head = result.substr(0, sectionEnd);
    EndLastLine(head);
    return mark + head + added + result.substr(sectionEnd);
}

unsigned long ReplaceSettingsBytes(const std::string& file, const std::string& bytes)
{
    const std::vector<wchar_t> path = WideFrom(file, CP_UTF8);
    DWORD error = 0;
    for (int attempt = 0; attempt < kHeldAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(kHeldRetryMs);
        error = ReplaceFileBytes(path.data(), bytes);
        if (!IsHeldByReader(error))
            break;
    }
    return error;
}
