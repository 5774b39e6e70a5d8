// Copying and converting the host's wide texts. The conversion to UTF-8 is the
// platform's WideCharToMultiByte; unpaired surrogates are replaced beforehand
// rather than left to it, because what the platform does with them has varied
// between Windows versions and Wine.
#include "monitor/host_text.h"

#include "common/bounded_copy.h"
#include "common/text_convert.h"

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

bool IsLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

void CopyWideHostText(wchar_t* destination, const wchar_t* source)
{
    int length = 0;
    while (length < kHostTextLimit && source[length] != L'\0') {
        destination[length] = source[length];
        ++length;
    }
    if (length == kHostTextLimit && IsHighSurrogate(source[length - 1]) &&
        IsLowSurrogate(source[length]))
        --length;
    destination[length] = L'\0';
}

void CopyAnsiHostTextAsWide(wchar_t* destination, const char* source)
{
    char ansi[kHostTextLimit + 1];
    CopyBounded(ansi, source, ansi + kHostTextLimit);
    // Each byte or double-byte character gives at most one unit, so the
    // widened text always fits.
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, destination, kWideTextSize) == 0)
        destination[0] = L'\0';
}

void ConvertToUtf8(const wchar_t* text, char* destination)
{
    wchar_t clean[kWideTextSize];
    int length = 0;
    for (; length < kHostTextLimit && text[length] != L'\0'; ++length) {
        wchar_t unit = text[length];
        bool pairedHigh = IsHighSurrogate(unit) && IsLowSurrogate(text[length + 1]);
        bool pairedLow = IsLowSurrogate(unit) && length > 0 && IsHighSurrogate(text[length - 1]);
        bool unpaired = (IsHighSurrogate(unit) && !pairedHigh) || (IsLowSurrogate(unit) && !pairedLow);
        clean[length] = unpaired ? kReplacementCharacter : unit;
    }
    clean[length] = L'\0';
    if (WideCharToMultiByte(CP_UTF8, 0, clean, -1, destination, kUtf8TextSize, nullptr,
                            nullptr) == 0)
        destination[0] = '\0';
}
