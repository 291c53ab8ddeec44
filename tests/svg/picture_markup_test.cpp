// The picture program's records as markup: paths in short relative syntax
// whose rounding does not add up, paint of one kind gathered in one group,
// clips nested and defined once, ids made from what they name, strokes
// under their transformation, gradients, images as PNG data, and the frame
// the glyphs get.
#include "svg/picture_markup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"
#include "support/render.h"
#include "svg/picture_geometry.h"
#include "svg/picture_images.h"

namespace morvex {
namespace {

using pictures::Affine;
using pictures::Path;
using pictures::PathOp;

constexpr double kO = kPictureOrigin;  // the DVI origin in page coordinates

Path square(double x, double y, double side) {
    Path p;
    p.ops = {PathOp::Move, PathOp::Line, PathOp::Line, PathOp::Line, PathOp::Close};
    p.coords = {x, y, x + side, y, x + side, y + side, x, y + side};
    return p;
}

pictures::Fill fill(pictures::Rgb8 color, Path path, uint32_t clip = 0) {
    pictures::Fill f;
    f.color = color;
    f.path = std::move(path);
    f.clip = clip;
    return f;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(PictureGeometry, PathsAreRelativeAndTheirRoundingDoesNotAddUp) {
    struct Case {
        const char* name;
        Path path;
        double shift;
        int places;
        const char* d;
    };
    Path steps;  // a hundred steps of 0.004: each rounds to 0, their sum does not
    steps.ops.push_back(PathOp::Move);
    steps.coords = {0, 0};
    for (int i = 1; i <= 100; ++i) {
        steps.ops.push_back(PathOp::Line);
        steps.coords.insert(steps.coords.end(), {i * 0.004, 0});
    }
    Path curve;
    curve.ops = {PathOp::Move, PathOp::Curve, PathOp::Close, PathOp::Move, PathOp::Line};
    curve.coords = {10, 10, 11, 12, 13, 14, 15, 16, 20, 20, 21.5, 19.25};
    const Case cases[] = {
        {"square moved to the DVI origin", square(kO + 1, kO + 2, 3), -kO, 2, "M1 2l3 0l0 3l-3 0z"},
        {"negative numbers run on", square(kO - 1, kO - 2, 0.5), -kO, 2, "M-1-2l.5 0l0 .5l-.5 0z"},
        {"curve, then a move from the closed start", curve, 0, 2, "M10 10c1 2 3 4 5 6zm10 10l1.5-.75"},
        {"a fraction after a whole number is set apart", square(kO + 2, kO + 0.5, 0.25), -kO, 2, "M2 .5l.25 0l0 .25l-.25 0z"},
    };
    for (const Case& c : cases) {
        std::string d;
        appendPathData(d, c.path, c.shift, c.shift, c.places);
        EXPECT_EQ(d, c.d) << c.name;
    }
    std::string d;
    appendPathData(d, steps, 0, 0, 2);
    // The line ends where the last point rounds to, 0.4.
    double x = 0;
    const std::regex number(R"(-?[0-9]*\.?[0-9]+)");
    std::sregex_iterator it(d.begin(), d.end(), number), end;
    int i = 0;
    for (; it != end; ++it, ++i)
        if (i % 2 == 0) x += std::stod(it->str());
    EXPECT_NEAR(x, 0.4, 1e-9) << d;
}

TEST(PictureGeometry, PlacesFollowTheScaleOfTheSpace) {
    EXPECT_EQ(placesFor(Affine{}), 2);
    EXPECT_EQ(placesFor(Affine{0.01, 0, 0, 0.01, 0, 0}), 0);
    EXPECT_EQ(placesFor(Affine{100, 0, 0, 100, 0, 0}), 4);
    EXPECT_EQ(placesFor(Affine{0, 0, 0, 0, 0, 0}), 6);
}

// Paint of one kind in a row is one group; another colour starts another.
TEST(PictureMarkup, LikePaintIsGathered) {
    pictures::Report report;
    PictureMarkup markup(report, 612, 792);
    const pictures::Rgb8 red{255, 0, 0}, blue{0, 0, 255};
    const DrawnMarkup m = markup.paints({fill(red, square(kO, kO, 1)), fill(red, square(kO + 2, kO, 1)),
                                         fill(blue, square(kO + 4, kO, 1)), fill(red, square(kO + 6, kO, 1))});
    EXPECT_EQ(count(m.elements, "<g fill=\"#ff0000\">"), 2u) << m.elements;
    EXPECT_EQ(count(m.elements, "<g fill=\"#0000ff\">"), 1u);
    EXPECT_EQ(count(m.elements, "<path "), 4u);
    EXPECT_EQ(count(m.elements, "<g"), count(m.elements, "</g>"));
    EXPECT_DOUBLE_EQ(m.ink.minX, 0);
    EXPECT_DOUBLE_EQ(m.ink.maxX, 7);
    EXPECT_DOUBLE_EQ(m.ink.maxY, 1);
}

// A clip within a clip: both defined once on a page, nested groups around
// the paint, and the ink cut down to both.
TEST(PictureMarkup, ClipsNestAndAreDefinedOnce) {
    pictures::Report report;
    report.clips[1] = {1, 0, false, square(kO, kO, 10)};
    report.clips[2] = {2, 1, true, square(kO + 5, kO + 5, 10)};
    PictureMarkup markup(report, 612, 792);
    const pictures::Rgb8 green{0, 255, 0};
    const DrawnMarkup first = markup.paints({fill(green, square(kO - 20, kO - 20, 40), 2)});
    EXPECT_EQ(count(first.elements, "<clipPath id=\"mvx-c"), 2u) << first.elements;
    EXPECT_EQ(count(first.elements, "clip-rule=\"evenodd\""), 1u);
    EXPECT_EQ(count(first.elements, "<g clip-path=\"url(#mvx-c"), 2u);
    EXPECT_DOUBLE_EQ(first.ink.minX, 5);
    EXPECT_DOUBLE_EQ(first.ink.maxX, 10);
    // The parent's clip path comes first, and the outer group is the parent's.
    const size_t parentDef = first.elements.find("<clipPath");
    const std::string parentId = first.elements.substr(parentDef + 14, 21);
    EXPECT_LT(first.elements.find("url(#" + parentId + ")"), first.elements.rfind("<g clip-path"));

    const DrawnMarkup again = markup.paints({fill(green, square(kO, kO, 1), 2)});
    EXPECT_EQ(count(again.elements, "<clipPath"), 0u);
    EXPECT_EQ(count(again.elements, "<g clip-path"), 2u);
    // A page in a document of its own defines them again, with the same ids.
    markup.beginPage(true);
    const DrawnMarkup own = markup.paints({fill(green, square(kO, kO, 1), 2)});
    EXPECT_EQ(count(own.elements, "<clipPath id=\"" + parentId + "\""), 1u);
}

// Two clips of one path (pages of one picture each) are one definition in
// a document; clips nested without end open a bounded number of groups.
TEST(PictureMarkup, OneClipPathIsDefinedOnceAndNestingIsBounded) {
    pictures::Report report;
    report.clips[1] = {1, 0, false, square(kO, kO, 10)};
    report.clips[2] = {2, 0, false, square(kO, kO, 10)};
    for (uint32_t id = 3; id < 1003; ++id) report.clips[id] = {id, id - 1, false, square(kO, kO, 10 + id)};
    PictureMarkup markup(report, 612, 792);
    const std::string both = markup.paints({fill({}, square(kO, kO, 1), 1)}).elements +
                             markup.paints({fill({}, square(kO, kO, 1), 2)}).elements;
    EXPECT_EQ(count(both, "<clipPath"), 1u) << both;
    EXPECT_EQ(count(both, "<g clip-path"), 2u);
    const std::string deep = markup.paints({fill({}, square(kO, kO, 1), 1002)}).elements;
    EXPECT_EQ(count(deep, "<g clip-path"), 32u);
    EXPECT_EQ(count(deep, "<g"), count(deep, "</g>"));
}

TEST(PictureMarkup, IdsNameWhatTheyDefine) {
    pictures::Report a, b;
    a.clips[1] = {1, 0, false, square(kO, kO, 10)};
    b.clips[7] = {7, 0, false, square(kO, kO, 10)};
    pictures::Report c = a;
    c.clips[1].path = square(kO, kO, 11);
    std::vector<std::string> defs;
    for (const pictures::Report* r : {&a, &b, &c}) {
        PictureMarkup markup(*r, 612, 792);
        const uint32_t clip = r->clips.begin()->first;
        const std::string e = markup.paints({fill({}, square(kO, kO, 1), clip)}).elements;
        defs.push_back(e.substr(e.find("id=\""), 26));
    }
    EXPECT_EQ(defs[0], defs[1]);  // the same clip, whatever its number in the run
    EXPECT_NE(defs[0], defs[2]);
}

TEST(PictureMarkup, StrokesKeepTheirSpaceAndStyle) {
    pictures::Report report;
    PictureMarkup markup(report, 612, 792);
    pictures::Stroke s;
    s.color = {0, 0, 255};
    s.width = 2;
    s.cap = 1;
    s.join = 2;
    s.dashes = {3, 1};
    s.dashOffset = 0.5;
    s.alpha = 0.25;
    s.matrix = {0, 2, -2, 0, kO + 10, kO + 20};  // turned a quarter, twice the size
    s.path.ops = {PathOp::Move, PathOp::Line};
    s.path.coords = {0, 0, 5, 0};
    const DrawnMarkup m = markup.paints({s});
    for (const char* want : {"stroke=\"#0000ff\"", "stroke-width=\"2\"", "stroke-linecap=\"round\"",
                             "stroke-linejoin=\"bevel\"", "stroke-dasharray=\"3 1\"", "stroke-dashoffset=\"0.5\"",
                             "stroke-opacity=\"0.25\"", "transform=\"matrix(0 2 -2 0 10 20)\"", "d=\"M0 0l5 0\""})
        EXPECT_NE(m.elements.find(want), std::string::npos) << want << " in " << m.elements;
    // From (10, 20) down 10 points, and half the width (2 on the page)
    // around it: the round caps reach no further.
    EXPECT_NEAR(m.ink.minY, 18, 1e-9);
    EXPECT_NEAR(m.ink.maxY, 32, 1e-9);
}

// A stroke's ink reaches half its width beyond its path, further at square
// caps and at miter joins within the limit.
TEST(PictureGeometry, StrokesReachAsTheirCapsAndJoinsDo) {
    struct Case {
        const char* name;
        Path path;
        int cap, join;
        double miterLimit;
        double reach;
    };
    Path sharp;  // a turn of about 11 degrees: its miter is 10 half widths long
    sharp.ops = {PathOp::Move, PathOp::Line, PathOp::Line};
    sharp.coords = {0, 0, 10, 0, 0, 1.9};
    Path back = square(0, 0, 10);  // the last side drawn, then a close of no length
    back.ops = {PathOp::Move, PathOp::Line, PathOp::Line, PathOp::Line, PathOp::Line, PathOp::Close};
    back.coords.insert(back.coords.end(), {0, 0});
    const Case cases[] = {
        {"a line, butt caps", square(0, 0, 0), 0, 0, 10, 1},
        {"square caps", square(0, 0, 0), 2, 1, 10, std::sqrt(2.0)},
        {"a square, mitred", square(0, 0, 10), 0, 0, 10, std::sqrt(2.0)},
        {"a square closed by its last side", back, 0, 0, 10, std::sqrt(2.0)},
        {"a square, round joins", square(0, 0, 10), 0, 1, 10, 1},
        {"a sharp turn within the limit", sharp, 0, 0, 20, 10.5},
        {"a sharp turn past the limit: bevelled", sharp, 0, 0, 10, 1},
    };
    for (const Case& c : cases) {
        pictures::Stroke s;
        s.path = c.path;
        s.cap = c.cap;
        s.join = c.join;
        s.miterLimit = c.miterLimit;
        EXPECT_NEAR(strokeReach(s), c.reach, c.reach > 10 ? 0.6 : 1e-9) << c.name;
    }
    EXPECT_NEAR(largestScaleOf(Affine{3, 0, 0, 1, 0, 0}), 3, 1e-12);
    EXPECT_NEAR(largestScaleOf(Affine{0, 2, -2, 0, 5, 5}), 2, 1e-12);
}

TEST(PictureMarkup, GradientsAreDefinedWithTheirStops) {
    pictures::Report report;
    PictureMarkup markup(report, 612, 792);
    pictures::Gradient axial;
    axial.coords = {0, 0, 10, 0};
    axial.matrix = {1, 0, 0, 1, kO, kO};
    axial.stops = {{0, {255, 0, 0}}, {1, {0, 0, 255}}};
    pictures::Gradient radial = axial;
    radial.radial = true;
    radial.coords = {5, 5, 0, 5, 5, 4};
    const DrawnMarkup m = markup.paints({axial, radial});
    EXPECT_NE(m.elements.find("<linearGradient id=\"mvx-g"), std::string::npos) << m.elements;
    EXPECT_NE(m.elements.find("x2=\"10\""), std::string::npos);
    EXPECT_NE(m.elements.find("<radialGradient id=\"mvx-g"), std::string::npos);
    EXPECT_NE(m.elements.find("fr=\"0\" cx=\"5\" cy=\"5\" r=\"4\""), std::string::npos);
    EXPECT_EQ(count(m.elements, "<stop offset=\"0\" stop-color=\"#ff0000\"/>"), 2u);
    // Without its extends the axial shading paints its band alone, and the
    // radial one its circle.
    EXPECT_NEAR(m.ink.minX, 0, 1e-6);
    EXPECT_NEAR(m.ink.maxX, 10, 1e-6);
}

// Samples of each kind become the pixels dvips's printer would show.
TEST(PictureImages, SamplesOfEachKindBecomePixels) {
    struct Case {
        const char* name;
        char kind;
        int width, bits;
        std::vector<double> decode;
        std::vector<std::string> planes;
        std::string palette;
        PngColor color;
        std::vector<uint8_t> pixels;
    };
    const Case cases[] = {
        {"grey, decode inverted", 'g', 2, 8, {1, 0}, {std::string("\x00\xff", 2)}, "", PngColor::Gray, {255, 0}},
        {"grey, 2 bits", 'g', 4, 2, {0, 1}, {std::string("\x1b", 1)}, "", PngColor::Gray, {0, 85, 170, 255}},
        {"RGB interleaved", 'r', 1, 8, {0, 1, 0, 1, 0, 1}, {std::string("\xff\x80\x00", 3)}, "", PngColor::Rgb,
         {255, 128, 0}},
        {"RGB in planes", 'r', 2, 8, {0, 1, 0, 1, 0, 1},
         {std::string("\xff\x00", 2), std::string("\x00\xff", 2), std::string("\x00\x00", 2)}, "", PngColor::Rgb,
         {255, 0, 0, 0, 255, 0}},
        {"CMYK", 'k', 2, 8, {0, 1, 0, 1, 0, 1, 0, 1}, {std::string("\xff\x00\x00\x00\x00\x00\x00\xff", 8)}, "",
         PngColor::Rgb, {0, 255, 255, 0, 0, 0}},
        {"indexed", 'x', 3, 1, {}, {std::string("\x40", 1)}, std::string("\xff\x00\x00\x00\x00\xff", 6),
         PngColor::Rgb, {255, 0, 0, 0, 0, 255, 255, 0, 0}},
    };
    for (const Case& c : cases) {
        pictures::Image image;
        image.kind = c.kind;
        image.width = c.width;
        image.height = 1;
        image.bits = c.bits;
        image.decode = c.decode;
        image.planes = c.planes;
        image.palette = c.palette;
        std::vector<uint8_t> pixels;
        PngColor color = PngColor::Rgba;
        ASSERT_TRUE(imagePixels(image, pixels, color)) << c.name;
        EXPECT_EQ(color, c.color) << c.name;
        EXPECT_EQ(pixels, c.pixels) << c.name;
    }
    // Too few samples for the image: nothing.
    pictures::Image shortImage;
    shortImage.width = 4;
    shortImage.height = 4;
    shortImage.decode = {0, 1};
    shortImage.planes = {std::string(3, '\0')};
    std::vector<uint8_t> pixels;
    PngColor color = PngColor::Gray;
    EXPECT_FALSE(imagePixels(shortImage, pixels, color));
}

// An image's samples reach the document as a PNG of the same pixels.
TEST(PictureMarkup, ImagesArePngData) {
    pictures::Report report;
    PictureMarkup markup(report, 612, 792);
    pictures::Image image;
    image.matrix = {20, 0, 0, 10, kO, kO};
    image.width = 3;
    image.height = 2;
    image.bits = 4;
    image.kind = 'g';
    image.decode = {0, 1};
    image.planes = {std::string("\x0f\x70\xf8\x00", 4)};  // rows padded to bytes
    const DrawnMarkup m = markup.paints({image});
    const std::string prefix = "xlink:href=\"data:image/png;base64,";
    const size_t at = m.elements.find(prefix);
    ASSERT_NE(at, std::string::npos) << m.elements;
    const std::string b64 = m.elements.substr(at + prefix.size(), m.elements.find('"', at + prefix.size()) -
                                                                      at - prefix.size());
    std::string png;
    int bits = 0, value = 0;
    for (char ch : b64) {
        const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        if (ch == '=') break;
        value = (value << 6) | static_cast<int>(alphabet.find(ch));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            png += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeFile(dir.file("image.png"), png));
    const testing::Rendered read = testing::readPng(dir.file("image.png"));
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.image.width, 3);
    ASSERT_EQ(read.image.height, 2);
    const uint8_t want[] = {0, 255, 119, 255, 136, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(read.image.pixels[i], want[i]) << i;
    EXPECT_NE(m.elements.find("transform=\"matrix(20 0 0 10 0 0)\""), std::string::npos);
    EXPECT_DOUBLE_EQ(m.ink.maxX, 20);
}

// A pattern whose cell paints with a pattern whose cell paints with...
// is drawn a few levels deep; an image too large to hold is left out.
TEST(PictureMarkup, NestedPatternsAndHugeImagesAreBounded) {
    pictures::Report report;
    for (uint32_t id = 1; id <= 50; ++id) {
        pictures::Cell cell;
        cell.id = id;
        cell.xStep = cell.yStep = 4;
        cell.box[2] = cell.box[3] = 4;
        if (id == 1) {
            cell.paints.push_back(fill({255, 0, 0}, square(0, 0, 2)));
        } else {
            pictures::PatternPaint inner;
            inner.cell = id - 1;
            cell.paints.push_back(inner);
        }
        report.cells[id] = cell;
    }
    PictureMarkup markup(report, 612, 792);
    pictures::PatternPaint outer;
    outer.cell = 50;
    const DrawnMarkup m = markup.paints({outer});
    EXPECT_EQ(count(m.elements, "<pattern "), 4u) << m.elements.substr(0, 2000);
    EXPECT_EQ(count(m.elements, "<pattern "), count(m.elements, "</pattern>"));

    pictures::Image huge;
    huge.matrix = {10, 0, 0, 10, kO, kO};
    huge.width = 1 << 16;  // 32 MiB of samples, 768 MiB of pixels
    huge.height = 1 << 12;
    huge.bits = 1;
    huge.decode = {0, 1};
    huge.planes = {std::string(size_t{1} << 25, '\xff')};
    EXPECT_TRUE(markup.paints({huge}).elements.empty());
}

// An uncoloured cell takes the colour it is tiled with: one pattern for
// each colour.
TEST(PictureMarkup, AnUncolouredCellTakesItsTint) {
    pictures::Report report;
    pictures::Cell cell;
    cell.id = 1;
    cell.paintType = 2;
    cell.xStep = cell.yStep = 4;
    cell.box[2] = cell.box[3] = 4;
    cell.paints.push_back(fill({0, 0, 0}, square(0, 0, 2)));
    report.cells[1] = cell;
    PictureMarkup markup(report, 612, 792);
    pictures::PatternPaint red, green;
    red.cell = green.cell = 1;
    red.color = {255, 0, 0};
    green.color = {0, 255, 0};
    const std::string m = markup.paints({red, green, red}).elements;
    EXPECT_EQ(count(m, "<pattern "), 2u) << m;
    EXPECT_EQ(count(m, "fill=\"#ff0000\""), 1u);
    EXPECT_EQ(count(m, "fill=\"#00ff00\""), 1u);
    EXPECT_EQ(count(m, "fill=\"#000000\""), 0u);
}

// The frame of the glyphs: the transformation in the DVI origin's space,
// the clip, and nothing seen for invisible paint.
TEST(PictureMarkup, FramesMoveTheGlyphsAsThePageWas) {
    pictures::Report report;
    report.clips[3] = {3, 0, false, square(kO, kO, 10)};
    PictureMarkup markup(report, 612, 792);
    pictures::EndState plain;
    std::string defs;
    EXPECT_TRUE(markup.frame(plain, defs).plain());
    EXPECT_TRUE(defs.empty());

    pictures::EndState turned;  // a quarter turn about the DVI point (10, 0)
    turned.transform = {0, 1, -1, 0, kO + 10 + kO, kO - 10 - kO};
    const ItemFrame f = markup.frame(turned, defs);
    EXPECT_NEAR(f.a * 10 + f.c * 0 + f.e, 10, 1e-9);  // its centre stays
    EXPECT_NEAR(f.b * 10 + f.d * 0 + f.f, 0, 1e-9);
    EXPECT_NEAR(f.a * 11 + f.e, 10, 1e-9);
    EXPECT_NEAR(f.b * 11 + f.f, 1, 1e-9);

    pictures::EndState clipped;
    clipped.clip = 3;
    clipped.invisible = true;
    const ItemFrame g = markup.frame(clipped, defs);
    EXPECT_NE(defs.find("<clipPath"), std::string::npos);
    EXPECT_EQ(g.depth, 2u);
    EXPECT_NE(g.open.find("<g clip-path="), std::string::npos);
    EXPECT_NE(g.open.find("opacity=\"0\""), std::string::npos);
}

}  // namespace
}  // namespace morvex
