// The SVG document of real pages made by plain tex and latex: well-formed
// XML, every character of the page in a run, every run where dvitype puts
// its first character, every rule of the page as a rectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/dvitype.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "text/conv.h"

namespace morvex {
namespace {

using testing::runProcess;
using testing::TempDir;

const std::string kDviDir = MORVEX_TEST_DVI_DIR;

struct SvgRun {
    double x = 0, y = 0;
    std::vector<int> codes;
};

struct Rule {
    long width = 0, height = 0;
    bool operator==(const Rule&) const = default;
};

struct SvgPage {
    std::vector<SvgRun> runs;
    std::vector<Rule> rects;
    int textOpen = 0, textClose = 0;
};

// Turns a run's text back into the codes, by the text of each code.
std::vector<int> decode(const std::string& text, bool& ok) {
    static const std::map<std::string, int> codeOf = [] {
        std::map<std::string, int> m;
        for (int c = 0; c < 256; ++c) m[convCode(static_cast<unsigned char>(c))] = c;
        return m;
    }();
    std::vector<int> codes;
    ok = true;
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        size_t n = lead == '&' ? text.find(';', i) + 1 - i : lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        auto it = codeOf.find(text.substr(i, n));
        if (n == 0 || it == codeOf.end()) {
            ok = false;
            return codes;
        }
        codes.push_back(it->second);
        i += n;
    }
    return codes;
}

long countOf(const std::string& s, const std::string& what) {
    long n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

SvgPage parseSvg(const std::string& svg, int page) {
    SvgPage r;
    r.textOpen = static_cast<int>(countOf(svg, "<text id=\"page" + std::to_string(page) + "\">"));
    r.textClose = static_cast<int>(countOf(svg, "</text>"));
    const std::string runTag = "<tspan x=\"";
    for (size_t p = svg.find(runTag); p != std::string::npos; p = svg.find(runTag, p + 1)) {
        SvgRun run;
        const char* s = svg.c_str() + p + runTag.size();
        char* end = nullptr;
        run.x = std::strtod(s, &end);
        EXPECT_EQ(std::string(end, 7), "pt\" y=\"") << svg.substr(p, 60);
        run.y = std::strtod(end + 7, &end);
        EXPECT_EQ(std::string(end, 4), "pt\">") << svg.substr(p, 60);
        size_t from = static_cast<size_t>(end + 4 - svg.c_str());
        size_t to = svg.find("</tspan>", from);
        bool ok = false;
        run.codes = decode(svg.substr(from, to - from), ok);
        EXPECT_TRUE(ok) << svg.substr(p, 200);
        r.runs.push_back(run);
    }
    const std::string rectTag = "<rect width=\"";
    for (size_t p = svg.find(rectTag); p != std::string::npos; p = svg.find(rectTag, p + 1)) {
        Rule rule;
        char* end = nullptr;
        rule.width = std::strtol(svg.c_str() + p + rectTag.size(), &end, 10);
        EXPECT_EQ(std::string(end, 10), "\" height=\"");
        rule.height = std::strtol(end + 10, &end, 10);
        EXPECT_EQ(std::string(end, 3), "\"/>");
        r.rects.push_back(rule);
    }
    return r;
}

// The rules of the pages numbered page, in order, as dvitype lists them.
std::vector<Rule> dvitypeRules(const std::string& dvi, int page) {
    auto r = runProcess({"dvitype", "-output-level=4", dvi}, "/");
    std::vector<Rule> rules;
    long current = 0;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t nl = r.out.find('\n', start);
        std::string line = r.out.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        start = nl == std::string::npos ? r.out.size() : nl + 1;
        long value = 0;
        if (testing::detail::numberAfter(line, "beginning of page ", value)) current = value;
        size_t p = line.find("rule height ");
        if (p != std::string::npos && current == page) {
            Rule rule;
            testing::detail::numberAfter(line, "rule height ", rule.height);
            testing::detail::numberAfter(line, ", width ", rule.width);
            rules.push_back(rule);
        }
    }
    return rules;
}

// Points per DVI unit from the preamble's num, den and mag.
double ptPerDviOf(const std::string& dvi) {
    std::string b = testing::readFile(dvi);
    auto u4 = [&](size_t at) {
        return (static_cast<uint32_t>(static_cast<unsigned char>(b[at])) << 24) |
               (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3]));
    };
    if (b.size() < 14) return 0;
    return double(u4(2)) / double(u4(6)) * double(u4(10)) / 1000.0 * 72.27 / 254000.0;
}

