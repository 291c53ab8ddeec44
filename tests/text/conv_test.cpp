#include "text/conv.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::OutCapture;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

struct ConvCase {
    const char* name;
    std::string in;
    std::string want;
    int warnings;
};

TEST(Conv, ConvertsRunsByteForByte) {
    const std::vector<ConvCase> cases = {
        {"escapes", bytes({0x78, 0x3C, 0x79, 0x26, 0x7A}),
         bytes({0x78, 0x26, 0x6C, 0x74, 0x3B, 0x79, 0x26, 0x61, 0x6D, 0x70, 0x3B, 0x7A}), 0},
        {"greater", ">", "&gt;", 0},
        {"ligatures", bytes({0x02, 0x03}), bytes({0xEF, 0xAC, 0x81, 0xEF, 0xAC, 0x82}), 0},
        {"control code", bytes({0x0C}), bytes({0xEE, 0x80, 0x8C}), 1},
        {"two control codes", bytes({0x0C, 0x0C}), bytes({0xEE, 0x80, 0x8C, 0xEE, 0x80, 0x8C}), 2},
        {"control 0x01", bytes({0x01}), bytes({0xEE, 0x80, 0x81}), 1},
        {"control 0x1F", bytes({0x1F}), bytes({0xEE, 0x80, 0x9F}), 1},
        {"tab is not whitespace here", bytes({0x09, 0x0A, 0x0D}),
         bytes({0xEE, 0x80, 0x89, 0xEE, 0x80, 0x8A, 0xEE, 0x80, 0x8D}), 3},
        // Code 0 is a character like any other and does not end the run.
        {"code zero", bytes({0x61, 0x00, 0x62}), bytes({0x61, 0xEE, 0x80, 0x80, 0x62}), 1},
        {"upper half E1", bytes({0xE1}), bytes({0xC3, 0xA1}), 0},
        {"upper half D4", bytes({0xD4}), bytes({0xC7, 0x91}), 0},
        {"upper half 80", bytes({0x80}), bytes({0xC4, 0x82}), 0},
        {"upper half A7", bytes({0xA7}), bytes({0xCB, 0x87}), 0},
        {"upper half E3", bytes({0xE3}), bytes({0xC2, 0xA0}), 0},
        {"upper half FF", bytes({0xFF}), bytes({0xC3, 0x9F}), 0},
        // An empty entry does not cut the run: it gets a private-use point.
        {"empty entry 87", bytes({0x41, 0x87, 0x42}), bytes({0x41, 0xEE, 0x82, 0x87, 0x42}), 0},
        {"empty entry F0", bytes({0xF0}), bytes({0xEE, 0x83, 0xB0}), 0},
        {"not escaped", bytes({0x22, 0x27, 0x7F}), bytes({0x22, 0x27, 0x7F}), 0},
        {"plain ascii", " Az~", " Az~", 0},
        {"empty", "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OutCapture out;
        std::string text = "left over from an earlier run";
        conv(c.in, text, out.f);
        EXPECT_EQ(text, c.want);
        std::string warn;
        for (int i = 0; i < c.warnings; ++i) warn += "Warning: conv()";
        EXPECT_EQ(out.str(), warn);
    }
}

TEST(Conv, EmptyUpperHalfEntriesGetPrivateUsePoints) {
    const std::vector<int> empty = {0x87, 0x8D, 0x93, 0x98, 0xBC, 0xC0, 0xC3, 0xC5, 0xC6, 0xC8, 0xCA, 0xCC,
                                    0xCF, 0xD1, 0xD2, 0xD8, 0xD9, 0xDB, 0xDE, 0xE0, 0xE8, 0xEC, 0xF0};
    std::set<int> emptySet(empty.begin(), empty.end());
    for (int c = 0x80; c <= 0xFF; ++c) {
        char32_t cp = convCodePoint(static_cast<unsigned char>(c));
        if (emptySet.count(c) != 0) {
            EXPECT_EQ(cp, 0xE000u + c) << std::hex << c;
        } else {
            EXPECT_GE(cp, 0x80u) << std::hex << c;
            EXPECT_LE(cp, 0x7FFu) << std::hex << c;
            EXPECT_EQ(convCode(static_cast<unsigned char>(c)).size(), 2u) << std::hex << c;
        }
    }
}

TEST(Conv, FullRunOfAmpersandsFits) {
    OutCapture out;
    std::string text;
    conv(std::string(4095, '&'), text, out.f);
    ASSERT_EQ(text.size(), 20475u);
    for (size_t i = 0; i < text.size(); i += 5) ASSERT_EQ(text.compare(i, 5, "&amp;"), 0) << i;
    EXPECT_EQ(out.str(), "");
}

// The SVG fonts key each glyph by the text of its code, so every code needs
// its own non-empty text, and a run's text is the texts of its codes in turn.
TEST(Conv, EveryCodeHasItsOwnText) {
    std::set<std::string> seen;
    std::string all, joined;
    for (int c = 0; c < 256; ++c) {
        auto code = static_cast<unsigned char>(c);
        std::string t = convCode(code);
        EXPECT_FALSE(t.empty()) << c;
        EXPECT_EQ(t.find('\0'), std::string::npos) << c;
        EXPECT_TRUE(seen.insert(t).second) << "code " << c << " shares its text";
        EXPECT_EQ(utf8(convCodePoint(code)) == t, c != '&' && c != '<' && c != '>') << c;
        all += static_cast<char>(c);
        joined += t;
    }
    OutCapture out;
    std::string text;
    conv(all, text, out.f);
    EXPECT_EQ(text, joined);
    // Warnings: code 0 and the 31 control codes 1..31 less the two ligatures.
    std::string warn;
    for (int i = 0; i < 30; ++i) warn += "Warning: conv()";
    EXPECT_EQ(out.str(), warn);
}

// A document holding every code, in every order a run may bring them, must be
// readable by a real XML parser.
TEST(Conv, AllCodesMakeWellFormedXml) {
    std::string all;
    for (int c = 255; c >= 0; --c) all += static_cast<char>(c);
    OutCapture out;
    std::string text;
    conv(all, text, out.f);
    testing::TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg><text><tspan>" + text +
                      "</tspan></text></svg>\n";
    ASSERT_TRUE(testing::writeFile(dir.file("all.svg"), doc));
    auto r = testing::runProcess({"xmllint", "--noent", "--noout", dir.file("all.svg")}, dir.path);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace morvex
