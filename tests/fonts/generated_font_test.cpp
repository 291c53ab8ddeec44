// What the glyph program writes, read into records and written again: the
// text of real fonts comes back byte for byte, a font made from the whole
// font for some codes is what a run for those codes writes, and anything
// that is not exactly such a font is refused.
#include "fonts/generated_font.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"
#include "tarnevik_run.h"

namespace morvex {
namespace {

using testing::codeSet;
using testing::generated;
using testing::symbols;
using testing::kpseFind;
using testing::readFile;
using testing::TempDir;

const std::bitset<256> kAll = std::bitset<256>().set();

// The parts made from the whole font are the runs for the codes alone, the
// font's default advance included: the widest of the codes wanted, 0 when
// none is wider than 0 (cmsy10's code 54 is 0 wide), none for no code. The
// records write the program's text again byte for byte.
TEST(GeneratedFont, AFontForSomeCodesIsTheRunForThoseCodes) {
    TempDir dir;
    struct Case {
        const char* font;
        std::vector<int> codes;
        std::string encVec;
    };
    const Case cases[] = {
        {"cmr10", {65, 66, 72}, ""},
        {"cmr10", {}, ""},
        {"cmr10", {0, 127, 128, 255}, ""},
        {"cmsy10", {54}, ""},
        {"cmsy10", {54, 20, 0}, ""},
        {"lmr10", {0x1C, 0xA1, 0xF3, 0x2D}, kpseFind("lm-ec.enc")},
    };
    std::map<std::string, GeneratedFont> wholes;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.font) + " " + symbols(codeSet(c.codes)));
        const std::string key = std::string(c.font) + c.encVec;
        if (wholes.count(key) == 0) {
            const std::string text = generated(dir, c.font, kAll, c.encVec);
            std::optional<GeneratedFont> whole = parseGeneratedFont(text, kAll);
            ASSERT_TRUE(whole) << text.substr(0, 300);
            EXPECT_EQ(generatedFontText(*whole), text);
            wholes[key] = *whole;
        }
        const std::string run = generated(dir, c.font, codeSet(c.codes), c.encVec);
        EXPECT_EQ(generatedFontText(fontForCodes(wholes[key], codeSet(c.codes))), run);
        std::optional<GeneratedFont> alone = parseGeneratedFont(run, codeSet(c.codes));
        ASSERT_TRUE(alone);
        EXPECT_EQ(generatedFontText(*alone), run);
    }
    const GeneratedFont& cmr10 = wholes["cmr10"];
    ASSERT_EQ(cmr10.glyphs.size(), 256u);
    ASSERT_NE(cmr10.glyph(65), nullptr);
    EXPECT_EQ(cmr10.glyph(65)->name, "A");
    EXPECT_EQ(cmr10.glyph(65)->text, "A");
    EXPECT_EQ(cmr10.glyph(65)->advance.value, 750);
    EXPECT_EQ(cmr10.glyph(38)->text, "&");
    EXPECT_EQ(cmr10.unitsPerEm.value, 1000);
}

// A small font as the program writes it, whose lines the cases below spoil.
const std::string kFont =
    "<font id=\"f&amp;1\" horiz-adv-x=\"500\">\n"
    "<font-face font-family=\"f&amp;1\" units-per-em=\"1000\" ascent=\"750\" descent=\"-2.5\"/>\n"
    "<glyph unicode=\"&lt;\" glyph-name=\"less\" horiz-adv-x=\"500\" d=\"M1 2L3.5 -4C1 2 3 4 5 6Z\"/>\n"
    "<glyph unicode=\"\xC3\xA9\" glyph-name=\".notdef\" horiz-adv-x=\"1.0e+06\" d=\"\"/>\n"
    "</font>\n";

TEST(GeneratedFont, ReadsAndWritesTheProgramsForm) {
    std::optional<GeneratedFont> f = parseGeneratedFont(kFont, codeSet({60, 233}));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->id, "f&1");
    EXPECT_EQ(f->descent.value, -2.5);
    ASSERT_EQ(f->glyphs.size(), 2u);
    EXPECT_EQ(f->glyphs[0].code, 60);
    EXPECT_EQ(f->glyphs[0].text, "<");
    EXPECT_EQ(f->glyphs[1].code, 233);
    EXPECT_EQ(f->glyphs[1].advance.value, 1e6);
    EXPECT_EQ(f->glyph(61), nullptr);
    EXPECT_EQ(generatedFontText(*f), kFont);
    // The widest wanted glyph gives the default advance, as written.
    EXPECT_EQ(fontForCodes(*f, codeSet({233})).defaultAdvance.text, "1.0e+06");
    EXPECT_EQ(fontForCodes(*f, codeSet({})).defaultAdvance.text, "0");
}

// Whatever is not exactly the program's form is refused, so that nothing
// else reaches a document.
TEST(GeneratedFont, AnythingElseIsRefused) {
    const auto spoil = [](const std::string& from, const std::string& to) {
        std::string s = kFont;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"no final newline", kFont.substr(0, kFont.size() - 1)},
        {"cut short", kFont.substr(0, kFont.size() / 2)},
        {"a glyph too few", spoil("<glyph unicode=\"&lt;\" glyph-name=\"less\" horiz-adv-x=\"500\" d=\"M1 2L3.5 -4C1 2 3 4 5 6Z\"/>\n", "")},
        {"markup in a text", spoil("&lt;", "<")},
        {"markup in an id", spoil("f&amp;1\" horiz", "f\"/><script>\" horiz")},
        {"unknown escape", spoil("&lt;", "&#60;")},
        {"control character", spoil("&lt;", "\x01")},
        {"not UTF-8", spoil("\xC3\xA9", "\xC3")},
        {"markup in a path", spoil("M1 2L", "M1 2\"/><x L")},
        {"letters in a path", spoil("M1 2L", "M1 2Q")},
        {"a word for a number", spoil("units-per-em=\"1000\"", "units-per-em=\"many\"")},
        {"a sign alone", spoil("descent=\"-2.5\"", "descent=\"-\"")},
        {"a name with markup", spoil("glyph-name=\"less\"", "glyph-name=\"le<ss\"")},
        {"an attribute more", spoil("<font-face font-family", "<font-face onload=\"x\" font-family")},
        {"another last line", spoil("</font>", "</fonts>")},
    };
    for (const auto& [what, text] : cases) EXPECT_FALSE(parseGeneratedFont(text, codeSet({60, 233}))) << what;
    EXPECT_FALSE(parseGeneratedFont(kFont, codeSet({60}))) << "a glyph too many";
}

// The codes whose re-encoding names a glyph the font lacks, and only those.
TEST(GeneratedFont, NotdefLinesNameTheGlyphsTheFontLacks) {
    std::optional<GeneratedFont> f = parseGeneratedFont(kFont, codeSet({60, 233}));
    ASSERT_TRUE(f);
    EncodingVector names;
    names.fill(".notdef");
    names[60] = "less";
    names[233] = "eacute\x7F";
    EXPECT_EQ(notdefTrace(*f, names), "\nnotdef: code 233 names /eacute\\x7F, which the font does not have\n");
    names[233] = ".notdef";
    EXPECT_EQ(notdefTrace(*f, names), "");
}

}  // namespace
}  // namespace morvex
