// Pages as joined or hand-made files write them, through the built
// program in both documents: a font defined again after it was used, a
// preamble whose units are zero, colour pushes longer than any buffer,
// readable or not, and hypertex specials of any bytes, balance and length.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "hostile/checked_run.h"
#include "support/svg_walk.h"

namespace morvex::testing {
namespace {

// The glyph names of a font in the fonts file.
std::set<std::string> glyphNames(const std::string& fonts, const std::string& font) {
    std::set<std::string> names;
    const size_t start = fonts.find("<font id=\"" + font + "\"");
    const size_t end = fonts.find("</font>", start);
    if (start == std::string::npos || end == std::string::npos) return names;
    const std::string part = fonts.substr(start, end - start);
    static const std::regex kName("glyph-name=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(part.begin(), part.end(), kName); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

// Every use of the --paths document draws a path: none refers to an empty
// group (a glyph the fonts lacked) or to nothing.
void expectEveryUseDrawn(const std::string& svg) {
    std::set<std::string> paths;
    static const std::regex kPath("<path id=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kPath); it != std::sregex_iterator(); ++it)
        paths.insert((*it)[1]);
    static const std::regex kUse("<use xlink:href=\"#([^\"]+)\"");
    size_t uses = 0;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kUse); it != std::sregex_iterator(); ++it, ++uses)
        EXPECT_EQ(paths.count((*it)[1]), 1u) << "a use of " << (*it)[1] << " draws nothing";
    EXPECT_GT(uses, 0u);
}

// A font defined again with the same values, as files joined from several
// runs and some pages do, after characters were set in it: every glyph is
// kept, in the fonts file and in the --paths document; the trace shows
// each definition.
TEST(HostilePages, AFontDefinedAgainKeepsItsGlyphs) {
    struct Case {
        const char* what;
        std::string dvi;
        std::set<std::string> glyphs;
    };
    std::vector<Case> cases;
    {
        Bytes cmds = DviWriter().fntdef(0, "cmr10").b;
        cmds.u1(171).text("Hi");
        Bytes again = DviWriter().fntdef(0, "cmr10").b;
        cmds.data.insert(cmds.data.end(), again.data.begin(), again.data.end());
        cmds.text("A");
        cases.push_back({"on the same page", onePage(cmds, {{0, "cmr10"}}), {"H", "i", "A"}});
    }
    {
        // Page 1 twice, as two runs joined: the second defines the font
        // again and sets nothing.
        DviWriter w;
        w.pre("joined").bop(1).fntdef(0, "cmr10").b.u1(171).text("Hi");
        w.eop().bop(1).fntdef(0, "cmr10").eop();
        w.post().fntdef(0, "cmr10").postpost();
        cases.push_back({"on the next page of the same number", w.str(), {"H", "i"}});
    }
    {
        // Defined again on a page not converted.
        DviWriter w;
        w.pre("later").bop(1).fntdef(0, "cmr10").b.u1(171).text("Hi");
        w.eop().bop(2).fntdef(0, "cmr10").b.u1(171).text("B");
        w.eop().post().fntdef(0, "cmr10").postpost();
        cases.push_back({"on a later page", w.str(), {"H", "i"}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CheckedRun run(c.dvi);
        run.go({});
        EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
        EXPECT_TRUE(wellFormed(run.dir.file("fonts.svg")));
        EXPECT_EQ(glyphNames(run.file("fonts.svg"), "cmr10"), c.glyphs);
        EXPECT_EQ(count(run.file("out.log"), "\nFNT_DEF_1: k: 0,"), 3u);  // the postamble's and the pages' two

        CheckedRun paths(c.dvi);
        paths.go({"--paths"});
        EXPECT_EQ(paths.r.exitCode, 0) << paths.r.out;
        std::string why;
        EXPECT_TRUE(wellFormed(paths.dir.file("out.svg"), &why)) << why;
        expectEveryUseDrawn(paths.file("out.svg"));
    }
}

// A preamble whose num or den is 0 would make every size and position
// infinite: the file is refused as one without a preamble, in both
// documents.
TEST(HostilePages, APreambleWithAZeroUnitIsRefused) {
    for (const auto& [num, den] : {std::pair<uint32_t, uint32_t>{25400000, 0}, {0, 473628672}, {0, 0}}) {
        SCOPED_TRACE(std::to_string(num) + "/" + std::to_string(den));
        DviWriter w;
        w.pre("zero", num, den).bop(1).fntdef(0, "cmr10").b.u1(171).text("Hi");
        w.eop().post().fntdef(0, "cmr10").postpost();
        for (const char* mode : {"", "--paths"}) {
            CheckedRun run(w.str());
            run.go(std::string(mode).empty() ? std::vector<std::string>{} : std::vector<std::string>{mode});
            EXPECT_EQ(run.r.exitCode, 15) << mode << run.r.out;
            EXPECT_TRUE(endsWith(run.r.out, "\nCan not find DVI_PRE.\n")) << mode << run.r.out;
            const std::string svg = run.file("out.svg");
            EXPECT_EQ(svg.find("inf"), std::string::npos) << svg;
            EXPECT_EQ(svg.find("nan"), std::string::npos) << svg;
            // The default document stops after its head, as for any file
            // without a preamble; the --paths one is closed.
            if (std::string(mode) == "--paths") {
                EXPECT_TRUE(wellFormed(run.dir.file("out.svg"))) << svg;
            }
            EXPECT_TRUE(run.tmpEmpty());
        }
    }
}

// Colour pushes of more than 4096 bytes count whole: a readable one sets
// its colour, one that cannot be read pushes the colour in force, so that
// every pop takes back its own push.
TEST(HostilePages, LongColourPushesKeepTheStackInStep) {
    const std::string readable = "color push rgb 0 0 1" + std::string(6000, ' ');
    const std::string unreadable = "color push " + std::string(5000, 'x');
    Bytes cmds;
    const auto rule = [&cmds] { cmds.u1(137).u4(65536).u4(65536); };
    const auto special = [&cmds](const std::string& text) {
        cmds.u1(242).u4(static_cast<uint32_t>(text.size())).text(text);
    };
    rule();  // black
    special(readable);
    rule();  // blue
    special(unreadable);
    rule();  // still blue
    special("color pop");
    rule();  // blue: the pop took back the unreadable push
    special("color pop");
    rule();  // black
    CheckedRun run(onePage(cmds));
    run.go({"--paths"});
    EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
    EXPECT_EQ(ruleFills(run.file("out.svg")),
              (std::vector<std::string>{"#000000", "#0000ff", "#0000ff", "#0000ff", "#000000"}));
    EXPECT_NE(run.file("out.log").find("unreadable color, the color in force kept: color push xxx"), std::string::npos);
    EXPECT_TRUE(wellFormed(run.dir.file("out.svg")));
}

size_t occurrences(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

// Link specials around rules (no font, so no Ghostscript): targets and
// names of every byte, ends with nothing open, links in links, a link over
// thousands of lines with a long target, and one open at the page's end.
// The run converts the page, writes a
// well-formed document of a bounded size and tells each refused address
// once.
TEST(HostilePages, HypertexSpecialsOfAnyBytesBalanceAndLength) {
    std::string every;
    for (int b = 1; b < 256; ++b)
        if (b != '"') every += static_cast<char>(b);
    const std::string longTarget = "http://x.org/" + std::string(200000, 'q');
    Bytes cmds;
    const auto special = [&cmds](const std::string& text) {
        cmds.u1(242).u4(static_cast<uint32_t>(text.size())).text(text);
    };
    const auto ruleBelow = [&cmds] {
        cmds.u1(160).u4(20 * 65536);  // down 20pt
        cmds.u1(137).u4(65536).u4(65536);
    };
    special("html:</a>");
    special("html:<a name=\"" + every + "\">");
    special("html:<a href=\"#" + every + "\">");
    ruleBelow();
    special("html:<a href=\"" + every + "\">");  // ends the one open; refused
    ruleBelow();
    for (int i = 0; i < 50; ++i) special("html:<a name=\"n\">");
    special("html:<a href=\"" + longTarget + "\">");
    for (int line = 0; line < 3000; ++line) ruleBelow();
    for (int i = 0; i < 60; ++i) special("html:</a>");
    special("HTML:<A HREF=\"JaVaScRiPt:x\">");
    ruleBelow();
    special("html:<a href=\"http://open.example/\">");  // open at the page's end
    ruleBelow();
    CheckedRun run(onePage(cmds));
    run.go({"--paths"});
    EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
    std::string why;
    EXPECT_TRUE(wellFormed(run.dir.file("out.svg"), &why)) << why;
    const std::string svg = run.file("out.svg");
    EXPECT_LT(svg.size(), 4 * longTarget.size()) << "the long target is written once";
    EXPECT_EQ(occurrences(svg, "<a href=\"" + longTarget + "\""), 1u);
    EXPECT_EQ(occurrences(svg, "<a href=\"http://open.example/\""), 1u);
    EXPECT_EQ(occurrences(svg, "<a href=\"#mvx-in_-"), 1u);
    EXPECT_EQ(occurrences(run.r.err, "is left out"), 2u) << run.r.err;
}

}  // namespace
}  // namespace morvex::testing
#include "support/svg_walk.h"
