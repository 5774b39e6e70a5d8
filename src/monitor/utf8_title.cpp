// The conversion goes through UTF-16, the only form both code pages share; a
// text the platform cannot convert comes out empty rather than half done.
#include "monitor/utf8_title.h"

#include "common/text_convert.h"

std::string AsUtf8(const char* text, TitleCharset charset)
{
    if (charset == TitleCharset::kUtf8)
        return text;
    return BytesFrom(WideFrom(text, CP_ACP).data());
}

std::string WideAsUtf8(const wchar_t* text)
{
    return BytesFrom(text);
}
