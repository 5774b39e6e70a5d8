// The reader works on the bytes alone: lines end at a line feed, with or
// without a carriage return; a section runs from its bracketed name to the
// next line that opens with a bracket. Its matching rules are the ones a user
// sees in the private-profile functions, so a key means the same to both.
#include "config/section_reader.h"

#include <algorithm>
#include <vector>

#include "common/ascii_case.h"
#include "common/unique_handle.h"
#include "plugin/plugin.h"

namespace {

// Far beyond any settings file a user writes; a larger file is not read.
constexpr DWORD kSettingsFileLimit = 1024 * 1024;
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

std::string Trimmed(const std::string& text)
{
    const char* const blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string WithoutQuotes(const std::string& value)
{
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
        value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool HasByteAbove7F(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) > 0x7F)
            return true;
    return false;
}

}  // namespace

DWORD ReadSettingsFileBytes(const wchar_t* file, std::string& bytes)
{
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
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        bytes.clear();
        return ERROR_UNSUPPORTED_TYPE;
    }
    return 0;
}

bool FindSectionValue(const std::string& bytes, const char* key, std::string& value)
{
    size_t start = bytes.compare(0, 3, kUtf8ByteOrderMark) == 0 ? 3 : 0;
    bool inSection = false;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = Trimmed(bytes.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            const size_t close = line.find(']');
            const std::string name =
                Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            inSection = EqualsIgnoringAsciiCase(name.c_str(), kProductName);
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos)
            continue;
        if (EqualsIgnoringAsciiCase(Trimmed(line.substr(0, equals)).c_str(), key)) {
            value = WithoutQuotes(Trimmed(line.substr(equals + 1)));
            return true;
        }
    }
    return false;
}

void DecodeSettingText(const std::string& value, UINT codePage, wchar_t* text, int size)
{
    text[0] = L'\0';
    if (value.empty())
        return;
    const int length = static_cast<int>(value.size());
    const bool utf8 = HasByteAbove7F(value) &&
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
