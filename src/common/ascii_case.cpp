// ASCII letter-case folding without the C runtime's locale-aware tolower.
#include "common/ascii_case.h"

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool StartsWithIgnoringAsciiCase(const char* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (Lower(*text) != Lower(*prefix))
            return false;
    }
    return true;
}

bool EqualsIgnoringAsciiCase(const char* a, const char* b)
{
    return StartsWithIgnoringAsciiCase(a, b) && StartsWithIgnoringAsciiCase(b, a);
}
