// The pages of a --paths run as documents: each in a document of its own
// holding only its glyphs, the same bytes as the page converted alone, and
// each in its box: the postamble's, the ink's, the paper's or the preview
// package's, with its baseline at y = 0 and its dimensions told.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/paths_harness.h"

namespace morvex {
namespace {

using testing::Events;
using testing::PathsHarness;
using testing::readFile;

GeneratedFont outlines(std::vector<std::pair<int, const char*>> glyphs) {
    std::vector<testing::GlyphSpec> specs;
    for (const auto& [code, d] : glyphs) specs.push_back({code, "g", d});
    return testing::fontOf(specs);
}

std::vector<std::string> matches(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) found.push_back((*it)[1]);
    return found;
}

std::string rootOf(const std::string& svg) {
    std::smatch m;
    return std::regex_search(svg, m, std::regex(R"(<svg [^>]*>)")) ? m.str() : "";
}

// Three pages: a and b in font f on the first, c in font g on the second,
// b again on the third; the second carries a colour.
void threePages(Events& e, std::vector<uint64_t> positions = {1, 2, 3}) {
    const FontDef* f = e.font(0, "f", 10);
    const FontDef* g = e.font(1, "g", 12);
    for (uint64_t p : positions) {
        e.bop(static_cast<int32_t>(p * 10), p);
        e.sink.fontSelect(p == 2 ? 1 : 0);
        if (p == 1) e.word(f, "ab", 10, 20);
        if (p == 2) {
            e.special("color push rgb 0 0 1");
            e.word(g, "c", 30, 40);
            e.special("color pop");
            e.rule(5, 50, 2, 20);
        }
        if (p == 3) e.word(f, "b", 10, 20);
        e.sink.pageEnd();
    }
}

std::map<std::string, GeneratedFont> threeFonts() {
    return {{"f", outlines({{'a', "M0 0L500 0L500 500Z"}, {'b', "M0 0L400 0L400 700Z"}})},
            {"g", outlines({{'c', "M0 -200L300 -200L300 400Z"}})}};
}

TEST(PathsPages, EachPageInItsOwnDocumentWithOnlyItsGlyphs) {
    PathsHarness all;
    all.outlines = threeFonts();
    all.pattern = "page-%p.svg";
    all.frame = PathsHarness::frameOf(100, 200, {10, 20, 30});
    EXPECT_EQ(all.run([](Events& e) { threePages(e); }), "");
    ASSERT_TRUE(all.closed);
    const std::string pages[] = {readFile(all.dir.file("page-1.svg")), readFile(all.dir.file("page-2.svg")),
                                 readFile(all.dir.file("page-3.svg"))};
    EXPECT_EQ(matches(pages[0], R"re(<path id="([^"]*)")re"), (std::vector<std::string>{"mvx-f-97", "mvx-f-98"}));
    EXPECT_EQ(matches(pages[1], R"re(<path id="([^"]*)")re"), (std::vector<std::string>{"mvx-g-99"}));
    EXPECT_EQ(matches(pages[2], R"re(<path id="([^"]*)")re"), (std::vector<std::string>{"mvx-f-98"}));
    // The colour stack runs on from page to page, the boxes are each page's.
    EXPECT_NE(pages[1].find("<g fill=\"#0000ff\">"), std::string::npos);
    EXPECT_EQ(pages[2].find("#0000ff"), std::string::npos);
    for (const std::string& page : pages) EXPECT_NE(rootOf(page).find("viewBox=\"0 0 172.27 272.27\""), std::string::npos);
    EXPECT_EQ(all.out, "\nwidth=172.270000pt, height=272.270000pt, depth=0.000000pt\n"
                           "\nwidth=172.270000pt, height=272.270000pt, depth=0.000000pt\n"
                           "\nwidth=172.270000pt, height=272.270000pt, depth=0.000000pt\n");

    // Each page's document is byte for byte the document of that page
    // converted alone.
    for (uint64_t p : {1, 2, 3}) {
        PathsHarness alone;
        alone.outlines = threeFonts();
        alone.frame = all.frame;
        const std::string svg = alone.run([&](Events& e) { threePages(e, {p}); });
        EXPECT_EQ(svg, pages[p - 1]) << "page " << p;
    }
}

TEST(PathsPages, TheInkBoxHoldsTheOutlinesNotTheirControlPoints) {
    PathsHarness p;
    p.kind = BoxKind::Min;
    // An arch whose control points rise to 1000 units, its curve to 750; a
    // 10pt glyph at (10, 20) and the same at (50, 30); a rule further down.
    p.outlines = {{"f", outlines({{'a', "M0 0C0 1000 1000 1000 1000 0Z"}})}};
    p.run([](Events& e) {
        const FontDef* f = e.font(0, "f", 10);
        e.bop(1);
        e.chr(f, 'a', 10, 20);
        e.chr(f, 'a', 50, 30);
        e.rule(20, 60, 2, 5);
        e.sink.pageEnd();
    });
    // x from 10 to 60, y from 20 - 7.5 to 60, all one inch in.
    EXPECT_EQ(p.out, "\nwidth=50.000000pt, height=47.500000pt, depth=0.000000pt\n");
    EXPECT_NE(p.trace.find("Paths: page 1 at position 1: 2 glyphs, 1 rules"), std::string::npos);

    PathsHarness empty;
    empty.kind = BoxKind::Min;
    const std::string svg = empty.run([](Events& e) {
        e.bop(1);
        e.sink.pageEnd();
    });
    EXPECT_NE(rootOf(svg).find("viewBox=\"72.27 72.27 0 0\""), std::string::npos) << rootOf(svg);
}

TEST(PathsPages, ThePreviewBoxPutsTheBaselineAtZero) {
    PathsHarness p;
    p.outlines = {{"f", outlines({{'a', "M0 0L500 0L500 500Z"}})}};
    // 10pt high, 3pt deep, 50pt wide, grown by 1pt left and right, 2pt
    // below and 3pt above.
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "f", 10);
        e.bop(1);
        e.special("ps::-65536 -131072 65536 196608 655360 196608 3276800");
        e.chr(f, 'a', 0, 0);
        e.sink.pageEnd();
    });
    const std::string root = rootOf(svg);
    EXPECT_NE(root.find("viewBox=\"-1 -13 52 18\""), std::string::npos) << root;
    EXPECT_NE(root.find("width=\"51.805729pt\" height=\"17.932752pt\""), std::string::npos) << root;
    EXPECT_NE(root.find(" style=\"vertical-align:-4.98132pt\""), std::string::npos) << root;
    // The glyph at the DVI origin stands at (0, 0).
    EXPECT_NE(svg.find("<use xlink:href=\"#mvx-f-97\" x=\"0\" y=\"0\"/>"), std::string::npos) << svg;
    EXPECT_EQ(p.out, "\nwidth=52.000000pt, height=13.000000pt, depth=5.000000pt\n");

    // Asked for the page box, the page keeps it.
    PathsHarness page;
    page.kind = BoxKind::Page;
    const std::string svgPage = page.run([](Events& e) {
        e.bop(1);
        e.special("ps::-65536 -131072 65536 196608 655360 196608 3276800");
        e.sink.pageEnd();
    });
    EXPECT_NE(rootOf(svgPage).find("viewBox=\"0 0 172.27 272.27\""), std::string::npos);
    EXPECT_EQ(rootOf(svgPage).find("style="), std::string::npos);
}

TEST(PathsPages, ThePaperIsTheLastPapersizeOfTheFile) {
    PathsHarness p;
    p.kind = BoxKind::Paper;
    p.frame = PathsHarness::frameOf(100, 200, {1, 2});
    const std::string svg = p.run([](Events& e) {
        e.bop(1, 1);
        e.special("papersize=100pt,200pt");
        e.sink.pageEnd();
        // On a page not converted, after the page converted: still the paper.
        e.unselected("papersize=5in,2in");
        e.unselected("papersize=nonsense");
    });
    EXPECT_NE(rootOf(svg).find("viewBox=\"0 0 361.35 144.54\""), std::string::npos) << rootOf(svg);
}

TEST(PathsPages, StackedBoxesOfDifferentSizesShareTheWidestWidth) {
    PathsHarness p;
    const std::string svg = p.run([](Events& e) {
        e.bop(1, 1);
        e.special("ps::0 0 0 0 655360 0 655360");  // 10pt square on the baseline
        e.sink.pageEnd();
        e.bop(2, 2);
        e.special("ps::0 0 0 0 1310720 655360 327680");  // 20pt high, 10pt deep, 5pt wide
        e.sink.pageEnd();
    });
    EXPECT_NE(rootOf(svg).find("viewBox=\"0 0 10 40\""), std::string::npos) << rootOf(svg);
    EXPECT_EQ(rootOf(svg).find("style="), std::string::npos);
    // Each page's box moved to its place: the first baseline 10pt down,
    // the second 10 + 20pt.
    EXPECT_NE(svg.find("\n<g transform=\"translate(0 10)\">"), std::string::npos) << svg;
    EXPECT_NE(svg.find("\n<g transform=\"translate(0 30)\">"), std::string::npos) << svg;
    EXPECT_EQ(p.out, "\nwidth=10.000000pt, height=10.000000pt, depth=0.000000pt\n"
                     "\nwidth=5.000000pt, height=20.000000pt, depth=10.000000pt\n");
}

TEST(PathsPages, ADocumentThatCannotBeMadeStopsTheWriting) {
    PathsHarness p;
    p.outlines = threeFonts();
    p.pattern = "missing-dir/page-%p.svg";
    p.run([](Events& e) { threePages(e); });
    EXPECT_FALSE(p.closed);
    EXPECT_NE(p.out.find("Can not open " + p.dir.file("missing-dir/page-1.svg") +
                         " as output file; no later page was written."),
              std::string::npos)
        << p.out;
    EXPECT_EQ(p.out.find("width="), std::string::npos);
}

}  // namespace
}  // namespace morvex