// The document is complete once the pages are read; what the SVG fonts
// stage makes of the fonts afterwards (an EC font has no Type 1 file here)
// is not this document's concern, but the run must end on its own.
void assertDocumentWritten(const testing::ProcessResult& r, const TempDir& dir) {
    ASSERT_GE(r.exitCode, 0) << r.out << r.err;
    ASSERT_LT(r.exitCode, 128) << r.out << r.err;
    const std::string svg = testing::readFile(dir.file("out.svg"));
    ASSERT_GE(svg.size(), 8u);
    ASSERT_EQ(svg.substr(svg.size() - 8), "\n</svg>\n") << r.out << r.err;
}

struct PageCase {
    const char* file;
    int page;
    int textElements;  // pages carrying the number
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.file << " page " << c.page; }

class TextPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(TextPages, RunsStandWhereDvitypeSetsTheirFirstCharacter) {
    const PageCase& c = GetParam();
    const std::string dvi = kDviDir + "/" + c.file + ".dvi";
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    auto r = testing::runMorvex(dir.path, {"-p", std::to_string(c.page), dvi});
    assertDocumentWritten(r, dir);

    auto lint = runProcess({"xmllint", "--noent", "--noout", dir.file("out.svg")}, dir.path);
    EXPECT_EQ(lint.exitCode, 0) << lint.err.substr(0, 3000);
    EXPECT_EQ(lint.err, "");

    const std::string svg = testing::readFile(dir.file("out.svg"));
    SvgPage page = parseSvg(svg, c.page);
    EXPECT_EQ(page.textOpen, c.textElements);
    EXPECT_EQ(page.textClose, c.textElements);

    std::vector<testing::DvitypeChar> chars;
    for (const auto& ch : testing::dvitypeChars(dvi))
        if (ch.page == c.page) chars.push_back(ch);
    ASSERT_FALSE(chars.empty());
    const double ptPerDvi = ptPerDviOf(dvi);
    ASSERT_GT(ptPerDvi, 0.0);

    size_t next = 0;
    for (size_t i = 0; i < page.runs.size(); ++i) {
        const SvgRun& run = page.runs[i];
        SCOPED_TRACE("run " + std::to_string(i));
        ASSERT_FALSE(run.codes.empty());
        ASSERT_LE(next + run.codes.size(), chars.size());
        const auto& first = chars[next];
        EXPECT_NEAR(run.x, double(first.h) * ptPerDvi + 72.27, 0.01) << "h " << first.h;
        EXPECT_NEAR(run.y, double(first.v) * ptPerDvi + 72.27, 0.01) << "v " << first.v;
        for (size_t k = 0; k < run.codes.size(); ++k)
            ASSERT_EQ(run.codes[k], chars[next + k].code) << "character " << next + k;
        next += run.codes.size();
    }
    EXPECT_EQ(next, chars.size()) << "characters of the page missing from the runs";
    EXPECT_EQ(page.rects, dvitypeRules(dvi, c.page));
}

INSTANTIATE_TEST_SUITE_P(RealPages, TextPages,
                         ::testing::Values(PageCase{"hello", 1, 1}, PageCase{"multi", 1, 1}, PageCase{"multi", 2, 1},
                                           PageCase{"multi", 3, 1}, PageCase{"multi", 4, 1},
                                           PageCase{"textruns", 1, 2}, PageCase{"textruns", 2, 1},
                                           PageCase{"longspecial", 1, 1}, PageCase{"longspecial", 2, 1}),
                         [](const auto& info) {
                             return std::string(info.param.file) + "_page" + std::to_string(info.param.page);
                         });

// The page of textruns numbered 1 a second time: an empty page before it
// gets an empty text element, the 4100 characters set without movement are
// split after 4095, and codes without a text of their own reach the document.
TEST(TextPagesDetail, EmptyPageLongLineAndCodesWithoutText) {
    const std::string dvi = kDviDir + "/textruns.dvi";
    TempDir dir;
    auto r = testing::runMorvex(dir.path, {"-p", "1", dvi});
    assertDocumentWritten(r, dir);
    const std::string svg = testing::readFile(dir.file("out.svg"));
    EXPECT_NE(svg.find("\n<text id=\"page1\">\n</text>\n<text id=\"page1\">"), std::string::npos);
    SvgPage page = parseSvg(svg, 1);
    ASSERT_GE(page.runs.size(), 2u);
    EXPECT_EQ(page.runs[0].codes.size(), 4095u);
    EXPECT_EQ(page.runs[1].codes.size(), 5u);
    for (int code : {0x00, 0x01, 0x1F, 0x87, 0xC0, 0xF0, 0x3C, 0x26})
        EXPECT_NE(svg.find(convCode(static_cast<unsigned char>(code))), std::string::npos) << code;
    for (char ch : svg) ASSERT_TRUE(static_cast<unsigned char>(ch) >= 0x20 || ch == '\n') << int(ch);
    // The warnings of the control codes come on standard output.
    EXPECT_NE(r.out.find("Warning: conv()"), std::string::npos);
}

}  // namespace
}  // namespace morvex
