// The page box of both renderers: dvipng's picture of rules at known
// places, and Chromium's of a hand-written SVG document in points holding
// the same rules, which is what an SVG rendering of a page has to match.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "render/tex_pages.h"
#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

constexpr double kTexPtPerInch = 72.27;

// dvipng puts a rule's corner on the nearest pixel and rounds its size up:
// an edge may be off by up to one and a half pixels.
constexpr double kRuleEdgePx = 1.5;

// The columns and rows holding ink (gray below the middle).
struct InkBounds {
    int left = -1, top = -1, right = -1, bottom = -1;  // right, bottom: one past the last ink
};

InkBounds inkBounds(const GrayImage& image) {
    InkBounds b;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) >= 128) continue;
            if (b.left < 0 || x < b.left) b.left = x;
            if (b.top < 0) b.top = y;
            b.right = std::max(b.right, x + 1);
            b.bottom = y + 1;
        }
    }
    return b;
}

// Pages made of rules only: page 1 has 10pt squares in the four corners of
// a 200pt x 100pt page; page -3 has one square in the middle of the same
// box; page 7 a smaller page with one square at its top right.
constexpr const char* kCornerPages = R"TEX(\def\sq{\vrule width 10pt height 10pt depth 0pt}
\count0=1 \shipout\vbox to 100pt{\offinterlineskip
\hbox to 200pt{\sq\hfil\sq}\vfil\hbox to 200pt{\sq\hfil\sq}}
\count0=-3 \shipout\vbox to 100pt{\offinterlineskip\vfil
\hbox to 200pt{\hfil\sq\hfil}\vfil}
\count0=7 \shipout\vbox to 50pt{\offinterlineskip
\hbox to 100pt{\hfil\sq}\vfil}
\end
)TEX";

TEST(DvipngBoxTest, CornerRulesLandOnTheEdgesOfThePageBox) {
    TempDir dir;
    std::string log;
    std::string plain = texPage(dir, "corners", kCornerPages, &log);
    ASSERT_FALSE(plain.empty()) << log;
    std::string magnified = texPage(dir, "magnified", std::string("\\mag=2000 ") + kCornerPages, &log);
    ASSERT_FALSE(magnified.empty()) << log;
    struct Case {
        const char* dvi;
        double mag;
        int dpi;
        int oversample;
    };
    const Case cases[] = {{"corners", 1, 96, 1}, {"corners", 1, 150, 1},  {"corners", 1, 192, 1},
                          {"corners", 1, 192, 4}, {"magnified", 2, 96, 1}, {"magnified", 2, 72, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dvi << " at " << c.dpi << " dpi, oversampled " << c.oversample);
        Rendered r = renderDvipng(dir.file(std::string(c.dvi) + ".dvi"), 1, c.dpi, 0, 0, c.oversample);
        ASSERT_TRUE(r.ok()) << r.error;
        double pxPerPt = c.dpi / kTexPtPerInch;
        // The box: the widest page (200pt) and the margin, rounded up.
        EXPECT_EQ(r.image.width, static_cast<int>(std::ceil((200 * c.mag + kTexPtPerInch) * pxPerPt)));
        EXPECT_EQ(r.image.height, static_cast<int>(std::ceil((100 * c.mag + kTexPtPerInch) * pxPerPt)));
        // The squares touch the DVI origin, one inch in, and the far edges.
        InkBounds b = inkBounds(r.image);
        EXPECT_NEAR(b.left, c.dpi, kRuleEdgePx);
        EXPECT_NEAR(b.top, c.dpi, kRuleEdgePx);
        EXPECT_NEAR(b.right, c.dpi + 200 * c.mag * pxPerPt, kRuleEdgePx);
        EXPECT_NEAR(b.bottom, c.dpi + 100 * c.mag * pxPerPt, kRuleEdgePx);
    }
}

