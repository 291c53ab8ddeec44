// The self-contained document of --paths from hand-made page events: glyph
// uses at their own positions, scaled and flipped onto the outlines, one
// definition per glyph, rules, the colour stack, pages stacked, the
// invisible text, and a well-formed document whatever the events.
#include "svg/paths_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <regex>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"
#include "support/recording_sink.h"
#include "svg/text_document.h"
#include "text/glyph_list.h"

namespace morvex {
namespace {

using testing::HandedCapture;
using testing::OutCapture;

// One TeX point is 65536 DVI units here, exactly.
constexpr float kPtPerDvi = 1.0f / 65536.0f;
constexpr int32_t kPt = 65536;

DviFrame frameOf(uint32_t widthPt, uint32_t heightPt, std::vector<int32_t> pages = {1}) {
    DviFrame frame;
    frame.ptPerDvi = kPtPerDvi;
    frame.u = widthPt * kPt;
    frame.l = heightPt * kPt;
    frame.fontsComplete = true;
    frame.pageNumbers = std::move(pages);
    return frame;
}

struct Glyph {
    int code;
    const char* name;
    const char* d;
};

// A font's glyph records, by ascending code.
GeneratedFont outlinesOf(std::vector<Glyph> glyphs, double unitsPerEm = 1000) {
    GeneratedFont f;
    f.unitsPerEm = {std::to_string(unitsPerEm), unitsPerEm};
    std::sort(glyphs.begin(), glyphs.end(), [](const Glyph& a, const Glyph& b) { return a.code < b.code; });
    for (const Glyph& g : glyphs) f.glyphs.push_back({g.code, "", g.name, {"500", 500}, g.d});
    return f;
}

// The installed glyph list, read once.
const GlyphList* glyphList() {
    static const std::optional<GlyphList> list = GlyphList::load();
    return list ? &*list : nullptr;
}

// A document under test with its trace and message streams.
struct Doc {
    OutCapture log, out;
    HandedCapture svgBytes;
    PathsDocument doc;
    std::vector<std::unique_ptr<FontDef>> defs;  // the events point at them

    explicit Doc(const DviFrame& frame = frameOf(100, 200), int32_t selected = 1)
        : doc(svgBytes.handle(), log.f, out.f) {
        doc.head();
        doc.prologue(frame, selected);
    }
    const FontDef* font(int32_t number, const std::string& name, double sizePt) {
        defs.push_back(std::make_unique<FontDef>(
            FontDef{number, 0, static_cast<uint32_t>(sizePt * kPt), static_cast<uint32_t>(sizePt * kPt), name}));
        return defs.back().get();
    }
    // A set character; positions and advance in points.
    void chr(const FontDef* f, int32_t code, double h, double v, double advance = 5, bool put = false) {
        doc.character({code, f != nullptr ? f->number : 0, f, static_cast<int32_t>(h * kPt),
                       static_cast<int32_t>(v * kPt), static_cast<int32_t>(advance * kPt), put});
    }
    void word(const FontDef* f, const std::string& text, double h, double v, double advance = 5) {
        for (unsigned char c : text) {
            chr(f, c, h, v, advance);
            h += advance;
        }
    }
    void rule(double h, double v, double height, double width) {
        doc.rule({static_cast<int32_t>(h * kPt), static_cast<int32_t>(v * kPt), static_cast<int32_t>(height * kPt),
                  static_cast<int32_t>(width * kPt), false});
    }
    void special(const std::string& s) { doc.special(SpecialEvent{0, 0, s, s.size()}); }
    std::string finish(const std::map<std::string, GeneratedFont>& outlines) {
        doc.end(outlines, glyphList());
        EXPECT_TRUE(doc.close());
        return svgBytes.str();
    }
    std::string cutShort() {
        EXPECT_TRUE(doc.close());
        return svgBytes.str();
    }
    std::string trace() { return log.str(); }
};

// An affine map a b c d e f, as SVG's matrix(a b c d e f).
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Affine then(const Affine& outer) const {
        return {outer.a * a + outer.c * b, outer.b * a + outer.d * b, outer.a * c + outer.c * d,
                outer.b * c + outer.d * d, outer.a * e + outer.c * f + outer.e, outer.b * e + outer.d * f + outer.f};
    }
    std::pair<double, double> apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
};

std::vector<double> numbersIn(const std::string& s) {
    std::vector<double> v;
    static const std::regex kNumber(R"(-?[0-9]+(\.[0-9]+)?)");
    for (std::sregex_iterator it(s.begin(), s.end(), kNumber), end; it != end; ++it) v.push_back(std::stod(it->str()));
    return v;
}

// The transform attribute of an element: matrix(...), scale(sx sy) or
// translate(tx ty).
Affine transformOf(const std::string& element) {
    std::smatch m;
    static const std::regex kTransform(R"re(transform="(matrix|scale|translate)\(([^)]*)\)")re");
    if (!std::regex_search(element, m, kTransform)) return {};
    std::vector<double> n = numbersIn(m[2]);
    if (m[1] == "matrix" && n.size() == 6) return {n[0], n[1], n[2], n[3], n[4], n[5]};
    if (m[1] == "scale" && n.size() == 2) return {n[0], 0, 0, n[1], 0, 0};
    if (m[1] == "translate" && n.size() == 2) return {1, 0, 0, 1, n[0], n[1]};
    ADD_FAILURE() << "unreadable transform in " << element;
    return {};
}

