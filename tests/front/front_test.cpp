#include "front/front.h"

#include <gtest/gtest.h>

using namespace morvex;

namespace {

// A page number is a whole number in the range of \count0, written with
// nothing around it; anything else is no page number at all.
TEST(Front, PageNumbersAreWholeNumbersInTheCount0Range) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"3", 3},
        {"0", 0},
        {"-0", 0},
        {"+3", 3},
        {"-5", -5},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"00000000000000000000002147483647", INT32_MAX},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"--1", std::nullopt},
        {"abc", std::nullopt},
        {"1x", std::nullopt},
        {"x1", std::nullopt},
        {"1.0", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"\t\n 42", std::nullopt},
        {"1 2", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967297", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"-99999999999999999999999", std::nullopt},
        {"\xD9\xA3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
    };
    for (const auto& c : cases) EXPECT_EQ(parsePage(c.text), c.value) << '"' << c.text << '"';
    // The text ends where the string ends, not at an embedded NUL.
    EXPECT_EQ(parsePage(std::string("1\0" "2", 3)), std::nullopt);
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