TEST(DvipngBoxTest, PagesAreChosenByTheirCountZero) {
    TempDir dir;
    std::string log;
    std::string dvi = texPage(dir, "corners", kCornerPages, &log);
    ASSERT_FALSE(dvi.empty()) << log;
    constexpr int kDpi = 96;
    double pxPerPt = kDpi / kTexPtPerInch;
    // The middle square of page -3, in a box as wide as page 1's.
    Rendered middle = renderDvipng(dvi, -3, kDpi);
    ASSERT_TRUE(middle.ok()) << middle.error;
    InkBounds b = inkBounds(middle.image);
    EXPECT_NEAR(b.left, kDpi + 95 * pxPerPt, kRuleEdgePx);
    EXPECT_NEAR(b.right, kDpi + 105 * pxPerPt, kRuleEdgePx);
    EXPECT_NEAR(b.top, kDpi + 45 * pxPerPt, kRuleEdgePx);
    // The smaller page 7 still gets the box of the widest and tallest pages.
    Rendered small = renderDvipng(dvi, 7, kDpi);
    ASSERT_TRUE(small.ok()) << small.error;
    EXPECT_EQ(small.image.width, middle.image.width);
    EXPECT_EQ(small.image.height, middle.image.height);
    EXPECT_NEAR(inkBounds(small.image).right, kDpi + 100 * pxPerPt, kRuleEdgePx);
    // A size asked for is the size made.
    Rendered sized = renderDvipng(dvi, 7, kDpi, 301, 157);
    ASSERT_TRUE(sized.ok()) << sized.error;
    EXPECT_EQ(sized.image.width, 301);
    EXPECT_EQ(sized.image.height, 157);

    Rendered absent = renderDvipng(dvi, 2, kDpi);
    EXPECT_FALSE(absent.ok());
    EXPECT_NE(absent.error.find("no page numbered 2"), std::string::npos) << absent.error;
    EXPECT_FALSE(renderDvipng(dir.file("missing.dvi"), 1, kDpi).ok());
}

// A rectangle in TeX points from the DVI origin, x right and y down.
struct Rect {
    double x, y, w, h;
};

// Squares in the corners of a 470pt x 650pt page, thin rules across it, a
// small block, and a frame (drawn as one path with a hole in the SVG, as
// four rules by TeX).
const Rect kSquares[] = {{0, 0, 10, 10}, {460, 0, 10, 10}, {0, 640, 10, 10}, {460, 640, 10, 10}};
const Rect kRules[] = {{0, 100, 470, 0.4}, {235, 120, 0.4, 520}, {20, 300, 150, 1}};
const Rect kBlock = {50, 500, 30, 20};
const Rect kFrameOuter = {300, 300, 100, 60};
constexpr double kFrameWidth = 2;

std::vector<Rect> allRects() {
    std::vector<Rect> all(std::begin(kSquares), std::end(kSquares));
    all.insert(all.end(), std::begin(kRules), std::end(kRules));
    all.push_back(kBlock);
    const Rect& f = kFrameOuter;
    all.push_back({f.x, f.y, f.w, kFrameWidth});
    all.push_back({f.x, f.y + f.h - kFrameWidth, f.w, kFrameWidth});
    all.push_back({f.x, f.y + kFrameWidth, kFrameWidth, f.h - 2 * kFrameWidth});
    all.push_back({f.x + f.w - kFrameWidth, f.y + kFrameWidth, kFrameWidth, f.h - 2 * kFrameWidth});
    return all;
}

std::string number(double v) {
    char s[32];
    std::snprintf(s, sizeof s, "%.5f", v);
    return s;
}

// The TeX page of the rectangles, each scaled by `scale` about the page box's
// top-left corner (one inch up and left of the DVI origin).
std::string texRules(double scale) {
    auto at = [scale](double v) { return (v + kTexPtPerInch) * scale - kTexPtPerInch; };
    std::string tex =
        "\\def\\rect#1#2#3#4{\\vbox to0pt{\\kern#2pt\\moveright#1pt"
        "\\hbox{\\vrule width#3pt height#4pt depth0pt}\\vss}}\n"
        "\\shipout\\vbox to650pt{\\offinterlineskip\\hbox to470pt{}\\nointerlineskip\n";
    for (const Rect& r : allRects()) {
        tex += "\\rect{" + number(at(r.x)) + "}{" + number(at(r.y)) + "}{" + number(r.w * scale) + "}{" +
               number(r.h * scale) + "}\n";
    }
    return tex + "\\vfil}\n\\end\n";
}

