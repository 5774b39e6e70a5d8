// The conversion goes through UTF-16, the only form both code pages share; a
// text the platform cannot convert comes out empty rather than half done.
#include "monitor/utf8_title.h"

#include <windows.h>

#include <vector>

std::string AsUtf8(const char* text, TitleCharset charset)
{
    if (charset == TitleCharset::kUtf8)
        return text;
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return "";
    std::vector<wchar_t> wide(static_cast<size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
    return WideAsUtf8(wide.data());
}

std::string WideAsUtf8(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return "";
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(bytes) - 1);
    return utf8;
}
