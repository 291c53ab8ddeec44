// Glyph names to Unicode: the installed Adobe glyph list found through
// kpathsea, the name forms beside it, and a list that does not parse.
#include "text/glyph_list.h"

#include <gtest/gtest.h>

#include <string>

#include "text/conv.h"

namespace morvex {
namespace {

std::string show(const std::u32string& chars) {
    std::string s;
    for (char32_t c : chars) s += utf8(c);
    return s;
}

class GlyphListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installed = new std::optional<GlyphList>(GlyphList::load()); }
    static void TearDownTestSuite() {
        delete installed;
        installed = nullptr;
    }
    static std::optional<GlyphList>* installed;
};
std::optional<GlyphList>* GlyphListTest::installed = nullptr;

TEST_F(GlyphListTest, NamesOfTheInstalledList) {
    ASSERT_TRUE(installed->has_value()) << "glyphlist.txt not found through kpathsea";
    const GlyphList& list = **installed;
    EXPECT_GT(list.size(), 4000u);
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"A", "A"},
        {"emdash", "\u2014"},
        {"endash", "\u2013"},
        {"ffi", "\uFB03"},
        {"fi", "\uFB01"},
        {"quotedblleft", "\u201C"},
        {"quotedblright", "\u201D"},
        {"quoteright", "\u2019"},
        {"Lslash", "\u0141"},
        {"lslash", "\u0142"},
        {"germandbls", "\u00DF"},
        {"dotlessi", "\u0131"},
        {"space", " "},
        {"ampersand", "&"},
        // Several code points for one name.
        {"dalethatafpatah", "\u05D3\u05B2"},
        // A suffix after the first period is dropped.
        {"a.sc", "a"},
        {"emdash.alt.two", "\u2014"},
        // Components joined by underscores, each by the same rules.
        {"f_f_i", "ffi"},
        {"T_uni0068_e", "The"},
        {"f_nosuchglyph_l", "fl"},
        // uni with groups of four uppercase digits, u with four to six.
        {"uni0041", "A"},
        {"uni20AC", "\u20AC"},
        {"uni00410042", "AB"},
        {"u1F600", "\U0001F600"},
        {"u10FFFF", "\U0010FFFF"},
        {"u0041", "A"},
        // The forms that carry no character.
        {"uni20ac", ""},
        {"uniD800", ""},
        {"uni004", ""},
        {"uni00410", ""},
        {"uD800", ""},
        {"u110000", ""},
        {"u41", ""},
        {"u1234567", ""},
        {".notdef", ""},
        {"suppress", ""},
        {"", ""},
        {"_", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(show(list.characters(c.name)), c.text);
    }
}

TEST(GlyphList, LinesThatDoNotFitAreSkipped) {
    GlyphList list = GlyphList::parse(
        "# comment;0041\n"
        "good;0042\r\n"
        "lower;00e9\n"
        "short;041\n"
        "long;00041\n"
        "surrogate;D800\n"
        ";0043\n"
        "nosemicolon 0044\n"
        "pair;0044 0045\n"
        "badpair;0044 zz\n"
        "trailing;0046 \n"
        "last;0047");
    EXPECT_EQ(show(list.characters("good")), "B");
    EXPECT_EQ(show(list.characters("pair")), "DE");
    EXPECT_EQ(show(list.characters("last")), "G");
    EXPECT_EQ(show(list.characters("trailing")), "F");
    for (const char* name : {"lower", "short", "long", "surrogate", "nosemicolon", "badpair", "#"})
        EXPECT_EQ(show(list.characters(name)), "") << name;
    EXPECT_EQ(list.size(), 4u);
}

TEST(GlyphList, TextCharacters) {
    for (char32_t c : {U'A', U' ', U'\u00A0', U'\u2014', U'\uFB03', U'\uE000', U'\U0001F600'})
        EXPECT_TRUE(textCharacter(c)) << static_cast<uint32_t>(c);
    for (char32_t c : {U'\0', U'\t', U'\n', char32_t{0x1F}, char32_t{0x7F}, char32_t{0x85}, char32_t{0xD800},
                       char32_t{0xFFFE}, char32_t{0xFFFF}, char32_t{0x110000}})
        EXPECT_FALSE(textCharacter(c)) << static_cast<uint32_t>(c);
}

}  // namespace
}  // namespace morvex
