// What a page's box comes from: the papersize and preview specials, the
// true extent of glyph outlines, and the box of each kind.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/file_handle.h"
#include "svg/outline_extent.h"
#include "svg/page_box.h"

namespace morvex {
namespace {

constexpr double kBp = 72.27 / 72.0;

TEST(PaperSpecial, ReadsTwoTeXDimensions) {
    struct Case {
        const char* special;
        double width, height;  // TeX points; 0: refused
    };
    const Case cases[] = {
        {"papersize=614.295pt,794.96999pt", 614.295, 794.96999},
        {"papersize=8.5in,11in", 8.5 * 72.27, 11 * 72.27},
        {"papersize=210mm,297mm", 210 * 72.27 / 25.4, 297 * 72.27 / 25.4},
        {"papersize=21cm,29.7cm", 21 * 72.27 / 2.54, 29.7 * 72.27 / 2.54},
        {"papersize=612bp,792bp", 612 * kBp, 792 * kBp},
        {"papersize=10pc,2pc", 120, 24},
        {"papersize=1157dd,1157cc", 1238, 14856},
        {"papersize=65536sp,131072sp", 1, 2},
        {"papersize=5truein,.5truein", 5 * 72.27, 0.5 * 72.27},
        {"  papersize= 100pt , 200 pt ", 100, 200},
        {"papersize=16383.99998pt,1pt", 16383.99998, 1},
        // Not a paper dvips would take.
        {"papersize=100pt", 0, 0},
        {"papersize=100,200", 0, 0},
        {"papersize=100pt,200xx", 0, 0},
        {"papersize=-100pt,200pt", 0, 0},
        {"papersize=0pt,200pt", 0, 0},
        {"papersize=20000pt,200pt", 0, 0},
        {"papersize=1e3pt,200pt", 0, 0},
        {"papersize=a4", 0, 0},
        {"papersize=1.2.3pt,4pt", 0, 0},
        {"Papersize=100pt,200pt", 0, 0},
        {"landscape", 0, 0},
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        std::optional<PaperSize> p = readPaperSize(c.special);
        if (c.width == 0) {
            EXPECT_FALSE(p) << c.special;
            continue;
        }
        ASSERT_TRUE(p) << c.special;
        EXPECT_NEAR(p->width, c.width, 1e-9) << c.special;
        EXPECT_NEAR(p->height, c.height, 1e-9) << c.special;
    }
}

TEST(PreviewSpecial, ReadsSevenIntegersOfScaledPoints) {
    // As the preview package writes it for $x^2+y_1$ with tightpage.
    std::optional<PreviewSpecial> p = readPreviewSpecial("ps::-32891 -32891 32891 32891 533465 127431 2084863");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->pageWidth(), 2084863 + 32891 + 32891);
    EXPECT_EQ(p->pageHeight(), 533465 + 32891);
    EXPECT_EQ(p->pageDepth(), 127431 + 32891);

