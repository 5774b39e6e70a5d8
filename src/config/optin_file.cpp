// A line editor for the plugin's section, kept to what the private-profile
// functions themselves read: "[Section]" lines, "Key=Value" lines, names in
// any letter case. Lines are split at each line feed and keep their own
// endings, so the lines this editor does not change come out byte for byte.
#include "config/optin_file.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/text_convert.h"
#include "common/unique_handle.h"
#include "config/section_reader.h"
#include "plugin/plugin.h"

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";
const char kBlanks[] = " \t\r";
const char kTemporarySuffix[] = ".tunewire-new";

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The byte-order mark a file may start with, kept apart from its lines.
std::string TakeMark(std::string& bytes)
{
    if (bytes.compare(0, 3, kUtf8Mark) != 0)
        return "";
    bytes.erase(0, 3);
    return kUtf8Mark;
}

std::vector<std::string> SplitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

// A line without its line feed and the blanks around it.
std::string TextOf(const std::string& line)
{
    return Trimmed(line.substr(0, line.find('\n')));
}

// "[Name]" with blanks allowed around it: the section's name, else nothing.
std::optional<std::string> SectionName(const std::string& line)
{
    const std::string text = TextOf(line);
    if (text.size() < 2 || text.front() != '[')
        return std::nullopt;
    const size_t close = text.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trimmed(text.substr(1, close - 1));
}

bool IsOurSection(const std::string& line)
{
    const std::optional<std::string> name = SectionName(line);
    return name && EqualsIgnoringAsciiCase(name->c_str(), kProductName);
}

std::string KeyOf(const std::string& line)
{
    const size_t equals = line.find('=');
    return equals == std::string::npos ? "" : Trimmed(line.substr(0, equals));
}

// A value with blanks at either end, or enclosed in quotes, is quoted, so
// reading it back gives exactly what was written.
std::string KeyLine(const std::string& key, const std::string& value)
{
    const bool enclosed = value.size() >= 2 && value.front() == value.back() &&
                          (value.front() == '"' || value.front() == '\'');
    const bool quote = !value.empty() && (Trimmed(value) != value || enclosed);
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

std::string EditOptInKeys(const std::string& fileBytes, const OptInValues& changes)
{
    std::string text = fileBytes;
    const std::string mark = TakeMark(text);
    OptInValues pending = changes;  // what is still to be written
    std::string result;
    bool inSection = false;
    bool sectionSeen = false;
    size_t sectionEnd = 0;  // in `result`, after the section's last line with text

    for (const std::string& line : SplitLines(text)) {
        if (SectionName(line)) {
            inSection = IsOurSection(line) && !sectionSeen;
            sectionSeen = sectionSeen || inSection;
            EndLastLine(result);
            result += line;
            if (inSection)
                sectionEnd = result.size();
            continue;
        }
        const std::string key = inSection ? KeyOf(line) : "";
        const OptInValue* change = key.empty() ? nullptr : FindOptIn(changes, key);
        if (change == nullptr) {
            result += line;
            if (inSection && !TextOf(line).empty())
                sectionEnd = result.size();
            continue;
        }
        // The key's first line takes the new value; other lines of it go.
        for (auto it = pending.begin(); it != pending.end(); ++it) {
            if (!EqualsIgnoringAsciiCase(it->first.c_str(), key.c_str()))
                continue;
            if (it->second) {
                result += KeyLine(it->first, *it->second);
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
    const std::vector<wchar_t> target = WideFrom(file, CP_UTF8);
    const std::vector<wchar_t> temporary = WideFrom(file + kTemporarySuffix, CP_UTF8);
    {
        UniqueHandle handle(CreateFileW(temporary.data(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (handle.Get() == INVALID_HANDLE_VALUE) {
            handle.Release();
            return GetLastError();
        }
        DWORD written = 0;
        const BOOL wrote = WriteFile(handle.Get(), bytes.data(),
                                     static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (!wrote || written != bytes.size()) {
            const DWORD error = wrote ? ERROR_WRITE_FAULT : GetLastError();
            handle.Reset();
            DeleteFileW(temporary.data());
            return error;
        }
    }
    if (!MoveFileExW(temporary.data(), target.data(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.data());
        return error;
    }
    return 0;
}
