// The form-value encoder: typical titles and the characters forms treat
// specially, every byte value against its class (kept, space, escaped), and
// independence from the C locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "post/url_encode.h"

namespace {

TEST(UrlEncodeTest, TitlesAndFormSpecialCharacters)
{
    struct Case {
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {"", ""},
        {"Connection Test", "Connection+Test"},
        {"Artist - Title", "Artist+%2D+Title"},
        {"it's", "it%27s"},
        {"a.b_c~d", "a%2Eb%5Fc%7Ed"},
        {"50% off!", "50%25+off%21"},
        {"x&y=z", "x%26y%3Dz"},
        {"a+b", "a%2Bb"},
        {"/path?q", "%2Fpath%3Fq"},
        {"a\tb", "a+b"},
        {"one\r\ntwo", "one++two"},
        {"  ", "++"},
        {"Caf\xE9", "Caf%E9"},
        {"\xFF", "%FF"},
        {std::string("ab\0cd", 5), "ab"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.output, UrlEncode(c.input)) << "input: " << c.input;
}

// What each byte becomes, by byte range: ASCII letters and digits are kept,
// the whitespace bytes become '+', everything else is escaped as %XX.
std::string ExpectedFor(unsigned byte)
{
    bool digit = byte >= 0x30 && byte <= 0x39;
    bool upper = byte >= 0x41 && byte <= 0x5A;
    bool lower = byte >= 0x61 && byte <= 0x7A;
    if (digit || upper || lower)
        return std::string(1, static_cast<char>(byte));
    if ((byte >= 0x09 && byte <= 0x0D) || byte == 0x20)
        return "+";
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
    return escaped;
}

TEST(UrlEncodeTest, EveryByteFollowsItsClassWhateverTheLocale)
{
    std::string all;
    std::string expected;
    for (unsigned byte = 1; byte <= 0xFF; ++byte) {
        all += static_cast<char>(byte);
        expected += ExpectedFor(byte);
    }
    EXPECT_EQ(expected, UrlEncode(all));

    // A locale whose character classes count accented letters as letters.
    std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "French_France.1252") != nullptr) {
        EXPECT_EQ(expected, UrlEncode(all));
        std::setlocale(LC_ALL, saved.c_str());
    }
}

TEST(UrlEncodeTest, HexDigitsAreUpperCase)
{
    std::string digits;
    for (unsigned value = 0; value < 16; ++value)
        digits += HexDigit(value);
    EXPECT_EQ("0123456789ABCDEF", digits);
}

}  // namespace