// The same page as an SVG document: user units are TeX points, the viewBox
// is the page box, width and height are the box in SVG points (1/72 in).
std::string svgRules() {
    double boxW = 470 + kTexPtPerInch, boxH = 650 + kTexPtPerInch;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      number(boxW * 72 / kTexPtPerInch) + "pt\" height=\"" + number(boxH * 72 / kTexPtPerInch) +
                      "pt\" viewBox=\"" + number(-kTexPtPerInch) + " " + number(-kTexPtPerInch) + " " +
                      number(boxW) + " " + number(boxH) + "\">\n";
    for (const Rect& r : kSquares) {
        svg += "<rect x=\"" + number(r.x) + "\" y=\"" + number(r.y) + "\" width=\"" + number(r.w) + "\" height=\"" +
               number(r.h) + "\"/>\n";
    }
    for (const Rect& r : kRules) {
        svg += "<rect x=\"" + number(r.x) + "\" y=\"" + number(r.y) + "\" width=\"" + number(r.w) + "\" height=\"" +
               number(r.h) + "\"/>\n";
    }
    svg += "<path d=\"M" + number(kBlock.x) + " " + number(kBlock.y) + "h" + number(kBlock.w) + "v" +
           number(kBlock.h) + "h" + number(-kBlock.w) + "z\"/>\n";
    const Rect& f = kFrameOuter;
    double k = kFrameWidth;
    svg += "<path fill-rule=\"evenodd\" d=\"M" + number(f.x) + " " + number(f.y) + "h" + number(f.w) + "v" +
           number(f.h) + "h" + number(-f.w) + "z M" + number(f.x + k) + " " + number(f.y + k) + "h" +
           number(f.w - 2 * k) + "v" + number(f.h - 2 * k) + "h" + number(-(f.w - 2 * k)) + "z\"/>\n";
    return svg + "</svg>\n";
}

TEST(SvgBoxTest, AnSvgInPointsLooksLikeTexRulesAtTheSamePlaces) {
    constexpr int kScale = 2, kDpi = 96 * kScale;
    TempDir dir;
    std::string log;
    std::string dvi = texPage(dir, "rules", texRules(1.0), &log);
    ASSERT_FALSE(dvi.empty()) << log;
    // The picture an SVG would give whose width and height were the TeX
    // point figures taken as SVG points: 0.4% too large from the corner.
    std::string confused = texPage(dir, "confused", texRules(kTexPtPerInch / 72), &log);
    ASSERT_FALSE(confused.empty()) << log;
    ASSERT_TRUE(writeFile(dir.file("rules.svg"), svgRules()));

    PageBox box = readPageBox(dvi);
    ASSERT_TRUE(box.ok()) << box.error;
    EXPECT_NEAR(box.widthPt, 470 + kTexPtPerInch, 1e-3);
    EXPECT_NEAR(box.heightPt, 650 + kTexPtPerInch, 1e-3);
    int w = box.cssWidth() * kScale, h = box.cssHeight() * kScale;
    Rendered shown = renderChromium(dir.file("rules.svg"), box.cssWidth(), box.cssHeight(), kScale);
    ASSERT_TRUE(shown.ok()) << shown.error;
    Rendered reference = renderDvipng(dvi, 1, kDpi, w, h, 4);
    ASSERT_TRUE(reference.ok()) << reference.error;
    Rendered wrong = renderDvipng(confused, 1, kDpi, w, h, 4);
    ASSERT_TRUE(wrong.ok()) << wrong.error;

    InkCompareOptions options = InkCompareOptions::forDpi(kDpi);
    InkReport same = compareInk(reference.image, shown.image, options);
    std::cout << "  SVG against TeX's rules: " << same.describe(kDpi) << "\n";
    if (!looksAlike(same)) {
        writeComparison("svg-box-same.png", reference.image, shown.image, same);
        ADD_FAILURE() << same.describe(kDpi) << "\n  picture: svg-box-same.png";
    }
    InkReport off = compareInk(wrong.image, shown.image, options);
    std::cout << "  SVG against rules 72.27/72 too far out: " << off.describe(kDpi) << "\n";
    if (looksAlike(off)) {
        writeComparison("svg-box-confused.png", wrong.image, shown.image, off);
        ADD_FAILURE() << off.describe(kDpi) << "\n  picture: svg-box-confused.png";
    }

    // The document is read as XML, as a browser reads an .svg file: one
    // unescaped ampersand and the page is an error message, not the rules.
    std::string broken = replaceOnce(svgRules(), "<path fill-rule", "<path class=\"a&b\" fill-rule");
    ASSERT_FALSE(broken.empty());
    ASSERT_TRUE(writeFile(dir.file("broken.svg"), broken));
    Rendered error = renderChromium(dir.file("broken.svg"), box.cssWidth(), box.cssHeight(), kScale);
    ASSERT_TRUE(error.ok()) << error.error;
    InkReport bad = compareInk(reference.image, error.image, options);
    std::cout << "  SVG that is not well-formed: " << bad.describe(kDpi) << "\n";
    EXPECT_FALSE(looksAlike(bad)) << bad.describe(kDpi);
}

}  // namespace
}  // namespace morvex::testing
