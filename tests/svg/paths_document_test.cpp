// The self-contained documents of --paths from hand-made page events,
// played through both passes as a run plays a DVI file's pages: glyph uses
// at their own positions, scaled and flipped onto the outlines, one
// definition per glyph, rules, the colour stack, pages stacked or each in a
// document of its own, the invisible text, and a well-formed document
// whatever the events.
#include "svg/paths_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/paths_harness.h"
#include "support/process.h"
#include "support/recording_sink.h"
#include "support/svg_walk.h"
#include "svg/text_document.h"

namespace morvex {
namespace {

using testing::Events;
using testing::HandedCapture;
using testing::kPt;
using testing::OutCapture;
using testing::PathsHarness;

using testing::fontOf;

std::vector<std::string> elements(const std::string& svg, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(svg.begin(), svg.end(), re), end; it != end; ++it) found.push_back(it->str());
    return found;
}

using Drawn = testing::DrawnElement;
using testing::Affine;
using testing::transformOf;

std::vector<Drawn> drawn(const std::string& svg) { return testing::drawnElements(svg); }

std::vector<Drawn> uses(const std::string& svg) {
    std::vector<Drawn> u;
    for (const Drawn& d : drawn(svg))
        if (d.element.rfind("<use", 0) == 0) u.push_back(d);
    return u;
}

std::string defOf(const std::string& svg, const std::string& id) {
    std::vector<std::string> d = elements(svg, "<(path|g) id=\"" + id + "\"[^>]*/>");
    EXPECT_EQ(d.size(), 1u) << "definitions of " << id;
    return d.empty() ? "" : d[0];
}

std::string hrefOf(const std::string& use) {
    std::smatch m;
    static const std::regex kHref(R"re(xlink:href="#([^"]*)")re");
    return std::regex_search(use, m, kHref) ? std::string(m[1]) : "";
}

double attr(const std::string& element, const std::string& name) {
    std::smatch m;
    const std::regex re(" " + name + "=\"([^\"]*)\"");
    if (!std::regex_search(element, m, re)) {
        ADD_FAILURE() << "no " << name << " in " << element;
        return NAN;
    }
    return std::stod(m[1]);
}

// xmllint's verdict, "" when the document is well-formed.
std::string xmlErrors(const std::string& svg) {
    testing::TempDir dir;
    if (!testing::writeFile(dir.file("out.svg"), svg)) return "cannot write";
    auto r = testing::runProcess({"xmllint", "--nonet", "--noout", dir.file("out.svg")}, dir.path);
    if (r.exitCode == 0 && r.err.empty()) return "";
    return "xmllint " + std::to_string(r.exitCode) + ": " + r.err.substr(0, 2000);
}

// The invisible text: the characters of the text elements, with the spaces
// between their runs.
std::string invisibleText(const std::string& svg) {
    std::string text;
    for (const std::string& t : elements(svg, R"(<text [^>]*>[\s\S]*?</text>)")) {
        std::string inner = std::regex_replace(t, std::regex(R"(<[^>]*>)"), "");
        text += inner + "|";
    }
    return text;
}

TEST(PathsDocument, GlyphsStandAtTheirOwnPositionsScaledAndFlipped) {
    PathsHarness p;
    p.outlines = {{"cmr10", fontOf({{'A', "A", "M0 0L100 0L100 700L0 700Z"}})}};
    const std::string svg = p.run([](Events& e) {
        const FontDef* ten = e.font(0, "cmr10", 10);
        const FontDef* twelve = e.font(1, "cmr10", 12);
        e.bop(1);
        e.sink.fontSelect(0);
        e.chr(ten, 'A', 10, 20);
        e.chr(ten, 'A', 15.5, 20);  // the same glyph again, at its own place
        e.sink.fontSelect(1);
        e.chr(twelve, 'A', 30, 40);
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");

    std::vector<Drawn> u = uses(svg);
    ASSERT_EQ(u.size(), 3u);
    const std::string def = defOf(svg, "mvx-cmr10-65");
    EXPECT_NE(def.find(" d=\"M0 0L100 0L100 700L0 700Z\""), std::string::npos) << def;
    struct Want {
        double x, y, size;  // the DVI position plus the margin, and the size in points
    };
    const Want want[] = {{82.27, 92.27, 10}, {87.77, 92.27, 10}, {102.27, 112.27, 12}};
    for (size_t i = 0; i < u.size(); ++i) {
        SCOPED_TRACE(u[i].element);
        EXPECT_EQ(hrefOf(u[i].element), "mvx-cmr10-65");
        const Affine glyph = transformOf(def).then(u[i].toDocument);
        // The glyph's origin at the character's position, its top 0.7 em
        // above the baseline (y grows downward), its width 0.1 em.
        auto [x0, y0] = glyph.apply(0, 0);
        auto [x1, y1] = glyph.apply(100, 700);
        EXPECT_NEAR(x0, want[i].x, 1e-3);
        EXPECT_NEAR(y0, want[i].y, 1e-3);
        EXPECT_NEAR(x1 - x0, 0.1 * want[i].size, 1e-4);
        EXPECT_NEAR(y1 - y0, -0.7 * want[i].size, 1e-4);
    }
}

TEST(PathsDocument, EachGlyphIsDefinedOnceInItsFontsUnits) {
    PathsHarness p;
    p.outlines = {
        {"fa", fontOf({{'x', "x", "M1 2Z"}, {'y', ".notdef", "M3 4Z"}, {'z', "z", ""}, {0, "Gamma", "M5 6Z"},
                           {255, "ydieresis", "M7 8Z"}})},
        {"fb-1.x+y/z_w", fontOf({{'x', "x", "M0 0L2048 0Z"}}, 2048)},
    };
    const std::string svg = p.run([](Events& e) {
        const FontDef* a = e.font(0, "fa", 10);
        const FontDef* b = e.font(1, "fb-1.x+y/z_w", 10);
        const FontDef* c = e.font(2, "missing", 10);
        e.bop(1);
        for (int code : {int{'x'}, int{'y'}, int{'x'}, int{'z'}, 0, 255}) e.chr(a, code, 10, 10);
        e.chr(b, 'x', 10, 10);
        e.chr(c, 'x', 10, 10);
        e.chr(nullptr, 'q', 10, 10);  // a character without a font draws nothing
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(uses(svg).size(), 8u);
    EXPECT_EQ(elements(svg, "<path ").size(), 4u);
    EXPECT_EQ(defOf(svg, "mvx-fa-120"), "<path id=\"mvx-fa-120\" transform=\"scale(0.001 -0.001)\" d=\"M1 2Z\"/>");
    EXPECT_EQ(defOf(svg, "mvx-fa-0"), "<path id=\"mvx-fa-0\" transform=\"scale(0.001 -0.001)\" d=\"M5 6Z\"/>");
    EXPECT_EQ(defOf(svg, "mvx-fa-255"), "<path id=\"mvx-fa-255\" transform=\"scale(0.001 -0.001)\" d=\"M7 8Z\"/>");
    // A glyph the font lacks (its .notdef), an empty outline and a font
    // without outlines draw nothing, but their uses still find an element.
    EXPECT_EQ(defOf(svg, "mvx-fa-121"), "<g id=\"mvx-fa-121\"/>");
    EXPECT_EQ(defOf(svg, "mvx-fa-122"), "<g id=\"mvx-fa-122\"/>");
    EXPECT_EQ(defOf(svg, "mvx-missing-120"), "<g id=\"mvx-missing-120\"/>");
    // Another units-per-em, and a font name that is no id.
    EXPECT_EQ(defOf(svg, "mvx-fb-1.x_2By_2Fz_5Fw-120"),
              "<path id=\"mvx-fb-1.x_2By_2Fz_5Fw-120\" transform=\"scale(0.00048828125 -0.00048828125)\" "
              "d=\"M0 0L2048 0Z\"/>");
    for (const Drawn& u : uses(svg))
        EXPECT_EQ(elements(svg, "id=\"" + hrefOf(u.element) + "\"").size(), 1u) << u.element;
    EXPECT_NE(p.trace.find("\nPaths: glyphs defined: fa[0=Gamma 120=x 121=(none) 122=(none) 255=ydieresis] "
                           "fb-1.x+y/z_w[120=x] missing[120=(none)]"),
              std::string::npos)
        << p.trace;
}

TEST(PathsDocument, RulesAreRectanglesRisingFromTheirPosition) {
    PathsHarness p;
    const std::string svg = p.run([](Events& e) {
        e.bop(1);
        e.rule(10, 20, 0.5, 100);  // bottom left at (10, 20), 0.5pt high
        e.rule(10, 20, 0, 100);    // no height, no width, or negative: nothing
        e.rule(10, 20, 1, 0);
        e.rule(10, 20, -1, 5);
        e.rule(10, 20, 5, -1);
        e.rule(-30, -40, 2, 3);
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(elements(svg, "<rect [^>]*/>"),
              (std::vector<std::string>{"<rect x=\"82.27\" y=\"91.77\" width=\"100\" height=\"0.5\"/>",
                                        "<rect x=\"42.27\" y=\"30.27\" width=\"3\" height=\"2\"/>"}));
    EXPECT_NE(p.trace.find("\nPaths: page 1 at position 1: 0 glyphs, 2 rules"), std::string::npos) << p.trace;
}

TEST(PathsDocument, ColourSpecialsFillWhatFollowsWithTheStackKeptAcrossPages) {
    PathsHarness p;
    p.frame = PathsHarness::frameOf(100, 100, {1, 2, 1});
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "f", 10);
        e.bop(1, 1);
        e.chr(f, 'a', 0, 0);
        e.special("color push rgb 1 0 0");
        e.chr(f, 'b', 0, 0);
        e.special("color push Blue");
        e.rule(0, 0, 1, 1);
        e.special("color pop");
        e.chr(f, 'c', 0, 0);
        e.special("color push cmyk 0 0 0 0.5");  // left open at the page's end
        e.sink.pageEnd();
        // A page that is not converted moves the stack too.
        e.unselected("color pop");
        e.unselected("color push gray 0.25");
        e.bop(1, 3);
        e.chr(f, 'd', 0, 0);
        e.special("color pop");
        e.chr(f, 'e', 0, 0);
        e.special("color rgb 0 1 0");  // empties the stack
        e.chr(f, 'f', 0, 0);
        e.special("color pop");  // on an empty stack: nothing changes
        e.chr(f, 'g', 0, 0);
        e.special("color push rgb 2 x 1");  // unreadable: the colour in force is pushed
        e.chr(f, 'h', 0, 0);
        e.special("color push Crimson");
        e.special("color pop");
        e.special("color pop");
        e.chr(f, 'i', 0, 0);
        e.special("color push rgb 0 0 1 and more", 40);  // cut short: not a special to read
        e.chr(f, 'j', 0, 0);
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");
    std::vector<std::string> fills;
    for (const Drawn& d : drawn(svg)) fills.push_back(d.fill + (d.element[1] == 'u' ? " glyph" : " rule"));
    EXPECT_EQ(fills, (std::vector<std::string>{"#000000 glyph", "#ff0000 glyph", "#0000ff rule", "#ff0000 glyph",
                                               "#404040 glyph", "#ff0000 glyph", "#00ff00 glyph", "#00ff00 glyph",
                                               "#00ff00 glyph", "#00ff00 glyph", "#00ff00 glyph"}));
    // A group opens only for what it draws: none stands empty.
    EXPECT_EQ(elements(svg, R"(<g [^>]*>\s*</g>)").size(), 0u);
    EXPECT_NE(p.trace.find("\nPaths: color pop on an empty color stack ignored"), std::string::npos);
    const std::string kept = "\nPaths: unreadable color, the color in force kept: ";
    EXPECT_NE(p.trace.find(kept + "color push rgb 2 x 1"), std::string::npos);
    EXPECT_NE(p.trace.find(kept + "color push Crimson"), std::string::npos);
    // Each trace line once, from the pass that writes: the first is silent.
    EXPECT_EQ(p.trace.find(kept + "color push Crimson"), p.trace.rfind(kept + "color push Crimson"));
}

TEST(PathsDocument, PagesStackTopToBottom) {
    // Pages at positions 1 and 3; the box is 100pt plus the margin wide
    // and 200pt plus the margin high.
    PathsHarness p;
    p.frame = PathsHarness::frameOf(100, 200, {7, 8, 7});
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "f", 10);
        for (uint64_t position : {1, 3}) {
            e.bop(7, position);
            e.sink.fontSelect(0);
            e.chr(f, 'a', 10, 20);
            e.sink.movement(0, 0);
            e.rule(10, 30, 1, 1);
            e.sink.pageEnd();
        }
    });
    ASSERT_EQ(xmlErrors(svg), "");
    std::vector<std::string> root = elements(svg, R"(<svg [^>]*>)");
    ASSERT_EQ(root.size(), 1u);
    const double width = 172.27, height = 2 * 272.27;
    EXPECT_NE(root[0].find(" viewBox=\"0 0 172.27 544.54\""), std::string::npos) << root[0];
    // SVG's pt is 1/72 in, TeX's 1/72.27 in.
    EXPECT_NEAR(attr(root[0], "width"), width * 72 / 72.27, 1e-5);
    EXPECT_NEAR(attr(root[0], "height"), height * 72 / 72.27, 1e-5);
    EXPECT_NE(root[0].find(" xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(root[0].find(" xmlns:xlink=\"http://www.w3.org/1999/xlink\""), std::string::npos);
    EXPECT_EQ(root[0].find("style="), std::string::npos);
    // The second page one page box further down, glyphs, rules and text.
    std::vector<std::string> pages = elements(svg, R"(\n<g( transform="translate[^"]*")?>)");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], "\n<g>");
    EXPECT_EQ(pages[1], "\n<g transform=\"translate(0 272.27)\">");
    std::vector<Drawn> d = drawn(svg);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_NEAR(d[2].toDocument.f, 92.27 + 272.27, 1e-3);
    EXPECT_NEAR(d[3].toDocument.f, 272.27, 1e-9);
    const size_t secondPage = svg.find(pages[1]);
    EXPECT_NE(svg.find("<text ", secondPage), std::string::npos);
    EXPECT_NE(p.trace.find("\nPaths: page 7 at position 3: 1 glyphs, 1 rules"), std::string::npos);
    // The dimensions of each page follow its mark.
    EXPECT_EQ(p.out, "\nwidth=172.270000pt, height=272.270000pt, depth=0.000000pt\n"
                     "\nwidth=172.270000pt, height=272.270000pt, depth=0.000000pt\n");
}

TEST(PathsDocument, NoPageGivesOneEmptyPageBox) {
    PathsHarness p;
    p.frame = PathsHarness::frameOf(100, 200, {1, 2});
    const std::string svg = p.run([](Events&) {});
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_NE(svg.find("viewBox=\"0 0 172.27 272.27\""), std::string::npos) << svg;
    EXPECT_EQ(elements(svg, "<(g|use|rect|text|defs)[ >]").size(), 0u) << svg;
    EXPECT_EQ(p.out, "");
}

// The outlines of a font whose glyph names cover the cases of the text.
std::map<std::string, GeneratedFont> namedGlyphs() {
    return {{"t1", fontOf({{'T', "T", "M0 0Z"},
                              {'h', "h", "M0 0Z"},
                              {'e', "e", "M0 0Z"},
                              {0x1B, "ff", "M0 0Z"},
                              {0x1E, "f_f_i", "M0 0Z"},
                              {0x16, "emdash", "M0 0Z"},
                              {0x10, "quotedblleft", "M0 0Z"},
                              {0x8A, "Lslash", "M0 0Z"},
                              {0x8B, "uni0144", "M0 0Z"},
                              {0x81, "suppress", "M0 0Z"},
                              {'&', "ampersand", "M0 0Z"},
                              {'<', "less", "M0 0Z"},
                              {0x01, "controlSOH", "M0 0Z"},
                              {0x17, "compwordmark", "M0 0Z"},
                              {'o', ".notdef", "M0 0Z"}})}};
}

TEST(PathsDocument, InvisibleTextHoldsTheRunsWithTheCharactersOfTheGlyphNames) {
    PathsHarness p;
    p.outlines = namedGlyphs();
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "t1", 10);
        const FontDef* small = e.font(1, "t1", 7);
        e.bop(1);
        e.sink.fontSelect(0);
        e.word(f, "The", 10, 20);
        e.sink.movement(0, 0);
        // A kern: no space in the text.
        e.word(f, "\x1B\x1E", 25.5, 20);
        e.sink.movement(0, 0);
        // A word space: a space.
        e.word(f, "\x16\x10", 40, 20);
        e.sink.movement(0, 0);
        // The next line: a space.
        e.word(f, "\x8A\x8B\x81", 10, 32);
        e.sink.movement(0, 0);
        e.word(f, "&<\x17\x01o", 30, 32);
        e.sink.fontSelect(1);
        e.word(small, "e", 60, 32);
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");
    std::vector<std::string> runs = elements(svg, R"(<tspan[^>]*>[^<]*</tspan>)");
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[0],
              "<tspan\n x=\"82.27\" y=\"92.27\" textLength=\"15\" lengthAdjust=\"spacingAndGlyphs\">The</tspan>");
    // Ligatures are their letters; the compound word mark is nothing.
    // Names the list does not know (suppress), and a name for a control
    // character, fall back to conv's text of the code; so does a glyph
    // the font lacks.
    EXPECT_EQ(invisibleText(svg), "Theffffi \u2014\u201C \u0141\u0144\u0104 &amp;&lt;\uE001o e|");
    EXPECT_EQ(attr(runs[3], "textLength"), 15);
    EXPECT_EQ(attr(runs[3], "x"), 82.27);
    EXPECT_EQ(attr(runs[3], "y"), 104.27);
    // The size of the first run is the text's; another size is the run's.
    EXPECT_EQ(attr(runs[5], "font-size"), 7);
    // Only the spaces between runs stand between the elements of the text.
    for (const std::string& t : elements(svg, R"(<text [^>]*>[\s\S]*?</text>)"))
        EXPECT_EQ(std::regex_replace(t, std::regex(R"(<[^>]*>[^<]*</tspan>)"), "R"),
                  "<text fill=\"transparent\" xml:space=\"preserve\" font-size=\"10\">RR R R R R</text>");
}

// A run the machine splits when it is full goes on in a second element
// at the next character's place, with nothing between the two.
TEST(PathsDocument, AFullRunGoesOnInTheNextElement) {
    PathsHarness p;
    p.outlines = namedGlyphs();
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "t1", 10);
        e.bop(1);
        e.sink.fontSelect(0);
        e.word(f, std::string(kRunCapacity + 5, 'e'), 0, 0, 0.5);
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");
    std::vector<std::string> runs = elements(svg, R"(<tspan[^>]*>[^<]*</tspan>)");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(attr(runs[0], "textLength"), kRunCapacity * 0.5);
    EXPECT_EQ(attr(runs[1], "x"), 72.27 + kRunCapacity * 0.5);
    EXPECT_EQ(attr(runs[1], "textLength"), 2.5);
    EXPECT_EQ(invisibleText(svg), std::string(kRunCapacity + 5, 'e') + "|");
}

TEST(PathsDocument, APageCutShortIsDrawnWithEmptyGlyphsAndTheCodesText) {
    PathsHarness p;
    p.outlines = namedGlyphs();
    p.cutShort = true;  // a run the pages cut short extracts no glyph
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "t1", 10);
        e.bop(1);
        e.sink.fontSelect(0);
        e.word(f, "\x1B&o", 10, 20);
        e.special("color push rgb 1 0 0");
        e.rule(0, 0, 1, 1);
        // No eop: the pages end here.
    });
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(invisibleText(svg), "\uE01B&amp;o|");
    EXPECT_EQ(elements(svg, "<path").size(), 0u);
    EXPECT_EQ(elements(svg, "<g id=").size(), 3u);
    EXPECT_EQ(elements(svg, "<rect").size(), 1u);
    EXPECT_EQ(svg.substr(svg.size() - 8), "\n</svg>\n");
}

