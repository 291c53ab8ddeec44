// Numbers as the --paths document writes them.
#include "svg/svg_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace morvex {
namespace {

TEST(SvgNumber, FixedPointWithoutTrailingZeros) {
    struct Case {
        double v;
        int places;
        const char* text;
    };
    const Case cases[] = {
        {0, 3, "0"},          {-0.0, 3, "0"},         {-0.0004, 3, "0"},       {0.0005, 3, "0.001"},
        {72.27, 3, "72.27"},  {72.27, 6, "72.27"},    {-72.27, 3, "-72.27"},   {1.5, 0, "2"},
        {2.0, 3, "2"},        {123.4567, 3, "123.457"}, {9.9626, 4, "9.9626"}, {0.1, 6, "0.1"},
        {99.9996, 3, "100"},  {-12.34567, 4, "-12.3457"}, {1e12, 3, "1000000000000"},
        {-1e20, 2, "-1000000000000000"}, {1e20, 0, "1000000000000000"},
        {std::numeric_limits<double>::infinity(), 3, "0"}, {std::nan(""), 3, "0"},
        {5, 9, "5"},  // places beyond 6 are 6
    };
    for (const Case& c : cases) EXPECT_EQ(svgNumber(c.v, c.places), c.text) << c.v << " " << c.places;
}

}  // namespace
}  // namespace morvex
