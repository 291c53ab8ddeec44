// The SVG fonts file of real pages made by plain tex and latex, with the
// real font map, kpathsea, Type 1 fonts and Ghostscript: one font per font
// of the page, one glyph per code it sets, outlines and TFM advances, a
// glyph for every character of the document's text, and nothing else left
// behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include "document_text.h"
#include "fonts_parse.h"
#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "text/conv.h"

namespace morvex {
namespace {

using testing::documentChars;
using testing::filesIn;
using testing::readFile;
using testing::runProcess;
using testing::TempDir;
using testing::writeFile;

const std::string kDviDir = MORVEX_TEST_DVI_DIR;

struct PageCase {
    const char* file;
    int page;
};

class FontPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(FontPages, OneGlyphPerCodeOfThePageWithItsOutlineAndAdvance) {
    const PageCase& c = GetParam();
    const std::string dvi = kDviDir + "/" + c.file + ".dvi";
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    // A file of the user's that bears a font's name is neither read nor
    // changed nor removed.
    ASSERT_TRUE(writeFile(dir.file("cmr10"), "user's own file\n"));
    auto r = testing::runMorvex(dir.path, {"-p", std::to_string(c.page), dvi});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(filesIn(dir.path), (std::set<std::string>{"cmr10", "out.svg", "fonts.svg", "out.log"}));
    EXPECT_EQ(readFile(dir.file("cmr10")), "user's own file\n");

    auto lint = runProcess({"xmllint", "--noout", dir.file("fonts.svg")}, dir.path);
    EXPECT_EQ(lint.exitCode, 0) << lint.err.substr(0, 2000);
    EXPECT_EQ(lint.err, "");

    const std::string fontsText = readFile(dir.file("fonts.svg"));
    auto fonts = testing::parseSvgFonts(fontsText);
    auto expected = testing::dvitypeCodesByFont(dvi, c.page);
    ASSERT_FALSE(expected.empty());

    std::map<std::string, const testing::SvgFont*> byId;
    for (const auto& f : fonts) {
        EXPECT_TRUE(byId.emplace(f.id, &f).second) << "two fonts " << f.id;
        EXPECT_EQ(f.family, f.id);
    }
    std::set<std::string> ids, expectedIds;
    for (const auto& [id, f] : byId) ids.insert(id);
    for (const auto& [name, codes] : expected) expectedIds.insert(name);
    EXPECT_EQ(ids, expectedIds);

    for (const auto& [name, codes] : expected) {
        SCOPED_TRACE("font " + name);
        auto it = byId.find(name);
        if (it == byId.end()) continue;
        const testing::SvgFont& f = *it->second;
        EXPECT_EQ(f.unitsPerEm, 1000);
        auto widths = testing::tfmWidths(name);
        ASSERT_FALSE(widths.empty());
        std::map<std::string, int> codeOfUnicode;
        for (int code : codes) codeOfUnicode[testing::xmlUnescape(convCode(static_cast<unsigned char>(code)))] = code;
        ASSERT_EQ(f.glyphs.size(), codes.size());
        std::set<int> seen;
        for (const auto& g : f.glyphs) {
            auto cit = codeOfUnicode.find(g.unicode);
            ASSERT_NE(cit, codeOfUnicode.end()) << "glyph " << g.name << " for no code of the page";
            int code = cit->second;
            SCOPED_TRACE("code " + std::to_string(code) + " glyph " + g.name);
            EXPECT_TRUE(seen.insert(code).second);
            EXPECT_FALSE(g.d.empty());
            ASSERT_TRUE(widths.count(code));
            EXPECT_TRUE(g.hasAdvance);
            EXPECT_NEAR(g.advance, widths[code] * 1000.0, 1.0);
        }
    }