TEST(PathsDocument, PreambleFactorsWithoutAFiniteScaleStillGiveADocument) {
    PathsHarness p;
    p.frame.ptPerDvi = std::numeric_limits<float>::infinity();
    const std::string svg = p.run([](Events& e) {
        const FontDef* f = e.font(0, "f", 10);
        e.bop(1);
        e.chr(f, 'a', 1, 1);
        e.rule(1, 1, 1, 1);
        e.sink.pageEnd();
    });
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
}

// The trace of the text state machine is the default document's, event
// for event: both writers share it.
TEST(PathsDocument, TheTextMachineTracesAsInTheDefaultDocument) {
    OutCapture textLog, textOut;
    HandedCapture textSvg;
    TextDocument text(textSvg.handle(), textLog.f, textOut.f);
    FontDef def{0, 0, 10 * kPt, 10 * kPt, "f"};
    const auto script = [&](PageSink& sink) {
        std::mt19937 rng(7);
        for (int i = 0; i < 3000; ++i) {
            switch (rng() % 9) {
                case 0: sink.pageBegin(1, 1); break;
                case 1: sink.pageEnd(); break;
                case 2: sink.fontSelect(static_cast<int32_t>(rng() % 3)); break;
                case 3: sink.rule({0, 0, 1, 1, false}); break;
                case 4: sink.movement(0, 0); break;
                case 5: sink.special({0, 0, "x", 1}); break;
                case 6: sink.plain(PlainCommand::Push); break;
                default:
                    sink.character({static_cast<int32_t>(rng() % 256), 0, rng() % 4 ? &def : nullptr,
                                    static_cast<int32_t>(rng() % 1000), 0, 100, false});
            }
        }
    };
    script(text);
    text.end();
    PathsHarness p;
    p.run([&](Events& e) { script(e.sink); });
    // The paths writer adds its own lines, each on a line of its own.
    const std::string pathsTrace = std::regex_replace(p.trace, std::regex("\nPaths: [^\n]*"), "");
    EXPECT_GT(textLog.str().size(), 3000u);
    EXPECT_EQ(pathsTrace, textLog.str());
}

