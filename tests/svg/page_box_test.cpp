// The box of each kind of a page, from what it comes from, and the line
// that tells its dimensions.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/file_handle.h"
#include "svg/page_box.h"

namespace morvex {
namespace {

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
