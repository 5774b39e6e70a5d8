// Dialog template 101 as the linker put it into gen_tunewire.dll, read back
// with the resource functions and parsed as DLGTEMPLATEEX / DLGITEMTEMPLATEEX,
// then compared field by field with the layout the dialog must have: its
// style, font and size, and each control's class, id, text, style and place.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/config-rc.h"
#include "support/plugin_sandbox.h"

namespace {

constexpr WORD kEnglishUs = 0x409;

// Walks a template resource: little-endian words, strings as UTF-16 or as an
// ordinal (0xFFFF followed by a word), items aligned on 4-byte boundaries.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    WORD Word()
    {
        const BYTE* at = Take(2);
        return static_cast<WORD>(at[0] | at[1] << 8);
    }

    DWORD Dword()
    {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return *Take(1); }

    // Text of a string field; an ordinal becomes "#<number>".
    std::string StringOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD c = first; c != 0; c = Word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t{3}; }

private:
    const BYTE* Take(size_t count)
    {
        if (offset_ + count > size_)
            throw std::out_of_range("template ends early");
        const BYTE* at = data_ + offset_;
        offset_ += count;
        return at;
    }

    const BYTE* data_;
    size_t size_;
    size_t offset_ = 0;
};

struct Item {
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    DWORD id;
    std::string className, text;
    WORD extraCount;
};

struct Template {
    WORD version, signature;
    DWORD helpId, exStyle, style;
    WORD itemCount;
    short x, y, cx, cy;
    std::string menu, className, caption;
    WORD pointSize, weight;
    BYTE italic, charset;
    std::string typeface;
    std::vector<Item> items;
};

// The predefined classes that a template may name by ordinal.
std::string ClassName(const std::string& field)
{
    if (field == "#128")
        return "Button";
    if (field == "#129")
        return "Edit";
    if (field == "#130")
        return "Static";
    return field;
}

Template Parse(const BYTE* data, size_t size)
{
    TemplateReader in(data, size);
    Template t;
    t.version = in.Word();
    t.signature = in.Word();
    t.helpId = in.Dword();
    t.exStyle = in.Dword();
    t.style = in.Dword();
    t.itemCount = in.Word();
    t.x = in.Short();
    t.y = in.Short();
    t.cx = in.Short();
    t.cy = in.Short();
    t.menu = in.StringOrOrdinal();
    t.className = in.StringOrOrdinal();
    t.caption = in.StringOrOrdinal();
    t.pointSize = in.Word();
    t.weight = in.Word();
    t.italic = in.Byte();
    t.charset = in.Byte();
    t.typeface = in.StringOrOrdinal();
    for (int i = 0; i < t.itemCount; ++i) {
        in.AlignToDword();
        Item item;
        item.helpId = in.Dword();
        item.exStyle = in.Dword();
        item.style = in.Dword();
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = in.Dword();
        item.className = ClassName(in.StringOrOrdinal());
        item.text = in.StringOrOrdinal();
        item.extraCount = in.Word();
        t.items.push_back(item);
    }
    return t;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

class DialogTemplateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HRSRC resource = FindResourceExA(sandbox_.Module(), MAKEINTRESOURCEA(5),
                                         MAKEINTRESOURCEA(IDD_CONFIG), kEnglishUs);
        ASSERT_NE(nullptr, resource) << "no English (United States) dialog 101";
        const BYTE* data =
            static_cast<const BYTE*>(LockResource(LoadResource(sandbox_.Module(), resource)));
        template_ = Parse(data, SizeofResource(sandbox_.Module(), resource));
    }

    PluginSandbox sandbox_;
    Template template_;
};

TEST_F(DialogTemplateTest, ExistsOnlyInEnglishUnitedStates)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(sandbox_.Module(), MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_CONFIG),
                           CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::vector<WORD>{kEnglishUs}, languages);
}

TEST_F(DialogTemplateTest, HeaderMatches)
{
    const Template& t = template_;
    EXPECT_EQ(1, t.version);
    EXPECT_EQ(0xFFFF, t.signature);
    EXPECT_EQ(0u, t.helpId);
    EXPECT_EQ(0u, t.exStyle);
    EXPECT_EQ(0x80C800C0u, t.style);
    EXPECT_EQ(14, t.itemCount);
    EXPECT_EQ(0, t.x);
    EXPECT_EQ(0, t.y);
    EXPECT_EQ(387, t.cx);
    EXPECT_EQ(217, t.cy);
    EXPECT_EQ("", t.menu);
    EXPECT_EQ("", t.className);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ(0, t.weight);
    EXPECT_EQ(0, t.italic);
    EXPECT_EQ(0, t.charset);
    EXPECT_EQ("MS Sans Serif", t.typeface);
}

struct ExpectedItem {
    int id;
    const char* className;
    DWORD style;
    short x, y, cx, cy;
    // nullptr where the dialog replaces the text before it is shown.
    const char* text;
};

const ExpectedItem kItems[] = {
    {-1, "Button", 0x50000007, 7, 7, 373, 88, "Server Settings:"},
    {IDC_FORM_HANDLER, "Edit", 0x50810080, 54, 45, 250, 14, ""},
    {IDOK, "Button", 0x50010001, 319, 15, 50, 19, "OK"},
    {IDC_TEST, "Button", 0x50010000, 319, 40, 50, 19, "Test"},
    {IDC_ENHANCED_HINT, "Static", 0x50020000, 7, 199, 97, 8, nullptr},
    {IDC_SERVER_NAME, "Edit", 0x50810080, 54, 23, 249, 14, ""},
    {-1, "Static", 0x50020000, 12, 25, 41, 10, "Server:"},
    {-1, "Static", 0x50020000, 12, 49, 41, 10, "Form URL:"},
    {-1, "Button", 0x50000007, 7, 101, 373, 87, "Help:"},
    {IDC_ENHANCED_FEATURES, "Button", 0x50018000, 305, 193, 74, 14, "Visit Website"},
    {IDCANCEL, "Button", 0x50010000, 319, 68, 50, 19, "Cancel"},
    {IDC_NOTES, "Edit", 0x50810884, 12, 110, 362, 65, ""},
    {IDC_SERVER_FILES, "Button", 0x50018000, 143, 193, 74, 14, "Server Files"},
    {IDC_VIEW_README, "Button", 0x50018000, 224, 193, 74, 14, "View Readme"},
};

TEST_F(DialogTemplateTest, ControlsMatchInOrder)
{
    ASSERT_EQ(std::size(kItems), template_.items.size());
    for (size_t i = 0; i < std::size(kItems); ++i) {
        const ExpectedItem& want = kItems[i];
        const Item& got = template_.items[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(want.id, static_cast<int32_t>(got.id));
        EXPECT_EQ(want.className, got.className);
        EXPECT_EQ(want.style, got.style);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        if (want.text != nullptr) {
            EXPECT_EQ(want.text, got.text);
        }
        EXPECT_EQ(0u, got.exStyle);
        EXPECT_EQ(0u, got.helpId);
        EXPECT_EQ(0, got.extraCount);
    }
}

}  // namespace
