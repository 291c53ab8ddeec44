// The PostScript program on fonts that the font map re-encodes, slants or
// extends, run as morvex runs it: each code's glyph is the one its
// encoding vector names, checked against the same name drawn from the
// font by a separate Ghostscript run and against the TeX metrics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fonts_parse.h"
#include "support/bytes.h"
#include "support/process.h"
#include "fonts/psmap.h"
#include "text/conv.h"
#include "tarnevik_run.h"

namespace morvex {
namespace {

using testing::drawByName;
using testing::encodingNames;
using testing::FontRun;
using testing::kpseFind;
using testing::parsePath;
using testing::readFile;
using testing::runFont;
using testing::samePath;
using testing::TempDir;
using testing::writeFile;

// Program output is rounded to hundredths.
constexpr double kRounding = 0.006;

double fontAdvance(const std::string& markup) {
    return std::strtod(testing::attribute(markup.substr(0, markup.find('>')), "horiz-adv-x").c_str(), nullptr);
}

struct EncodedCase {
    const char* what;
    const char* pfb;
    const char* enc;
    const char* tfm;
    std::vector<std::pair<int, const char*>> named;  // codes whose name the vector must give
};

TEST(TarnevikEncodingVector, EachCodeGetsTheGlyphItsVectorNames) {
    const EncodedCase cases[] = {
        {"Latin Modern, EC vector (ec-lmr10)",
         "lmr10.pfb",
         "lm-ec.enc",
         "ec-lmr10",
         {{0x0A, "dotaccent"}, {0x10, "quotedblleft"}, {0x15, "endash"}, {0x1B, "ff"}, {0x1F, "ffl"},
          {0xA1, "aogonek"}, {0xDF, "Germandbls"}}},
        {"CM-Super, T1 vector (ecrm1000)",
         "sfrm1000.pfb",
         "cm-super-t1.enc",
         "ecrm1000",
         {{0x10, "quotedblleft"}, {0x11, "quotedblright"}, {0x15, "endash"}, {0x16, "emdash"}, {0x1B, "ff"},
          {0x1C, "fi"}, {0x1D, "fl"}, {0x1E, "ffi"}, {0x1F, "ffl"}, {0x22, "quotedbl"}, {0x81, "Aogonek"},
          {0xA1, "aogonek"}, {0xA3, "ccaron"}, {0xAA, "lslash"}, {0xB9, "zacute"}}},
        // Many TS1 names are missing from this font: .notdef glyphs.
        {"CM-Super, TS1 vector (tcrm1000)",
         "sfrm1000.pfb",
         "cm-super-ts1.enc",
         "tcrm1000",
         {{0x15, "twelveudash"}, {0x24, "dollar"}, {0x27, "quotesingle"}, {0x2A, "asteriskmath"}, {0xA9, "copyright"}, {0xBF, "Euro"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string pfb = kpseFind(c.pfb);
        const std::string enc = kpseFind(c.enc);
        ASSERT_FALSE(pfb.empty());
        ASSERT_FALSE(enc.empty());
        const std::vector<std::string> names = encodingNames(enc);
        ASSERT_EQ(names.size(), 256u);
        for (const auto& [code, name] : c.named) EXPECT_EQ(names[code], name) << "code " << code;

        auto r = runFont(dir.path, {pfb, dir.file("out"), testing::codeRange(0, 255), enc, {"-dSLANT=0", "-dEXTEND=1"}});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        const std::string markup = readFile(dir.file("out"));
        auto fonts = testing::parseSvgFonts(markup);
        ASSERT_EQ(fonts.size(), 1u);
        ASSERT_EQ(fonts[0].glyphs.size(), 256u);

        const auto byName = drawByName(dir.path, pfb, names);
        ASSERT_EQ(byName.size(), 256u);
        const auto widths = testing::tfmWidths(c.tfm);
        ASSERT_FALSE(widths.empty());
        double widest = 0;
        int known = 0;
        for (int code = 0; code < 256; ++code) {
            SCOPED_TRACE("code " + std::to_string(code) + " " + names[code]);
            const auto& g = fonts[0].glyphs[code];
            const auto& want = byName[code];
            known += want.known;
            EXPECT_EQ(g.name, want.known ? names[code] : ".notdef");
            EXPECT_EQ(g.unicode, testing::xmlUnescape(convCode(static_cast<unsigned char>(code))));
            EXPECT_TRUE(samePath(parsePath(g.d), want.path, kRounding)) << g.d;
            EXPECT_NEAR(g.advance, want.advance, kRounding);
            if (want.known && widths.count(code) != 0) {
                EXPECT_NEAR(g.advance, widths.at(code) * 1000.0, 1.0);
            }
            // Every named glyph that takes room shows something.
            if (want.known && names[code] != ".notdef" && g.advance != 0) {
                EXPECT_FALSE(g.d.empty());
            }
            widest = std::max(widest, g.advance);
        }
        EXPECT_GT(known, 100);
        EXPECT_DOUBLE_EQ(fontAdvance(markup), widest);
    }
}

struct TransformCase {
    std::string what;
    std::string pfb;  // the Type 1 file's path
    std::string enc;  // the encoding file's path; "" for the font's own Encoding
    std::string slant;
    std::string extend;
};

bool mapComment(const std::string& line) { return line.empty() || std::strchr("%#;*", line[0]) != nullptr; }

// The first line of the font map that extends (or only slants) a font
// whose Type 1 file, and encoding file if the line names one, the TeX
// installation holds. Which line that is depends on the installation.
std::optional<TransformCase> firstTransformedFont(const std::string& map, bool extended) {
    size_t start = 0;
    while (start < map.size()) {
        size_t nl = map.find('\n', start);
        const std::string line = map.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        start = nl == std::string::npos ? map.size() : nl + 1;
        if (mapComment(line)) continue;
        MapEntry e;
        psmapTokens(line, e.fntDvi, e.fntPs);
        e.fntPfb = psmapPfb(line);
        psmapReencoding(line, e);
        const bool wanted = extended ? !e.extend.empty() && std::stod(e.extend) != 1.0
                                     : e.extend.empty() && !e.slant.empty() && std::stod(e.slant) != 0.0;
        if (!wanted || e.fntPfb.empty()) continue;
        TransformCase c{"map line of " + e.fntDvi, kpseFind(e.fntPfb), "", e.slant.empty() ? "0" : e.slant,
                        e.extend.empty() ? "1" : e.extend};
        if (!e.encFile.empty()) c.enc = kpseFind(e.encFile);
        if (!c.pfb.empty() && (e.encFile.empty() || !c.enc.empty())) return c;
    }
    return std::nullopt;
}

// TeX's metrics of the transformed font made as dvips's afm2tfm makes them
// for such a map line, from the plain font's own widths: each advance is
// EXTEND times the width, rounded to a whole unit (a slant leaves it).
// Empty when afm2tfm fails.
std::map<int, double> afm2tfmWidths(const TempDir& dir, const std::vector<testing::SvgGlyph>& plain,
                                    const std::string& slant, const std::string& extend) {
    std::string afm = "StartFontMetrics 2.0\nFontName Plain\nItalicAngle 0\nStartCharMetrics " +
                      std::to_string(plain.size()) + "\n";
    for (size_t code = 0; code < plain.size(); ++code) {
        char line[96];
        std::snprintf(line, sizeof line, "C %zu ; WX %.2f ; N g%zu ; B 0 0 0 0 ;\n", code, plain[code].advance, code);
        afm += line;
    }
    afm += "EndCharMetrics\nEndFontMetrics\n";
    if (!writeFile(dir.file("plain.afm"), afm)) return {};
    auto r = testing::runProcess({"afm2tfm", "plain.afm", "-e", extend, "-s", slant, "moved.tfm"}, dir.path);
    if (r.exitCode != 0) return {};
    return testing::tfmFileWidths(dir.file("moved.tfm"));
}

// The outline is [EXTEND 0 SLANT 1 0 0] applied to the plain one: x' =
// EXTEND x + SLANT y, y' = y; the advance is EXTEND times the plain one.
// A font the map extends and one it slants are taken from the map as the
// installation has them; the fixed cases hold on every installation.
TEST(TarnevikEncodingVector, SlantAndExtendTransformOutlinesAndAdvances) {
    std::vector<TransformCase> cases = {
        {"cmr10 extended", kpseFind("cmr10.pfb"), "", "0", "1.2"},
        {"ec-lmr10 slanted back and condensed", kpseFind("lmr10.pfb"), kpseFind("lm-ec.enc"), "-0.25", "0.8"},
    };
    const std::string map = readFile(std::string(MORVEX_TEST_CONFIG_DIR) + "/morvex.map");
    for (bool extended : {true, false})
        if (auto c = firstTransformedFont(map, extended)) cases.push_back(*c);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what + " (" + c.pfb + ", SLANT " + c.slant + ", EXTEND " + c.extend + ")");
        TempDir dir;
        ASSERT_FALSE(c.pfb.empty());
        const std::string codes = testing::codeRange(0, 255);
        auto plainRun = runFont(dir.path, {c.pfb, dir.file("plain"), codes, c.enc, {}});
        auto slantRun = runFont(dir.path, {c.pfb, dir.file("moved"), codes, c.enc,
                                           {"-dSLANT=" + c.slant, "-dEXTEND=" + c.extend}});
        ASSERT_EQ(plainRun.exitCode, 0) << plainRun.out;
        ASSERT_EQ(slantRun.exitCode, 0) << slantRun.out;
        const std::string movedMarkup = readFile(dir.file("moved"));
        auto plain = testing::parseSvgFonts(readFile(dir.file("plain")));
        auto moved = testing::parseSvgFonts(movedMarkup);
        ASSERT_EQ(plain.size(), 1u);
        ASSERT_EQ(moved.size(), 1u);
        ASSERT_EQ(moved[0].glyphs.size(), 256u);
        ASSERT_EQ(plain[0].glyphs.size(), 256u);
        const double slant = std::stod(c.slant);
        const double extend = std::stod(c.extend);
        // afm2tfm rounds EXTEND w to a whole unit; both runs write
        // hundredths, the afm file too; tftopl shows six decimals of the
        // design size.
        const double tfmBound = 0.5 + 0.005 * (1 + 2 * extend) + 0.001;
        const auto widths = afm2tfmWidths(dir, plain[0].glyphs, c.slant, c.extend);
        ASSERT_FALSE(widths.empty());
        double widest = 0;
        for (int code = 0; code < 256; ++code) {
            SCOPED_TRACE("code " + std::to_string(code));
            const auto& p = plain[0].glyphs[code];
            const auto& m = moved[0].glyphs[code];
            EXPECT_EQ(m.name, p.name);
            EXPECT_EQ(m.unicode, p.unicode);
            auto want = parsePath(p.d);
            for (auto& op : want)
                for (size_t k = 0; k + 1 < op.v.size(); k += 2) op.v[k] = extend * op.v[k] + slant * op.v[k + 1];
            // Both sides rounded, the plain one then scaled.
            EXPECT_TRUE(samePath(parsePath(m.d), want, 0.02)) << m.d;
            EXPECT_NEAR(m.advance, extend * p.advance, 0.02);
            ASSERT_EQ(widths.count(code), 1u);
            EXPECT_NEAR(m.advance, widths.at(code) * 1000.0, tfmBound);
            widest = std::max(widest, m.advance);
        }
        EXPECT_DOUBLE_EQ(fontAdvance(movedMarkup), widest);
    }
}

TEST(TarnevikEncodingVector, ANameTheFontLacksGivesItsNotdefGlyph) {
    TempDir dir;
    std::string vector = "% A made-up name at code 1.\n/TestEncoding [ /A /nosuchglyphinthisfont /B\n";
    for (int i = 3; i < 256; ++i) vector += "/.notdef\n";
    vector += "] def\n";
    ASSERT_TRUE(writeFile(dir.file("test.enc"), vector));
    const std::string pfb = kpseFind("cmr10.pfb");
    auto r = runFont(dir.path, {pfb, dir.file("out"), "0 1 2", dir.file("test.enc"), {"-dSLANT=0", "-dEXTEND=1"}});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    auto fonts = testing::parseSvgFonts(readFile(dir.file("out")));
    ASSERT_EQ(fonts.size(), 1u);
    ASSERT_EQ(fonts[0].glyphs.size(), 3u);
    const auto byName = drawByName(dir.path, pfb, {"A", ".notdef", "B"});
    ASSERT_EQ(byName.size(), 3u);
    const char* expected[] = {"A", ".notdef", "B"};
    for (int code = 0; code < 3; ++code) {
        SCOPED_TRACE(code);
        const auto& g = fonts[0].glyphs[code];
        EXPECT_EQ(g.name, expected[code]);
        EXPECT_EQ(g.unicode, testing::xmlUnescape(convCode(static_cast<unsigned char>(code))));
        EXPECT_TRUE(samePath(parsePath(g.d), byName[code].path, kRounding)) << g.d;
        EXPECT_NEAR(g.advance, byName[code].advance, kRounding);
    }
    EXPECT_FALSE(fonts[0].glyphs[0].d.empty());
}

// The encoding file is data: whatever else it holds is refused, never run.
TEST(TarnevikEncodingVector, BadParametersGiveNoOutput) {
    std::string names;
    for (int i = 0; i < 256; ++i) names += "/a" + std::to_string(i) + " ";
    struct Case {
        const char* what;
        std::string vector;  // contents of the encoding file; "-" for none
        std::vector<std::string> args;
        bool permitted = true;
    };
    const std::string ok = "/E [ " + names + "] def\n";
    const Case cases[] = {
        {"255 names", "/E [ " + names.substr(0, names.rfind("/a255")) + "] def\n", {}},
        {"257 names", "/E [ " + names + "/x ] def\n", {}},
        {"two arrays", ok + ok, {}},
        {"a number among the names", "/E [ 1 " + names.substr(names.find("/a1 ")) + "] def\n", {}},
        {"a string among the names", "/E [ (a) " + names.substr(names.find("/a1 ")) + "] def\n", {}},
        {"an executable name among the names", "/E [ a " + names.substr(names.find("/a1 ")) + "] def\n", {}},
        {"a procedure instead of the array", "/E { " + names + "} def\n", {}},
        {"no def", "/E [ " + names + "]\n", {}},
        {"code after the definition", ok + "(executed) print flush\n", {}},
        {"code before the definition", "(executed) print flush\n" + ok, {}},
        {"an unbalanced bracket", "/E [ " + names + "] ] def\n", {}},
        {"not PostScript", "/E [ " + names + ") def\n", {}},
        {"an empty file", "", {}},
        {"a missing file", "-", {}},
        {"a file not permitted", ok, {}, false},
        {"SLANT as a string", ok, {"-sSLANT=0.1"}},
        {"SLANT as a name", ok, {"-dSLANT=/x"}},
        {"EXTEND as a string", ok, {"-sEXTEND=1"}},
        {"EXTEND 0", ok, {"-dEXTEND=0"}},
        {"EXTEND 0.0", ok, {"-dEXTEND=0.0"}},
        {"SLANT too large", ok, {"-dSLANT=1e30"}},
        {"SLANT infinite", ok, {"-dSLANT=inf"}},
        {"EXTEND not a number", ok, {"-dEXTEND=nan"}},
        {"EXTEND beyond the numbers", ok, {"-dEXTEND=1e39"}},
        {"ENCVECFILE as a number", ok, {"-dENCVECFILE=3"}},
    };
    const std::string pfb = kpseFind("cmr10.pfb");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (c.vector != "-") {
            ASSERT_TRUE(writeFile(dir.file("v.enc"), c.vector));
        }
        FontRun run{pfb, dir.file("out"), "65 66", dir.file("v.enc"), c.args, c.permitted};
        auto r = testing::runFont(dir.path, run);
        EXPECT_NE(r.exitCode, 0) << r.out;
        EXPECT_EQ(std::fopen(dir.file("out").c_str(), "rb"), nullptr);
        EXPECT_EQ(r.out.find("executed"), std::string::npos) << r.out;
    }
    // The good vector passes: the cases fail for their own reason.
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("v.enc"), ok));
    auto r = testing::runFont(dir.path, {pfb, dir.file("out"), "65 66", dir.file("v.enc"), {}});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    auto fonts = testing::parseSvgFonts(readFile(dir.file("out")));
    ASSERT_EQ(fonts.size(), 1u);
    ASSERT_EQ(fonts[0].glyphs.size(), 2u);
    EXPECT_EQ(fonts[0].glyphs[0].name, ".notdef");
}

}  // namespace
}  // namespace morvex
