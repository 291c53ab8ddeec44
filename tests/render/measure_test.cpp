// The picture helpers without any renderer: the page box read from DVI
// bytes, PNG files, and the ink comparison on drawn images.
#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

// A minimal DVI file: preamble, one empty page, postamble with the given
// box and units, trailer.
std::string dviWithBox(uint32_t l, uint32_t u, uint32_t num = 25400000, uint32_t den = 473628672,
                       uint32_t mag = 1000) {
    DviWriter w;
    w.pre("box", num, den, mag).bop(1).eop().post(l, u, 1, 1, num, den, mag).postpost();
    return w.str();
}

PageBox boxOf(const TempDir& dir, const std::string& bytes) {
    std::string path = dir.file("box.dvi");
    EXPECT_TRUE(writeFile(path, bytes));
    return readPageBox(path);
}

TEST(PageBoxTest, WidthAndHeightAreThePostamblesWithTheOneInchMargin) {
    TempDir dir;
    struct Case {
        const char* name;
        uint32_t mag;
        double ptPerDvi;
        double widthPt;   // u = 400pt, l = 600pt in TeX's units
        double heightPt;
        int cssWidth;     // ceil(widthPt / 72.27 * 96)
        int cssHeight;
    };
    const Case cases[] = {
        {"TeX's units", 1000, 1.0 / 65536, 472.27, 672.27, 628, 894},
        {"magnified twice", 2000, 2.0 / 65536, 872.27, 1272.27, 1159, 1691},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageBox box = boxOf(dir, dviWithBox(600 * 65536, 400 * 65536, 25400000, 473628672, c.mag));
        ASSERT_TRUE(box.ok()) << box.error;
        EXPECT_EQ(box.maxWidth, 400u * 65536);
        EXPECT_EQ(box.maxHeightDepth, 600u * 65536);
        EXPECT_NEAR(box.ptPerDvi, c.ptPerDvi, 1e-15);
        EXPECT_NEAR(box.widthPt, c.widthPt, 1e-9);
        EXPECT_NEAR(box.heightPt, c.heightPt, 1e-9);
        EXPECT_EQ(box.cssWidth(), c.cssWidth);
        EXPECT_EQ(box.cssHeight(), c.cssHeight);
    }
    // Other units: num/den in 1e-7 m, here exactly 1 bp (1/72 in) per unit.
    PageBox bp = boxOf(dir, dviWithBox(72, 144, 254000, 72));
    ASSERT_TRUE(bp.ok()) << bp.error;
    EXPECT_NEAR(bp.widthPt, 144 * 72.27 / 72 + 72.27, 1e-9);
    EXPECT_EQ(bp.cssWidth(), 3 * 96);
    EXPECT_EQ(bp.cssHeight(), 2 * 96);
}