    // Every character of the document finds its glyph in the font of its span.
    std::map<std::string, std::set<std::string>> glyphTexts;
    for (const auto& f : fonts)
        for (const auto& g : f.glyphs) glyphTexts[f.id].insert(g.unicode);
    auto chars = documentChars(readFile(dir.file("out.svg")));
    EXPECT_FALSE(chars.empty());
    for (const auto& ch : chars)
        EXPECT_TRUE(glyphTexts[ch.font].count(testing::xmlUnescape(convCode(static_cast<unsigned char>(ch.code)))))
            << "code " << ch.code << " of font " << ch.font;
}

INSTANTIATE_TEST_SUITE_P(RealPages, FontPages,
                         ::testing::Values(PageCase{"hello", 1}, PageCase{"multi", 1}, PageCase{"multi", 2},
                                           PageCase{"multi", 3}, PageCase{"multi", 4}, PageCase{"longspecial", 1},
                                           PageCase{"longspecial", 2}),
                         [](const auto& info) {
                             return std::string(info.param.file) + "_page" + std::to_string(info.param.page);
                         });

// When the fonts file cannot be completed the run says so in its exit code
// (60 and the result), and leaves only its own files.
TEST(FontFailures, ExitCodesAndNothingLeftBehind) {
    struct Case {
        const char* what;
        std::string map;  // none: no map file
        bool hasMap;
        int exitCode;
        const char* message;
        bool fontsFile;
    };
    const Case cases[] = {
        {"no font map", "", false, 62, "SVG Fonts:Can not open MAP file ", false},
        {"a font missing from the map", "cmr7 CMR7 <cmr7.pfb\n", true, 63, "Mappings for cmr10 not founded.\n", false},
        {"Type 1 file not found", "cmr10 CMR10 <no-such-font-xyz.pfb\n", true, 65, "\nCan not find PFB font.\n", true},
    };
    const std::string dvi = kDviDir + "/hello.dvi";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::ConfigDir cfg(c.map);
        if (!c.hasMap) std::remove(cfg.dir.file("morvex.map").c_str());
        TempDir dir;
        auto r = testing::runMorvex(dir.path, {dvi}, {}, cfg.path());
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        std::set<std::string> want = {"out.svg", "out.log"};
        if (c.fontsFile) want.insert("fonts.svg");
        EXPECT_EQ(filesIn(dir.path), want);
    }
}

// The fonts of a page are extracted side by side, yet what Ghostscript
// prints for each stands in font order, after its own mark, as one run
// after the other would show it. A stand-in on PATH makes the first font
// the slowest, prints a line, notes when it starts and ends, then runs
// the real Ghostscript.
TEST(FontPagesSideBySide, GhostscriptOutputStaysInFontOrder) {
    TempDir bin, dir;
    const std::string events = bin.file("events");
    writeFile(bin.file("gs"),
              "#!/bin/sh\nfor a in \"$@\"; do case $a in -sFONTOUT=*) font=${a#-sFONTOUT=};; esac; done\n"
              "echo \"start $font\" >> " + events + "\n"
              "case $font in cmr10) sleep 1;; cmbx10) sleep 0.5;; esac\n"
              "echo \"end $font\" >> " + events + "\n"
              "echo \"gs says $font\"\nexec /usr/bin/gs \"$@\"\n");
    chmod(bin.file("gs").c_str(), 0755);
    testing::DviWriter w;
    w.pre("three").bop(1).fntdef(0, "cmr10").fntdef(1, "cmbx10").fntdef(2, "cmti10");
    w.b.u1(171).u1('A').u1(172).u1('B').u1(173).u1('C');
    w.eop().post().fntdef(0, "cmr10").fntdef(1, "cmbx10").fntdef(2, "cmti10").postpost();
    writeFile(dir.file("in.dvi"), w.str());
    std::vector<std::string> args = {"env", "PATH=" + bin.path + ":" + std::getenv("PATH")};
    for (const std::string& a : testing::morvexArgs({"in.dvi"})) args.push_back(a);
    auto r = runProcess(args, dir.path);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("SVG Fonts:*gs says cmr10\n*gs says cmbx10\n*gs says cmti10\n\nOpening file: fonts.svg (w).\n"
                         "SVG Fonts:***\n"),
              std::string::npos)
        << r.out;
    const std::string e = readFile(events);
    EXPECT_LT(e.find("start cmbx10"), e.find("end cmr10")) << e;
    const std::string log = readFile(dir.file("out.log"));
    EXPECT_LT(log.find("\nFnt:0\n"), log.find("\nFnt:1\n"));
    EXPECT_LT(log.find("\nFnt:1\n"), log.find("\nFnt:2\n"));
    const std::string fonts = readFile(dir.file("fonts.svg"));
    EXPECT_LT(fonts.find("<font id=\"cmr10\""), fonts.find("<font id=\"cmbx10\""));
    EXPECT_LT(fonts.find("<font id=\"cmbx10\""), fonts.find("<font id=\"cmti10\""));
}

}  // namespace
}  // namespace morvex
