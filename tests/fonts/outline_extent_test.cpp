// The true extent of glyph outlines, for the ink box of a page.
#include "fonts/outline_extent.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

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

}  // namespace
}  // namespace morvex