TEST(PageBoxTest, BrokenTrailersAndPostamblesAreRefused) {
    TempDir dir;
    std::string good = dviWithBox(600 * 65536, 400 * 65536);
    size_t postAt = good.rfind('\xF8', good.size() - 10);  // the postamble's opcode 248
    ASSERT_NE(postAt, std::string::npos);
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string fewFill = good.substr(0, good.size() - 1);  // three bytes 223
    std::string badId = good;
    badId[good.size() - 5] = 3;
    std::string farPointer = good;
    farPointer[good.size() - 9] = '\x7F';
    std::string notPost = good;
    notPost[postAt] = '\x8C';
    std::string zeroDen = dviWithBox(600 * 65536, 400 * 65536, 25400000, 0);
    const Case cases[] = {
        {"empty file", ""},
        {"only trailer bytes", std::string(16, '\xDF')},
        {"three fill bytes", fewFill},
        {"identification byte 3", badId},
        {"postamble pointer beyond the end", farPointer},
        {"no postamble at the pointer", notPost},
        {"zero denominator", zeroDen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageBox box = boxOf(dir, c.bytes);
        EXPECT_FALSE(box.ok());
    }
    EXPECT_FALSE(readPageBox(dir.file("missing.dvi")).ok());
}

// A picture of strokes like letters: vertical stems and horizontal bars of
// two pixels at the given offset.
GrayImage strokes(int width, int height, int dx = 0, int dy = 0) {
    GrayImage image(width, height);
    for (int x0 = 20; x0 + 12 < width - 20; x0 += 14) {
        for (int y = 20; y < height - 20; ++y)
            for (int x = x0; x < x0 + 2; ++x) image.at(x + dx, y + dy) = 0;
        for (int x = x0; x < x0 + 10; ++x)
            for (int y = 40; y < 42; ++y) image.at(x + dx, y + dy) = 0;
    }
    return image;
}

TEST(InkCompareTest, EqualPicturesAreAlikeInEveryMeasure) {
    for (const GrayImage& image : {strokes(200, 120), GrayImage(64, 48)}) {
        InkReport r = compareInk(image, image);
        EXPECT_TRUE(r.error.empty()) << r.error;
        EXPECT_DOUBLE_EQ(r.global, 1.0);
        EXPECT_DOUBLE_EQ(r.worstTile, 1.0);
        EXPECT_DOUBLE_EQ(r.peakDifference, 0.0);
        EXPECT_TRUE(looksAlike(r)) << r.describe();
    }
}

TEST(InkCompareTest, PicturesOfDifferentSizesCannotBeCompared) {
    InkReport r = compareInk(GrayImage(10, 10), GrayImage(10, 11));
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(looksAlike(r));
    EXPECT_EQ(r.describe(), r.error);
    EXPECT_FALSE(compareInk(GrayImage(), GrayImage()).error.empty());
}

TEST(InkCompareTest, AMissingBlotIsFoundWhereItIs) {
    GrayImage a = strokes(400, 200);
    GrayImage b = a;
    // Cut one stem from y 100 to 120: a 2x20 blot of ink goes.
    int stem = 20 + 14 * 10;
    for (int y = 100; y < 120; ++y)
        for (int x = stem; x < stem + 2; ++x) b.at(x, y) = 255;
    InkReport r = compareInk(a, b);
    EXPECT_FALSE(looksAlike(r)) << r.describe();
    EXPECT_GT(r.global, 0.95) << "one blot hardly moves the global figure";
    EXPECT_LT(r.worstTile, 0.75);
    EXPECT_LE(r.worstX, stem);
    EXPECT_GT(r.worstX + r.tilePx, stem + 1);
    EXPECT_LE(r.worstY, 110);
    EXPECT_GT(r.worstY + r.tilePx, 110);
    EXPECT_NEAR(r.peakX, stem, 2);
    EXPECT_GE(r.peakY, 100);
    EXPECT_LT(r.peakY, 120);
    EXPECT_GT(r.peakDifference, 0.3);
}

TEST(InkCompareTest, AShiftOfAPixelIsToleratedAndOneOfAStrokesWidthAndMoreIsNot) {
    GrayImage a = strokes(300, 160);
    struct Case {
        int dx, dy;
        bool alike;
    };
    const Case cases[] = {{1, 0, true}, {0, 1, true}, {3, 0, false}, {0, 4, false}, {5, 5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "shift " << c.dx << "," << c.dy);
        InkReport r = compareInk(a, strokes(300, 160, c.dx, c.dy));
        EXPECT_EQ(looksAlike(r), c.alike) << r.describe();
    }
}

TEST(InkCompareTest, OptionsForAResolutionScaleWithIt) {
    InkCompareOptions at192 = InkCompareOptions::forDpi(192);
    EXPECT_NEAR(at192.sigmaPx, 1.99, 0.01);
    EXPECT_EQ(at192.tilePx, 16);
    EXPECT_NEAR(at192.tileFloorPx, 30, 0.1);
    InkCompareOptions at96 = InkCompareOptions::forDpi(96);
    EXPECT_NEAR(at96.sigmaPx * 2, at192.sigmaPx, 1e-9);
    EXPECT_EQ(at96.tilePx, 8);
}

TEST(PngTest, GrayPicturesSurviveAWriteAndAReadAndCropsPadWithWhite) {
    TempDir dir;
    GrayImage a = strokes(50, 70);
    a.at(3, 4) = 77;
    ASSERT_TRUE(writePng(dir.file("a.png"), a));
    Rendered back = readPng(dir.file("a.png"));
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.image.width, 50);
    EXPECT_EQ(back.image.height, 70);
    EXPECT_EQ(back.image.pixels, a.pixels);

    GrayImage c = crop(a, 40, 60, 20, 20);
    EXPECT_EQ(c.width, 20);
    EXPECT_EQ(c.at(0, 0), a.at(40, 60));
    EXPECT_EQ(c.at(15, 15), 255);
    EXPECT_EQ(crop(a, -3, -4, 10, 10).at(6, 8), 77);

    EXPECT_FALSE(readPng(dir.file("missing.png")).ok());
    ASSERT_TRUE(writeFile(dir.file("bad.png"), "\x89PNG\r\n\x1a\nnot really"));
    EXPECT_FALSE(readPng(dir.file("bad.png")).ok());
}

TEST(PngTest, TheComparisonPictureHoldsBothAndTheirOverlay) {
    TempDir dir;
    GrayImage a = strokes(60, 80), b = strokes(60, 80, 3, 0);
    InkReport r = compareInk(a, b);
    r.worstX = 0;
    r.worstY = 0;
    r.tilePx = 8;
    r.worstTile = 0.5;
    ASSERT_TRUE(writeComparison(dir.file("cmp.png"), a, b, r));
    Rendered cmp = readPng(dir.file("cmp.png"));
    ASSERT_TRUE(cmp.ok()) << cmp.error;
    EXPECT_EQ(cmp.image.width, 3 * 60 + 2 * 8);
    EXPECT_EQ(cmp.image.height, 80);
    // The left panel is `a` itself, the middle one `b`.
    EXPECT_EQ(cmp.image.at(20, 30), 0);
    EXPECT_EQ(cmp.image.at(68 + 23, 30), 0);
    EXPECT_EQ(cmp.image.at(68 + 20, 30), 255);
    // The worst tile is framed in every panel.
    for (int x : {0, 68, 136}) {
        EXPECT_NE(cmp.image.at(x, 3), 255);
        EXPECT_NE(cmp.image.at(x, 3), 0);
    }
}

}  // namespace
}  // namespace morvex::testing