std::vector<std::string> elements(const std::string& svg, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(svg.begin(), svg.end(), re), end; it != end; ++it) found.push_back(it->str());
    return found;
}

std::vector<std::string> uses(const std::string& svg) { return elements(svg, R"(<use [^>]*/>)"); }

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
    Doc p;
    const FontDef* ten = p.font(0, "cmr10", 10);
    const FontDef* twelve = p.font(1, "cmr10", 12);
    p.doc.pageBegin(1);
    p.doc.fontSelect(0);
    p.chr(ten, 'A', 10, 20);
    p.chr(ten, 'A', 15.5, 20);  // the same glyph again, at its own place
    p.doc.fontSelect(1);
    p.chr(twelve, 'A', 30, 40);
    p.doc.pageEnd();
    // A square glyph from the baseline up to 700 units, 100 wide.
    const std::string svg = p.finish({{"cmr10", outlinesOf({{'A', "A", "M0 0L100 0L100 700L0 700Z"}})}});
    ASSERT_EQ(xmlErrors(svg), "");

    std::vector<std::string> u = uses(svg);
    ASSERT_EQ(u.size(), 3u);
    const std::string def = defOf(svg, "mvx-cmr10-65");
    EXPECT_NE(def.find(" d=\"M0 0L100 0L100 700L0 700Z\""), std::string::npos) << def;
    struct Want {
        double x, y, size;  // the DVI position plus the margin, and the size in points
    };
    const Want want[] = {{82.27, 92.27, 10}, {87.77, 92.27, 10}, {102.27, 112.27, 12}};
    for (size_t i = 0; i < u.size(); ++i) {
        SCOPED_TRACE(u[i]);
        EXPECT_EQ(hrefOf(u[i]), "mvx-cmr10-65");
        const Affine glyph = transformOf(def).then(transformOf(u[i]));
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
    Doc p;
    const FontDef* a = p.font(0, "fa", 10);
    const FontDef* b = p.font(1, "fb-1.x+y/z_w", 10);
    const FontDef* c = p.font(2, "missing", 10);
    p.doc.pageBegin(1);
    for (int code : {int{'x'}, int{'y'}, int{'x'}, int{'z'}, 0, 255}) p.chr(a, code, 10, 10);
    p.chr(b, 'x', 10, 10);
    p.chr(c, 'x', 10, 10);
    p.chr(nullptr, 'q', 10, 10);  // a character without a font draws nothing
    p.doc.pageEnd();
    const std::string svg = p.finish({
        {"fa", outlinesOf({{'x', "x", "M1 2Z"}, {'y', ".notdef", "M3 4Z"}, {'z', "z", ""}, {0, "Gamma", "M5 6Z"},
                           {255, "ydieresis", "M7 8Z"}})},
        {"fb-1.x+y/z_w", outlinesOf({{'x', "x", "M0 0L2048 0Z"}}, 2048)},
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
    for (const std::string& u : uses(svg)) EXPECT_EQ(elements(svg, "id=\"" + hrefOf(u) + "\"").size(), 1u) << u;
    EXPECT_NE(p.trace().find("\nPaths: glyphs defined: fa[0=Gamma 120=x 121=(none) 122=(none) 255=ydieresis] "
                             "fb-1.x+y/z_w[120=x] missing[120=(none)]"),
              std::string::npos)
        << p.trace();
}

TEST(PathsDocument, RulesAreRectanglesRisingFromTheirPosition) {
    Doc p;
    p.doc.pageBegin(1);
    p.rule(10, 20, 0.5, 100);  // bottom left at (10, 20), 0.5pt high
    p.rule(10, 20, 0, 100);    // no height, no width, or negative: nothing
    p.rule(10, 20, 1, 0);
    p.rule(10, 20, -1, 5);
    p.rule(10, 20, 5, -1);
    p.rule(-30, -40, 2, 3);
    p.doc.pageEnd();
    const std::string svg = p.finish({});
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(elements(svg, "<rect [^>]*/>"),
              (std::vector<std::string>{"<rect x=\"82.27\" y=\"91.77\" width=\"100\" height=\"0.5\"/>",
                                        "<rect x=\"42.27\" y=\"30.27\" width=\"3\" height=\"2\"/>"}));
    EXPECT_NE(p.trace().find("\nPaths: page 1 (1 of the document): 0 glyphs, 2 rules"), std::string::npos);
}

// Each drawn element with the fill of the group around it.
std::vector<std::string> fills(const std::string& svg) {
    std::vector<std::string> out;
    std::string fill = "none";
    for (const std::string& e : elements(svg, R"(<g fill="#[0-9a-f]{6}">|<use [^>]*/>|<rect [^>]*/>|</g>)")) {
        if (e.rfind("<g fill", 0) == 0)
            fill = e.substr(9, 7);
        else if (e == "</g>")
            fill = "none";
        else
            out.push_back(fill + (e[1] == 'u' ? " glyph" : " rule"));
    }
    return out;
}

TEST(PathsDocument, ColourSpecialsFillWhatFollowsWithTheStackKeptAcrossPages) {
    Doc p(frameOf(100, 100, {1, 2, 1}));
    const FontDef* f = p.font(0, "f", 10);
    p.doc.pageBegin(1);
    p.chr(f, 'a', 0, 0);
    p.special("color push rgb 1 0 0");
    p.chr(f, 'b', 0, 0);
    p.special("color push Blue");
    p.rule(0, 0, 1, 1);
    p.special("color pop");
    p.chr(f, 'c', 0, 0);
    p.special("color push cmyk 0 0 0 0.5");  // left open at the page's end
    p.doc.pageEnd();
    // A page that is not converted moves the stack too.
    p.doc.unselectedSpecial(SpecialEvent{0, 0, "color pop", 9});
    p.doc.unselectedSpecial(SpecialEvent{0, 0, "color push gray 0.25", 20});
    p.doc.pageBegin(1);
    p.chr(f, 'd', 0, 0);
    p.special("color pop");
    p.chr(f, 'e', 0, 0);
    p.special("color rgb 0 1 0");  // empties the stack
    p.chr(f, 'f', 0, 0);
    p.special("color pop");  // on an empty stack: nothing changes
    p.chr(f, 'g', 0, 0);
    p.special("color push rgb 2 x 1");  // unreadable: the colour in force is pushed
    p.chr(f, 'h', 0, 0);
    p.special("color push Crimson");
    p.special("color pop");
    p.special("color pop");
    p.chr(f, 'i', 0, 0);
    // Cut short by the end of the file: not a special to read.
    p.doc.special(SpecialEvent{0, 0, "color push rgb 0 0 1", 40});
    p.chr(f, 'j', 0, 0);
    p.doc.pageEnd();
    const std::string svg = p.finish({});
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(fills(svg), (std::vector<std::string>{"#000000 glyph", "#ff0000 glyph", "#0000ff rule", "#ff0000 glyph",
                                                   "#404040 glyph", "#ff0000 glyph", "#00ff00 glyph", "#00ff00 glyph",
                                                   "#00ff00 glyph", "#00ff00 glyph", "#00ff00 glyph"}));
    // A group opens only for what it draws: none stands empty.
    EXPECT_EQ(elements(svg, R"(<g fill="[^"]*">\s*</g>)").size(), 0u);
    const std::string trace = p.trace();
    EXPECT_NE(trace.find("\nPaths: color pop on an empty color stack ignored"), std::string::npos);
    const std::string kept = "\nPaths: unreadable color, the color in force kept: ";
    EXPECT_NE(trace.find(kept + "color push rgb 2 x 1"), std::string::npos);
    EXPECT_NE(trace.find(kept + "color push Crimson"), std::string::npos);
}

TEST(PathsDocument, PagesOfTheNumberStackTopToBottom) {
    // Two of the three pages carry number 7; the box is 100pt plus the
    // margin wide and 200pt plus the margin high.
    Doc p(frameOf(100, 200, {7, 8, 7}), 7);
    const FontDef* f = p.font(0, "f", 10);
    for (int page = 0; page < 2; ++page) {
        p.doc.pageBegin(7);
        p.chr(f, 'a', 10, 20);
        p.rule(10, 30, 1, 1);
        p.doc.pageEnd();
    }
    const std::string svg = p.finish({});
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
    // The second page one page box further down, glyphs, rules and text.
    std::vector<std::string> pages = elements(svg, R"(\n<g( transform="[^"]*")?>)");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], "\n<g>");
    EXPECT_EQ(pages[1], "\n<g transform=\"translate(0 272.27)\">");
    std::vector<std::string> texts = elements(svg, R"(<text [^>]*>)");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(transformOf(texts[1]).f, 272.27);
    EXPECT_EQ(uses(svg).size(), 2u);
    EXPECT_NE(p.trace().find("\nPaths: page 7 (2 of the document): 1 glyphs, 1 rules"), std::string::npos);
}

TEST(PathsDocument, ANumberNoPageCarriesGivesOneEmptyPageBox) {
    Doc p(frameOf(100, 200, {1, 2}), 5);
    const std::string svg = p.finish({});
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_NE(svg.find("viewBox=\"0 0 172.27 272.27\""), std::string::npos) << svg;
    EXPECT_EQ(elements(svg, "<(g|use|rect|text|defs)[ >]").size(), 0u) << svg;
}

// The outlines of a font whose glyph names cover the cases of the text.
std::map<std::string, GeneratedFont> namedGlyphs() {
    return {{"t1", outlinesOf({{'T', "T", "M0 0Z"},
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
    Doc p;
    const FontDef* f = p.font(0, "t1", 10);
    p.doc.pageBegin(1);
    p.doc.fontSelect(0);
    p.word(f, "The", 10, 20);
    p.doc.movement(0, 0);
    // A kern: no space in the text.
    p.word(f, "\x1B\x1E", 25.5, 20);
    p.doc.movement(0, 0);
    // A word space: a space.
    p.word(f, "\x16\x10", 40, 20);
    p.doc.movement(0, 0);
    // The next line: a space.
    p.word(f, "\x8A\x8B\x81", 10, 32);
    p.doc.movement(0, 0);
    p.word(f, "&<\x17\x01o", 30, 32);
    p.doc.pageEnd();
    const std::string svg = p.finish(namedGlyphs());
    ASSERT_EQ(xmlErrors(svg), "");
    std::vector<std::string> runs = elements(svg, R"(<tspan[^>]*>[^<]*</tspan>)");
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0],
              "<tspan\n x=\"82.27\" y=\"92.27\" font-size=\"10\" textLength=\"15\" "
              "lengthAdjust=\"spacingAndGlyphs\">The</tspan>");
    // Ligatures are their letters; the compound word mark is nothing.
    // Names the list does not know (suppress), and a name for a control
    // character, fall back to conv's text of the code; so does a glyph
    // the font lacks.
    EXPECT_EQ(invisibleText(svg), "Theffffi \u2014\u201C \u0141\u0144\u0104 &amp;&lt;\uE001o|");
    EXPECT_EQ(attr(runs[3], "textLength"), 15);
    EXPECT_EQ(attr(runs[3], "x"), 82.27);
    EXPECT_EQ(attr(runs[3], "y"), 104.27);
    // Only the spaces between runs stand between the elements of the text.
    for (const std::string& t : elements(svg, R"(<text [^>]*>[\s\S]*?</text>)"))
        EXPECT_EQ(std::regex_replace(t, std::regex(R"(<[^>]*>[^<]*</tspan>)"), "R"),
                  "<text fill=\"transparent\" xml:space=\"preserve\">RR R R R</text>");
}

// A run the machine splits when it is full goes on in a second element
// at the next character's place, with nothing between the two.
TEST(PathsDocument, AFullRunGoesOnInTheNextElement) {
    Doc p;
    const FontDef* f = p.font(0, "t1", 10);
    p.doc.pageBegin(1);
    p.doc.fontSelect(0);
    p.word(f, std::string(kRunCapacity + 5, 'e'), 0, 0, 0.5);
    p.doc.pageEnd();
    const std::string svg = p.finish(namedGlyphs());
    ASSERT_EQ(xmlErrors(svg), "");
    std::vector<std::string> runs = elements(svg, R"(<tspan[^>]*>[^<]*</tspan>)");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(attr(runs[0], "textLength"), kRunCapacity * 0.5);
    EXPECT_EQ(attr(runs[1], "x"), 72.27 + kRunCapacity * 0.5);
    EXPECT_EQ(attr(runs[1], "textLength"), 2.5);
    EXPECT_EQ(invisibleText(svg), std::string(kRunCapacity + 5, 'e') + "|");
}

TEST(PathsDocument, ADocumentCutShortIsClosedWithEmptyGlyphsAndTheCodesText) {
    Doc p;
    const FontDef* f = p.font(0, "t1", 10);
    p.doc.pageBegin(1);
    p.doc.fontSelect(0);
    p.word(f, "\x1B&o", 10, 20);
    p.special("color push rgb 1 0 0");
    p.rule(0, 0, 1, 1);
    // No eop, no end: the run stops here.
    const std::string svg = p.cutShort();
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(invisibleText(svg), "\uE01B&amp;o|");
    EXPECT_EQ(elements(svg, "<path").size(), 0u);
    EXPECT_EQ(elements(svg, "<g id=").size(), 3u);
    EXPECT_EQ(svg.substr(svg.size() - 8), "\n</svg>\n");
}

TEST(PathsDocument, DocumentsWithoutAFrameAreStillDocuments) {
    {
        // The DVI file had no postamble: nothing but the root.
        OutCapture log, out;
        HandedCapture bytes;
        PathsDocument doc(bytes.handle(), log.f, out.f);
        doc.head();
        EXPECT_TRUE(doc.close());
        EXPECT_EQ(xmlErrors(bytes.str()), "") << bytes.str();
    }
    {
        // Preamble factors that make no finite scale.
        DviFrame frame = frameOf(100, 100);
        frame.ptPerDvi = std::numeric_limits<float>::infinity();
        Doc p(frame);
        const FontDef* f = p.font(0, "f", 10);
        p.doc.pageBegin(1);
        p.chr(f, 'a', 1, 1);
        p.rule(1, 1, 1, 1);
        p.doc.pageEnd();
        const std::string svg = p.finish({});
        ASSERT_EQ(xmlErrors(svg), "");
        EXPECT_EQ(svg.find("inf"), std::string::npos);
        EXPECT_EQ(svg.find("nan"), std::string::npos);
    }
}

// The trace of the text state machine is the default document's, event
// for event: both writers share it.
TEST(PathsDocument, TheTextMachineTracesAsInTheDefaultDocument) {
    OutCapture textLog, textOut, pathsLog, pathsOut;
    HandedCapture textSvg, pathsSvg;
    TextDocument text(textSvg.handle(), textLog.f, textOut.f);
    PathsDocument paths(pathsSvg.handle(), pathsLog.f, pathsOut.f);
    testing::TeeSink both({&text, &paths});
    FontDef def{0, 0, 10 * kPt, 10 * kPt, "f"};
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        switch (rng() % 9) {
            case 0: both.pageBegin(1); break;
            case 1: both.pageEnd(); break;
            case 2: both.fontSelect(static_cast<int32_t>(rng() % 3)); break;
            case 3: both.rule({0, 0, 1, 1, false}); break;
            case 4: both.movement(0, 0); break;
            case 5: both.special(SpecialEvent{0, 0, "x", 1}); break;
            case 6: both.plain(PlainCommand::Push); break;
            default:
                both.character({static_cast<int32_t>(rng() % 256), 0, rng() % 4 ? &def : nullptr,
                                static_cast<int32_t>(rng() % 1000), 0, 100, false});
        }
    }
    text.end();
    paths.end({}, nullptr);
    // The paths writer adds its own lines, each on a line of its own.
    const std::string pathsTrace = std::regex_replace(pathsLog.str(), std::regex("\nPaths: [^\n]*"), "");
    EXPECT_GT(textLog.str().size(), 3000u);
    EXPECT_EQ(pathsTrace, textLog.str());
}

// Any sequence of events, however malformed (characters without font,
// positions and sizes at the ends of their range, pages without bop or
// eop, specials of any bytes), gives a well-formed document without
// control characters.
TEST(PathsDocument, AnyEventSequenceGivesAWellFormedDocument) {
    std::mt19937 rng(20261210);
    Doc p(frameOf(600, 800, {1, 1, 1}));
    std::vector<const FontDef*> fonts = {p.font(0, "t1", 10), p.font(1, "f-1", 0), p.font(2, "big", 65535),
                                         nullptr};
    const std::vector<int32_t> extremes = {0, 1, -1, INT32_MAX, INT32_MIN, 65536, -65536};
    const auto value = [&] {
        return rng() % 3 == 0 ? extremes[rng() % extremes.size()] : static_cast<int32_t>(rng() % (2000 * kPt));
    };
    const std::vector<std::string> specials = {"color push rgb 1 0 0", "color pop", "color push Red",
                                               "color push cmyk 0 0 0", "color gray 0.5", "color push rgb 1 0 <",
                                               std::string("color push \0\x01\xff", 14), "ps: &<>\"'"};
    for (int i = 0; i < 20000; ++i) {
        switch (rng() % 12) {
            case 0:
                if (rng() % 4 == 0) p.doc.pageBegin(1);
                break;
            case 1:
                if (rng() % 4 == 0) p.doc.pageEnd();
                break;
            case 2: p.doc.fontSelect(static_cast<int32_t>(rng() % 256)); break;
            case 3:
                p.doc.rule({value(), value(), value(), value(), false});
                break;
            case 4: p.doc.movement(value(), value()); break;
            case 5: {
                const std::string& s = specials[rng() % specials.size()];
                p.doc.special(SpecialEvent{0, 0, s, s.size()});
                break;
            }
            case 6: p.doc.plain(PlainCommand::Pop); break;
            default: {
                const FontDef* f = fonts[rng() % fonts.size()];
                p.doc.character({static_cast<int32_t>(rng() % 256), f != nullptr ? f->number : 255, f, value(),
                                 value(), value(), rng() % 5 == 0});
            }
        }
    }
    std::map<std::string, GeneratedFont> outlines = namedGlyphs();
    outlines["big"] = outlinesOf({{'a', "a\x01<&\"\xff", "M0 0\x01<&\"\xffZ"}});
    const std::string svg = p.finish(outlines);
    ASSERT_EQ(xmlErrors(svg), "");
    EXPECT_GT(uses(svg).size(), 1000u);
    EXPECT_GT(elements(svg, "<text ").size(), 50u);
    EXPECT_EQ(svg.find("<!DOCTYPE"), std::string::npos);
    for (unsigned char c : svg) ASSERT_TRUE(c >= 0x20 || c == '\n') << "control byte " << static_cast<int>(c);
    std::multiset<std::string> ids;
    for (const std::string& id : elements(svg, R"re( id="[^"]*")re")) ids.insert(id.substr(5, id.size() - 6));
    for (const std::string& u : uses(svg)) ASSERT_EQ(ids.count(hrefOf(u)), 1u) << u;
}

}  // namespace
}  // namespace morvex
