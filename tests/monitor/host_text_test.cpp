// Copying and converting the host's wide texts: where a long text is cut, how
// surrogates come through, and the UTF-8 a post carries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "monitor/host_text.h"

namespace {

const std::wstring kPair = L"\xD83D\xDE00";  // U+1F600, two UTF-16 units
const std::string kPairUtf8 = "\xF0\x9F\x98\x80";
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

std::wstring Copied(const std::wstring& source)
{
    wchar_t buffer[kWideTextSize + 8];
    std::wmemset(buffer, L'X', kWideTextSize + 8);
    CopyWideHostText(buffer, source.c_str());
    EXPECT_EQ(L'X', buffer[kWideTextSize]) << "wrote past the buffer";
    return buffer;
}

std::string Utf8(const std::wstring& text)
{
    char buffer[kUtf8TextSize];
    ConvertToUtf8(text.c_str(), buffer);
    return buffer;
}

TEST(HostTextTest, WideTextsAreCutAt260UnitsButNeverInsideASurrogatePair)
{
    const struct {
        const char* name;
        std::wstring source;
        std::wstring expected;
    } cases[] = {
        {"short", L"Song", L"Song"},
        {"empty", L"", L""},
        {"exactly 260", std::wstring(260, L'a'), std::wstring(260, L'a')},
        {"longer", std::wstring(300, L'a'), std::wstring(260, L'a')},
        {"pair across the cut", std::wstring(259, L'a') + kPair + L"b", std::wstring(259, L'a')},
        {"pair just inside", std::wstring(258, L'a') + kPair + L"b",
         std::wstring(258, L'a') + kPair},
        {"lone high surrogate at the cut", std::wstring(259, L'a') + L"\xD83Dxy",
         std::wstring(259, L'a') + L"\xD83D"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Copied(c.source)) << c.name;
}

TEST(HostTextTest, ConvertsToUtf8WithUnpairedSurrogatesReplaced)
{
    const struct {
        const char* name;
        std::wstring text;
        std::string expected;
    } cases[] = {
        {"empty", L"", ""},
        {"ASCII", L"Artist - Title", "Artist - Title"},
        {"Latin", L"Caf\x00E9", "Caf\xC3\xA9"},
        {"Japanese", L"\x65E5\x672C\x8A9E", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"Cyrillic", L"\x041F\x0440\x0438", "\xD0\x9F\xD1\x80\xD0\xB8"},
        {"emoji", L"a" + kPair + L"b", "a" + kPairUtf8 + "b"},
        {"high surrogate at the end", L"a\xD83D", "a" + kReplacementUtf8},
        {"low surrogate alone", L"a\xDE00" L"b", "a" + kReplacementUtf8 + "b"},
        {"two highs then a low", L"\xD83D" + kPair, kReplacementUtf8 + kPairUtf8},
        {"pair then a low", kPair + L"\xDE00", kPairUtf8 + kReplacementUtf8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Utf8(c.text)) << c.name;
}

TEST(HostTextTest, TheLongestTextsFitTheUtf8Buffer)
{
    std::string hiragana;
    for (int i = 0; i < kHostTextLimit; ++i)
        hiragana += "\xE3\x81\x82";
    EXPECT_EQ(hiragana, Utf8(std::wstring(kHostTextLimit, L'\x3042')));
    EXPECT_EQ(780u, hiragana.size());

    std::wstring pairs;
    std::string pairsUtf8;
    for (int i = 0; i < kHostTextLimit / 2; ++i) {
        pairs += kPair;
        pairsUtf8 += kPairUtf8;
    }
    EXPECT_EQ(pairsUtf8, Utf8(pairs));
}

TEST(HostTextTest, AnsiAnswersAreCutAt260BytesAndWidenedFromTheAnsiCodePage)
{
    wchar_t buffer[kWideTextSize];
    CopyAnsiHostTextAsWide(buffer, std::string(300, 'a').c_str());
    EXPECT_EQ(std::wstring(260, L'a'), buffer);

    CopyAnsiHostTextAsWide(buffer, "");
    EXPECT_EQ(std::wstring(), buffer);

    ASSERT_EQ(1252u, GetACP()) << "the test prefix runs with the Western code page";
    CopyAnsiHostTextAsWide(buffer, "Caf\xE9 \x80");
    EXPECT_EQ(std::wstring(L"Caf\x00E9 \x20AC"), buffer);
}

}  // namespace