// Any sequence of events, however malformed (characters without font,
// positions and sizes at the ends of their range, pages without bop or
// eop, specials of any bytes), gives a well-formed document without
// control characters.
TEST(PathsDocument, AnyEventSequenceGivesAWellFormedDocument) {
    for (std::optional<BoxKind> kind : {std::optional<BoxKind>(), std::optional<BoxKind>(BoxKind::Min)}) {
        PathsHarness p;
        p.frame = PathsHarness::frameOf(600, 800, {1, 1, 1});
        p.kind = kind;
        p.outlines = namedGlyphs();
        p.outlines["big"] = fontOf({{'a', "a\x01<&\"\xff", "M0 0\x01<&\"\xffZ"}});
        const std::string svg = p.run([](Events& e) {
            std::mt19937 rng(20261210);
            std::vector<const FontDef*> fonts = {e.font(0, "t1", 10), e.font(1, "f-1", 0), e.font(2, "big", 65535),
                                                 nullptr};
            const std::vector<int32_t> extremes = {0, 1, -1, INT32_MAX, INT32_MIN, 65536, -65536};
            const auto value = [&] {
                return rng() % 3 == 0 ? extremes[rng() % extremes.size()]
                                      : static_cast<int32_t>(rng() % (2000 * kPt));
            };
            const std::vector<std::string> specials = {
                "color push rgb 1 0 0",  "color pop",         "color push Red",
                "color push cmyk 0 0 0", "color gray 0.5",    "color push rgb 1 0 <",
                std::string("color push \0\x01\xff", 14), "ps: &<>\"'", "ps::1 2 3 4 5 6 7",
                "ps::-2147483648 0 2147483647 0 2147483647 0 2147483647", "papersize=1in,1in"};
            for (int i = 0; i < 20000; ++i) {
                switch (rng() % 12) {
                    case 0:
                        if (rng() % 4 == 0) e.bop(1, 1 + rng() % 3);
                        break;
                    case 1:
                        if (rng() % 4 == 0) e.sink.pageEnd();
                        break;
                    case 2: e.sink.fontSelect(static_cast<int32_t>(rng() % 256)); break;
                    case 3: e.sink.rule({value(), value(), value(), value(), false}); break;
                    case 4: e.sink.movement(value(), value()); break;
                    case 5: {
                        const std::string& s = specials[rng() % specials.size()];
                        e.special(s);
                        break;
                    }
                    case 6: e.sink.plain(PlainCommand::Pop); break;
                    default: {
                        const FontDef* f = fonts[rng() % fonts.size()];
                        e.sink.character({static_cast<int32_t>(rng() % 256), f != nullptr ? f->number : 255, f,
                                          value(), value(), value(), rng() % 5 == 0});
                    }
                }
            }
        });
        ASSERT_EQ(xmlErrors(svg), "");
        EXPECT_GT(uses(svg).size(), 1000u);
        EXPECT_GT(elements(svg, "<text ").size(), 50u);
        EXPECT_EQ(svg.find("<!DOCTYPE"), std::string::npos);
        EXPECT_EQ(svg.find("inf"), std::string::npos);
        EXPECT_EQ(svg.find("nan"), std::string::npos);
        for (unsigned char c : svg) ASSERT_TRUE(c >= 0x20 || c == '\n') << "control byte " << static_cast<int>(c);
        std::multiset<std::string> ids;
        for (const std::string& id : elements(svg, R"re( id="[^"]*")re")) ids.insert(id.substr(5, id.size() - 6));
        for (const Drawn& u : uses(svg)) ASSERT_EQ(ids.count(hrefOf(u.element)), 1u) << u.element;
    }
}

}  // namespace
}  // namespace morvex
