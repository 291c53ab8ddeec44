// Glyph names to Unicode: the installed lists found through kpathsea with
// TeX's own glyph names, the name forms beside them, the two file forms
// with lines that do not fit, the precedence of the lists, and files that
// are no glyph lists at all.
#include "text/glyph_list.h"

#include <gtest/gtest.h>

#include <string>

#include "text/conv.h"

namespace morvex {
namespace {

constexpr const char* kUnknown = "(unknown)";

std::string show(const std::optional<std::u32string>& chars) {
    if (!chars) return kUnknown;
    std::string s;
    for (char32_t c : *chars) s += utf8(c);
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

struct NameCase {
    const char* name;
    const char* font;  // the TFM name, "" for none
    const char* text;  // kUnknown: no list or rule knows the name
};

// The names of TeX's fonts (cmr, cmmi, cmsy, cmex, the T1 fonts of Latin
// Modern and CM-Super, TS1) as a reader expects to find and copy them.
const NameCase kTexNames[] = {
    // Ligatures are their letters, so that "office" finds "o" ffi "ce".
    {"ff", "", "ff"},
    {"fi", "", "fi"},
    {"fl", "", "fl"},
    {"ffi", "ec-lmr10", "ffi"},
    {"ffl", "cmr10", "ffl"},
    {"FFsmall", "", "ff"},
    // Quotes, dashes, accented letters, sharp s.
    {"quotedblleft", "", "\u201C"},
    {"quotedblright", "", "\u201D"},
    {"quoteleft", "", "\u2018"},
    {"quoteright", "", "\u2019"},
    {"quotedblbase", "", "\u201E"},
    {"guillemotleft", "", "\u00AB"},
    {"endash", "", "\u2013"},
    {"emdash", "", "\u2014"},
    {"hyphen", "", "-"},
    {"eacute", "", "\u00E9"},
    {"Lslash", "", "\u0141"},
    {"Zcaron", "", "\u017D"},
    {"germandbls", "", "\u00DF"},
    {"Germandbls", "", "SS"},
    {"SS", "", "SS"},
    {"dotlessi", "", "\u0131"},
    {"dotlessj", "", "\u0237"},
    {"visiblespace", "", "\u2423"},
    // The per-mille sign of T1 is a percent sign and this zero.
    {"perthousandzero", "ecrm1000", "0"},
    {"perthousand", "", "\u2030"},
    // Invisible marks that part ligatures carry no text at all.
    {"compwordmark", "", ""},
    {"cwm", "ec-lmr10", ""},
    {"capitalcompwordmark", "", ""},
    {"ascendercompwordmark", "", ""},
    {"cwmcapital", "", ""},
    {"cwmascender", "", ""},
    {"afii61664.cap", "", ""},
    // Greek letters of cmr and cmmi, the letters also where the Adobe list
    // gives the bare name to a sign.
    {"Gamma", "cmr10", "\u0393"},
    {"Delta", "cmr10", "\u0394"},
    {"Omega", "cmmi10", "\u03A9"},
    {"mu", "cmmi10", "\u03BC"},
    {"alpha", "", "\u03B1"},
    {"epsilon1", "", "\u03F5"},
    {"theta1", "", "\u03D1"},
    {"sigma1", "", "\u03C2"},
    {"Digamma", "msbm10", "\U0001D7CB"},
    // cmmi's \phi is the straight form and \varphi the loopy one: the
    // fonts' own entries in pdftex's list say so; other fonts as the list.
    {"phi", "cmmi10", "\u03D5"},
    {"phi1", "cmmi10", "\u03C6"},
    {"phi", "lmmi10", "\u03D5"},
    {"phi", "", "\u03C6"},
    {"phi", "cmr10", "\u03C6"},
    // Not Greek where the name is no Greek letter's.
    {"question", "", "?"},
    // cmsy: the suits of cmsy are the white ones.
    {"minus", "cmsy10", "\u2212"},
    {"lessequal", "", "\u2264"},
    {"element", "", "\u2208"},
    {"infinity", "", "\u221E"},
    {"arrowright", "", "\u2192"},
    {"heart", "cmsy10", "\u2661"},
    {"diamond", "cmsy10", "\u2662"},
    {"heart", "", "\u2665"},
    // cmex: each size of a delimiter or operator is its symbol.
    {"parenleftbig", "cmex10", "("},
    {"parenrightBigg", "", ")"},
    {"bracketleftBig", "", "["},
    {"braceleftbigg", "", "{"},
    {"summationtext", "", "\u2211"},
    {"summationdisplay", "", "\u2211"},
    {"integraldisplay", "", "\u222B"},
    {"radicalbig", "", "\u221A"},
    {"circleplustext", "", "\u2295"},
    {"angbracketleftbig", "", "\u27E8"},
    {"nosuchbig", "", kUnknown},
    // Small capitals and old-style figures as the plain characters.
    {"a.sc", "", "a"},
    {"Asmall", "", "a"},
    {"zerooldstyle", "", "0"},
    {"seven.oldstyle", "", "7"},
    {"one.taboldstyle", "", "1"},
    {"emdash.alt.two", "", "\u2014"},
    // Components joined by underscores, each by the same rules.
    {"f_f_i", "", "ffi"},
    {"T_uni0068_e", "", "The"},
    {"f_nosuchglyph_l", "", "fl"},
    // uni with groups of four uppercase digits, u with four to six.
    {"uni0041", "", "A"},
    {"uni20AC", "", "\u20AC"},
    {"uni00410042", "", "AB"},
    {"uni200C", "", ""},
    {"u1F600", "", "\U0001F600"},
    {"u10FFFF", "", "\U0010FFFF"},
    {"u0041", "", "A"},
    // The forms that carry no character, and names no list knows: the
    // writer keeps the code's own character for these.
    {"uni20ac", "", kUnknown},
    {"uniD800", "", kUnknown},
    {"uni0001", "", kUnknown},
    {"uni004", "", kUnknown},
    {"uni00410", "", kUnknown},
    {"uD800", "", kUnknown},
    {"u110000", "", kUnknown},
    {"u41", "", kUnknown},
    {"u1234567", "", kUnknown},
    {".notdef", "", kUnknown},
    {"suppress", "cmr10", kUnknown},
    {"", "", kUnknown},
    {"_", "", kUnknown},
};

TEST_F(GlyphListTest, TexGlyphNamesGiveTheCharactersAReaderExpects) {
    ASSERT_TRUE(installed->has_value()) << "no glyph list found through kpathsea";
    const GlyphList& list = **installed;
    EXPECT_GT(list.size(), 4000u);
    for (const NameCase& c : kTexNames) {
        SCOPED_TRACE(std::string(c.name) + " of " + c.font);
        EXPECT_EQ(show(list.characters(c.name, c.font)), c.text);
    }
}

TEST(GlyphList, PdftexLinesThatDoNotFitAreSkipped) {
    GlyphList list;
    list.addPdftexList(
        "% lcdf-typetools glyphtounicode.tex\n"
        "\\pdfglyphtounicode{good}{0042}\r\n"
        "\\pdfglyphtounicode{letters}{0066 0066 0069}\n"
        "\\pdfglyphtounicode{commented}{0043} % a comment\n"
        "\\pdfglyphtounicode{astral}{D835 DFCB}\n"
        "\\pdfglyphtounicode{tfm:cmmi10/phi}{03D5}\n"
        "\\pdfglyphtounicode{mark}{200C}\n"
        "\\pdfglyphtounicode{lonehigh}{D875}\n"
        "\\pdfglyphtounicode{lonelow}{DFCB 0041}\n"
        "\\pdfglyphtounicode{lower}{00e9}\n"
        "\\pdfglyphtounicode{short}{041}\n"
        "\\pdfglyphtounicode{long}{1D7CB}\n"
        "\\pdfglyphtounicode{control}{0007}\n"
        "\\pdfglyphtounicode{nonchar}{FFFE}\n"
        "\\pdfglyphtounicode{twospaces}{0041  0042}\n"
        "\\pdfglyphtounicode{open}{0041\n"
        "\\pdfglyphtounicode{after}{0041}x\n"
        "\\pdfglyphtounicode{empty}{}\n"
        "\\pdfglyphtounicode{}{0041}\n"
        "\\pdfglyphtounicode{with space}{0041}\n"
        " \\pdfglyphtounicode{indented}{0041}\n"
        "\\pdfglyphtounicode{good}{0044}\n"
        "\\pdfglyphtounicode{last}{0047}");
    const NameCase cases[] = {
        {"good", "", "B"},  // the first line of a name stands
        {"letters", "", "ffi"},
        {"commented", "", "C"},
        {"astral", "", "\U0001D7CB"},
        {"phi", "cmmi10", "\u03D5"},
        {"phi", "", kUnknown},
        {"mark", "", ""},
        {"last", "", "G"},
    };
    for (const NameCase& c : cases) EXPECT_EQ(show(list.characters(c.name, c.font)), c.text) << c.name;
    for (const char* name : {"lonehigh", "lonelow", "lower", "short", "long", "control", "nonchar", "twospaces", "open",
                             "after", "empty", "with", "indented"})
        EXPECT_EQ(show(list.characters(name)), kUnknown) << name;
    EXPECT_EQ(list.size(), 7u);
}

TEST(GlyphList, GlyphListLinesThatDoNotFitAreSkipped) {
    GlyphList list = GlyphList::parse(
        "# comment;0041\n"
        "good;0042\r\n"
        "lower;00e9\n"
        "short;041\n"
        "long;00041\n"
        "astral;1D6A5\n"
        "surrogate;D800\n"
        ";0043\n"
        "nosemicolon 0044\n"
        "pair;0044 0045\n"
        "badpair;0044 zz\n"
        "trailing;0046 \n"
        // Alternatives: the first one that is text.
        "choice;2206,0394\n"
        "invalidfirst;D802,0048\n"
        "noalternative;D802\n"
        "emptyalternative;,0049\n"
        "last;0047");
    const NameCase cases[] = {
        {"good", "", "B"},           {"pair", "", "DE"},          {"last", "", "G"},
        {"trailing", "", "F"},       {"astral", "", "\U0001D6A5"}, {"choice", "", "\u2206"},
        {"invalidfirst", "", "H"},   {"emptyalternative", "", "I"},
    };
    for (const NameCase& c : cases) EXPECT_EQ(show(list.characters(c.name)), c.text) << c.name;
    for (const char* name : {"lower", "short", "long", "surrogate", "nosemicolon", "badpair", "noalternative", "#"})
        EXPECT_EQ(show(list.characters(name)), kUnknown) << name;
    EXPECT_EQ(list.size(), 8u);
}

// A name keeps the characters of the first list that gives it any.
TEST(GlyphList, TheFirstListThatGivesANameDecides) {
    GlyphList list;
    list.addPdftexList("\\pdfglyphtounicode{ffi}{0066 0066 0069}\n\\pdfglyphtounicode{broken}{D800}\n");
    list.addGlyphList("ffi;FB03\nbroken;0042\nonlyadobe;0043\n");
    EXPECT_EQ(show(list.characters("ffi")), "ffi");
    // A line skipped in the first list leaves the name to the next one.
    EXPECT_EQ(show(list.characters("broken")), "B");
    EXPECT_EQ(show(list.characters("onlyadobe")), "C");
    // A later line that names alternatives overrules an earlier list that
    // gives none of them (a surrogate pair that is not U+1D7CB's); one that
    // gives one of them, or a line of one alternative, does not.
    list.addPdftexList(
        "\\pdfglyphtounicode{Digamma}{D875 DFCB}\n\\pdfglyphtounicode{second}{2329}\n"
        "\\pdfglyphtounicode{phi1}{03D5}\n");
    list.addGlyphList("Digamma;1D7CB,03DD\nsecond;27E8,2329\nphi1;03C6\n");
    EXPECT_EQ(show(list.characters("Digamma")), "\U0001D7CB");
    EXPECT_EQ(show(list.characters("second")), "\u2329");
    EXPECT_EQ(show(list.characters("phi1")), "\u03D5");
    // The Greek letter, when the list holds it under its own name.
    list.addGlyphList("Delta;2206\nDeltagreek;0394\nmu;00B5\n");
    EXPECT_EQ(show(list.characters("Delta")), "\u0394");
    EXPECT_EQ(show(list.characters("mu")), "\u00B5");
}

// Files that are no glyph lists: control characters, bytes beyond ASCII,
// a line of megabytes, no line ends at all. Nothing but text comes out.
TEST(GlyphList, FilesThatAreNoListsGiveNothingButText) {
    std::string hostile;
    for (int b = 0; b < 256; ++b) hostile += "\\pdfglyphtounicode{n" + std::to_string(b) + "}{00" +
                                             "0123456789ABCDEF"[b >> 4] + "0123456789ABCDEF"[b & 15] + "}\n";
    for (int b = 0; b < 256; ++b) hostile += "x" + std::string(1, static_cast<char>(b)) + "y;0041\n";
    hostile += std::string("nul\0name;0041\n", 14);
    hostile += "\\pdfglyphtounicode{huge}{" + std::string(3u << 20, 'A') + "}\n";
    hostile += "huge;" + std::string(1u << 20, '0') + "\n";
    hostile += std::string(1u << 20, 'n') + ";0041\n";
    hostile += "\\pdfglyphtounicode{many}{" + [] {
        std::string s;
        for (int i = 0; i < 17; ++i) s += "0041 ";
        return s;
    }() + "}\n";
    hostile += "\\pdfglyphtounicode{tab\tname}{0041}\n";
    hostile += "\\pdfglyphtounicode{nonewline}{0041}";
    GlyphList list;
    list.addPdftexList(hostile);
    list.addGlyphList(hostile);
    for (int b = 0; b < 256; ++b) {
        std::optional<std::u32string> chars = list.characters("n" + std::to_string(b));
        const bool text = b >= 0x20 && !(b >= 0x7F && b <= 0x9F);
        EXPECT_EQ(chars.has_value(), text) << b;
        if (chars) {
            EXPECT_EQ(*chars, std::u32string(1, static_cast<char32_t>(b)));
        }
        // Only printable ASCII makes a name; the separators of names and
        // lines aside.
        if (b == ';' || b == '.' || b == '_' || b == '\n') continue;
        EXPECT_EQ(list.characters("x" + std::string(1, static_cast<char>(b)) + "y").has_value(), b > 0x20 && b < 0x7F)
            << b;
    }
    for (const char* name : {"nul", "huge", "many", "tab", "tab\tname"})
        EXPECT_EQ(show(list.characters(name)), kUnknown) << name;
    EXPECT_EQ(show(list.characters(std::string(1u << 20, 'n'))), kUnknown);
    EXPECT_EQ(show(list.characters("nonewline")), "A");
    // The whole list holds text characters only.
    for (int b = 0; b < 256; ++b)
        if (std::optional<std::u32string> chars = list.characters("n" + std::to_string(b)))
            for (char32_t c : *chars) {
                EXPECT_TRUE(textCharacter(c));
            }
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
