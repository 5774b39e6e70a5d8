// See text_convert.h. An empty text converts to an empty one; the platform's
// conversions report 0 for it, which is no failure here.
#include "common/text_convert.h"

std::vector<wchar_t> WideFrom(const std::string& text, UINT codePage, DWORD flags)
{
    const int length = MultiByteToWideChar(codePage, flags, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return text.empty() ? std::vector<wchar_t>{L'\0'} : std::vector<wchar_t>{};
    std::vector<wchar_t> wide(static_cast<size_t>(length) + 1, L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string BytesFrom(const wchar_t* text, UINT codePage)
{
    const int length = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return "";
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text, -1, &bytes[0], length, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(length) - 1);
    return bytes;
}
