#include "front/front.h"

#include <gtest/gtest.h>

using namespace morvex;

namespace {

TEST(Front, PageNumbersAreReadLikeAtoiAndSaturate) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"3", 3},
        {"  -12x", -12},
        {"+7", 7},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"99999999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-99999999999999999999999", INT32_MIN},
        {"\t\n 42 7", 42},
    };
    for (const auto& c : cases) EXPECT_EQ(parsePage(c.text), c.value) << '"' << c.text << '"';
}

TEST(Front, DviNameGetsItsExtensionOnlyWhenTheTextIsMissing) {
    struct Case {
        const char* operand;
        const char* name;
    };
    const Case cases[] = {
        {"paper", "paper.dvi"},
        {"paper.dvi", "paper.dvi"},
        {"paper.dvi.old", "paper.dvi.old"},
        {"PAPER.DVI", "PAPER.DVI.dvi"},
        {"dir.dvi/paper", "dir.dvi/paper"},
        {"", ".dvi"},
    };
    for (const auto& c : cases) EXPECT_EQ(dviFileName(c.operand), c.name) << c.operand;
}

}  // namespace
