// The reader works on the bytes alone, with the rules its header lists; the
// matching is the one a user sees in the private-profile functions, so a key
// of the plugin's means the same to both.
#include "config/section_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/ascii_case.h"
#include "common/text_convert.h"
#include "common/unique_handle.h"
#include "host/plugin.h"

namespace {

// Far beyond any settings file a user writes; a larger file is not read.
constexpr DWORD kSettingsFileLimit = 1024 * 1024;
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// `bytes` from `start` to `end`, without the blanks at either end.
TextSpan Trimmed(const std::string& bytes, size_t start, size_t end)
{
    while (start < end && IsBlank(bytes[start]))
        ++start;
    while (end > start && IsBlank(bytes[end - 1]))
        --end;
    return {start, end - start};
}

TextSpan WithoutQuotes(const std::string& bytes, TextSpan value)
{
    const char first = value.length >= 2 ? bytes[value.start] : '\0';
    if ((first == '"' || first == '\'') && bytes[value.start + value.length - 1] == first)
        return {value.start + 1, value.length - 2};
    return value;
}

// Whether `span` of `bytes` is `name`, in any letter case.
bool SpanIs(const std::string& bytes, const TextSpan& span, const char* name)
{
    return span.length == std::strlen(name) &&
           EqualsIgnoringAsciiCase(bytes.substr(span.start, span.length).c_str(), name);
}

}  // namespace

DWORD ReadSettingsFileBytes(const wchar_t* file, std::string& bytes, bool* utf16)
{
    if (utf16 != nullptr)
        *utf16 = false;
    bytes.clear();
    UniqueHandle handle(CreateFileW(file, GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Get() == INVALID_HANDLE_VALUE) {
        handle.Release();
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
    }
    const DWORD size = GetFileSize(handle.Get(), nullptr);
    if (size == INVALID_FILE_SIZE)
        return GetLastError();
    if (size > kSettingsFileLimit)
        return ERROR_FILE_TOO_LARGE;
    bytes.resize(size);
    DWORD got = 0;
    if (size > 0 && !ReadFile(handle.Get(), &bytes[0], size, &got, nullptr)) {
        bytes.clear();
        return GetLastError();
    }
    bytes.resize(got);
    // Notepad's "Unicode" is UTF-16, which neither the reader nor the
    // dialog's editor can take.
    if (utf16 != nullptr && bytes.compare(0, 2, "\xFF\xFE") == 0) {
        *utf16 = true;
        std::vector<wchar_t> text(bytes.size() / 2, L'\0');
        std::copy(bytes.begin() + 2, bytes.begin() + 2 * static_cast<ptrdiff_t>(text.size()),
                  reinterpret_cast<char*>(text.data()));
        bytes = BytesFrom(text.data());
        return 0;
    }
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        bytes.clear();
        return ERROR_UNSUPPORTED_TYPE;
    }
    return 0;
}

std::vector<SettingsLine> SplitSettingsLines(const std::string& bytes, std::string& mark)
{
    const size_t first = bytes.compare(0, 3, kUtf8ByteOrderMark) == 0 ? 3 : 0;
    mark = bytes.substr(0, first);
    std::vector<SettingsLine> lines;
    bool inSection = false;
    bool sectionSeen = false;
    for (size_t start = first; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        SettingsLine line;
        line.text = {start, end - start};
        const TextSpan text = Trimmed(bytes, start, bytes[end - 1] == '\n' ? end - 1 : end);
        start = end;
        const size_t close = bytes.find(']', text.start);
        if (text.length != 0 && bytes[text.start] == '[' &&
            close < text.start + text.length) {
            line.opensSection = true;
            line.opensOurSection =
                !sectionSeen && SpanIs(bytes, Trimmed(bytes, text.start + 1, close), kProductName);
            inSection = line.opensOurSection;
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && text.length != 0) {
            line.inOurSection = true;
            const size_t textEnd = text.start + text.length;
            const size_t equals = std::min(bytes.find('=', text.start), textEnd);
            line.key = Trimmed(bytes, text.start, equals);
            line.hasValue = equals < textEnd;
            if (line.hasValue)
                line.value = WithoutQuotes(bytes, Trimmed(bytes, equals + 1, textEnd));
        } else {
            line.inOurSection = inSection;
        }
        lines.push_back(line);
    }
    return lines;
}

std::string SpanText(const std::string& bytes, const TextSpan& span)
{
    return bytes.substr(span.start, span.length);
}

bool FindSectionValue(const std::string& bytes, const char* key, std::string& value)
{
    std::string mark;
    for (const SettingsLine& line : SplitSettingsLines(bytes, mark))
        if (line.key.length != 0 && SpanIs(bytes, line.key, key)) {
            if (line.hasValue)
                value = SpanText(bytes, line.value);
            return line.hasValue;
        }
    return false;
}

bool SectionHasKeys(const std::string& bytes)
{
    std::string mark;
    for (const SettingsLine& line : SplitSettingsLines(bytes, mark))
        if (line.key.length != 0)
            return true;
    return false;
}

std::string SectionBytes(const std::string& bytes)
{
    std::string mark;
    std::string section;
    for (const SettingsLine& line : SplitSettingsLines(bytes, mark))
        if (line.opensOurSection || line.inOurSection)
            section += SpanText(bytes, line.text);
    return section;
}

void DecodeSettingText(const std::string& value, UINT codePage, wchar_t* text, int size)
{
    text[0] = L'\0';
    if (value.empty())
        return;
    const int length = static_cast<int>(value.size());
    const bool utf8 = !IsAscii(value) &&
                      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, value.data(), length,
                                          nullptr, 0) > 0;
    const UINT from = utf8 ? CP_UTF8 : codePage;
    const int units = MultiByteToWideChar(from, 0, value.data(), length, nullptr, 0);
    if (units <= 0)
        return;
    std::vector<wchar_t> wide(static_cast<size_t>(units));
    MultiByteToWideChar(from, 0, value.data(), length, wide.data(), units);
    int kept = units < size - 1 ? units : size - 1;
    if (kept < units && kept > 0 && IsHighSurrogate(wide[static_cast<size_t>(kept) - 1]))
        --kept;
    std::copy(wide.begin(), wide.begin() + kept, text);
    text[kept] = L'\0';
}