    const char* refused[] = {
        "ps::-32891 -32891 32891 32891 533465 127431",          // six
        "ps::-32891 -32891 32891 32891 533465 127431 1 2",      // eight
        "ps::-32891 -32891 32891 32891 533465 127431 2084863x",  // a trailing letter
        "ps::1 2 3 4 5 6 7.5",
        "ps::1 2 3 4 5 6 +7",
        "ps::1 2 3 4 5 6 2147483648",
        "ps: -32891 -32891 32891 32891 533465 127431 2084863",  // another prefix
        "ps::[begin] 1 2 3 4 5 6 7",
        "ps::0 0 0 0 0 0 -1",                                   // width below zero
        "ps::0 -10 0 0 0 -20 5",                                // height plus depth below zero
        "",
    };
    for (const char* s : refused) EXPECT_FALSE(readPreviewSpecial(s)) << s;
    EXPECT_TRUE(readPreviewSpecial("ps:: 0 0 0 0 0 0 0 "));
    EXPECT_TRUE(readPreviewSpecial("ps::-2147483648 -2147483648 2147483647 2147483647 2147483647 2147483647 2147483647"));
}

TEST(OutlineExtent, CurvesCountByTheirExtremesNotTheirControlPoints) {
    struct Case {
        const char* d;
        double minX, minY, maxX, maxY;
    };
    const Case cases[] = {
        {"M0 0L10 0L10 20Z", 0, 0, 10, 20},
        // A cubic arch: the control points reach 100, the curve 75.
        {"M0 0C0 100 100 100 100 0Z", 0, 0, 100, 75},
        // An S: turns on both sides of its chord.
        {"M0 0C100 0 -100 100 0 100", -28.867513459481287, 0, 28.867513459481287, 100},
        // A quadratic arch: control 100, curve 50.
        {"M0 0Q50 100 100 0", 0, 0, 100, 50},
        {"m10 10l5 5h5v-20z", 10, -5, 20, 15},
        {"M0 0c0 100 100 100 100 0", 0, 0, 100, 75},
        {"M1 2 3 4 5 0", 1, 0, 5, 4},  // repeated operands of M are lines
        {"M-1.5,-2.5L1e1,2", -1.5, -2.5, 10, 2},
        // A move alone draws nothing.
        {"M50 50M0 0L1 1", 0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        std::optional<Extent> e = outlineExtent(c.d);
        ASSERT_TRUE(e) << c.d;
        EXPECT_NEAR(e->minX, c.minX, 1e-9) << c.d;
        EXPECT_NEAR(e->minY, c.minY, 1e-9) << c.d;
        EXPECT_NEAR(e->maxX, c.maxX, 1e-9) << c.d;
        EXPECT_NEAR(e->maxY, c.maxY, 1e-9) << c.d;
    }
    for (const char* d : {"", "M5 5", "M5 5Z"}) {
        std::optional<Extent> e = outlineExtent(d);
        ASSERT_TRUE(e) << d;
        EXPECT_TRUE(e->empty()) << d;
    }
    for (const char* d : {"M0 0A5 5 0 0 1 10 0", "M0 0L", "M0 0L1", "L1 1 x", "M0 0Z 5 5", "M0 0Lnan 1", "5 5"})
        EXPECT_FALSE(outlineExtent(d)) << d;
}

TEST(PageBoxes, EachKindFromItsSource) {
    BoxSources s;
    s.ptPerDvi = 1.0 / 65536;
    s.pageWidth = 72.27 + 400;
    s.pageHeight = 72.27 + 600;
    s.ink.add(80, 90);
    s.ink.add(200, 150);

    PageBox page = pageBox(BoxKind::Page, s);
    EXPECT_EQ(page.x, 0);
    EXPECT_EQ(page.width, 472.27);
    EXPECT_EQ(page.height, 672.27);
    EXPECT_FALSE(page.hasBaseline);

    PageBox min = pageBox(BoxKind::Min, s);
    EXPECT_EQ(min.x, 80);
    EXPECT_EQ(min.y, 90);
    EXPECT_EQ(min.width, 120);
    EXPECT_EQ(min.height, 60);

    // Without their specials, paper and preview are the page box.
    EXPECT_EQ(pageBox(BoxKind::Paper, s).width, 472.27);
    EXPECT_EQ(pageBox(BoxKind::Preview, s).width, 472.27);
    EXPECT_EQ(pageBox(std::nullopt, s).width, 472.27);

    s.paper = PaperSize{595, 842};
    PageBox paper = pageBox(BoxKind::Paper, s);
    EXPECT_EQ(paper.x, 0);
    EXPECT_EQ(paper.y, 0);
    EXPECT_EQ(paper.width, 595);
    EXPECT_EQ(paper.height, 842);

    s.preview = PreviewSpecial{-65536, -131072, 65536, 196608, 10 * 65536, 3 * 65536, 50 * 65536};
    for (std::optional<BoxKind> kind : {std::optional<BoxKind>(BoxKind::Preview), std::optional<BoxKind>()}) {
        PageBox p = pageBox(kind, s);
        EXPECT_TRUE(p.hasBaseline);
        EXPECT_EQ(p.originX, 0);
        EXPECT_EQ(p.originY, 0);
        EXPECT_EQ(p.x, -1);
        EXPECT_EQ(p.y, -13);      // the height grown by the top adjustment
        EXPECT_EQ(p.width, 52);   // 50 + 1 + 1
        EXPECT_EQ(p.height, 18);  // 13 above the baseline, 5 below
        EXPECT_EQ(p.depth, 5);
        EXPECT_EQ(p.heightAboveBaseline(), 13);
    }
    // Asked for, the other kinds still win over the preview box.
    EXPECT_FALSE(pageBox(BoxKind::Page, s).hasBaseline);

    // A page without ink: an empty box where the DVI origin is.
    BoxSources empty;
    PageBox none = pageBox(BoxKind::Min, empty);
    EXPECT_EQ(none.x, 72.27);
    EXPECT_EQ(none.y, 72.27);
    EXPECT_EQ(none.width, 0);
}

TEST(PageBoxes, TheDimensionLine) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    FileHandle handle(f);
    PageBox preview;
    preview.width = 32.81367;
    preview.height = 10.5;
    preview.hasBaseline = true;
    preview.depth = 2.4444449;
    printDimensions(f, preview);
    PageBox page;
    page.width = 614.295;
    page.height = 794.97;
    printDimensions(f, page);
    std::rewind(f);
    char buf[256] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    EXPECT_EQ(std::string(buf, n),
              "width=32.813670pt, height=8.055555pt, depth=2.444445pt\n"
              "width=614.295000pt, height=794.970000pt, depth=0.000000pt\n");
}

}  // namespace
}  // namespace morvex
