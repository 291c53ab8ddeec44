// The specials a page's box comes from: dvips's papersize and the preview
// package's box, as their handlers read them from the pages.
#include <gtest/gtest.h>

#include "specials/paper_special.h"
#include "specials/preview_special.h"

namespace morvex {
namespace {

constexpr double kBp = 72.27 / 72.0;

SpecialEvent eventOf(const std::string& text) { return {0, 0, text, text.size()}; }

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

TEST(PageSpecialHandlers, TheLastPaperAndTheFirstPreviewBoxOfAPage) {
    PaperSizeHandler paper;
    EXPECT_FALSE(paper.paper());
    paper.special(eventOf("papersize=100pt,200pt"), true);
    paper.special(eventOf("papersize=5in,2in"), false);  // on a page not converted: it counts
    paper.special(eventOf("papersize=bad"), true);       // not a paper: the last one stays
    paper.special({0, 0, "papersize=1pt,1pt", 40}, true);  // cut short by the file's end
    ASSERT_TRUE(paper.paper());
    EXPECT_DOUBLE_EQ(paper.paper()->width, 5 * 72.27);

    PreviewHandler preview;
    preview.special(eventOf("ps::1 2 3 4 5 6 7"), false);  // not a page converted
    EXPECT_FALSE(preview.take());
    preview.special(eventOf("ps::SDict begin"), true);     // another ps:: special
    preview.special(eventOf("ps::0 0 0 0 10 20 30"), true);
    preview.special(eventOf("ps::0 0 0 0 1 1 1"), true);  // the page has its box already
    std::optional<PreviewSpecial> box = preview.take();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->width, 30);
    EXPECT_FALSE(preview.take());
}

}  // namespace
}  // namespace morvex
