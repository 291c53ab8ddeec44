// The page loop on real DVI files made by plain tex, against dvitype, and
// the built binary's exit codes when the loop stops early.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "support/recording_sink.h"
#include "support/bytes.h"
#include "support/dvitype.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::DviWriter;
using testing::OutCapture;
using testing::TempDir;

std::string dviPath(const std::string& name) { return std::string(MORVEX_TEST_DVI_DIR) + "/" + name + ".dvi"; }

struct Position {
    int32_t code, h, v;
};

// Takes h before and v at each character of the pages numbered page, from
// the events of the interpreter run in-process on a real file. The run
// ends at post; the SVG fonts after it are the binary's business.
struct CharSink : testing::RecordingSink {
    std::vector<Position> chars;
    void character(const CharEvent& c) override { chars.push_back({c.code, c.h, c.v}); }
};

std::vector<Position> morvexPositions(const std::string& path, int32_t page) {
    CharSink sink;
    std::FILE* dvi = std::fopen(path.c_str(), "rb");
    if (dvi == nullptr) return sink.chars;
    std::FILE* null = std::fopen("/dev/null", "wb");
    OutCapture out;
    DviFrame frame;
    EXPECT_EQ(dvibase(frame, dvi, null, out.f).code, 0);
    PageInterpreter pages(page, frame.stackCapacity, null, out.f);
    EXPECT_EQ(pages.dvipage(dvi, sink).code, kDvipageOk) << out.str();
    std::fclose(null);
    std::fclose(dvi);
    return sink.chars;
}

TEST(DvipagePositions, AgreeWithDvitypeAtEveryCharacter) {
    for (const char* name : {"hello", "multi"}) {
        std::string path = dviPath(name);
        auto ref = testing::dvitypeChars(path);
        ASSERT_FALSE(ref.empty()) << name;
        // Pages in file order, each number once: every page of both files
        // carries its own number.
        std::vector<Position> ours;
        for (size_t i = 0; i < ref.size(); ++i) {
            if (i > 0 && ref[i].pageIndex == ref[i - 1].pageIndex) continue;
            auto page = morvexPositions(path, ref[i].page);
            ours.insert(ours.end(), page.begin(), page.end());
        }
        ASSERT_EQ(ours.size(), ref.size()) << name;
        for (size_t i = 0; i < ref.size(); ++i) {
            SCOPED_TRACE(std::string(name) + " character " + std::to_string(i) + " on page " +
                         std::to_string(ref[i].page));
            EXPECT_EQ(ours[i].code, ref[i].code);
            EXPECT_EQ(ours[i].v, ref[i].v);
            // Each advance is truncated, so h may fall behind by one unit
            // per character set since the page began.
            EXPECT_LE(std::labs(ours[i].h - ref[i].h), static_cast<long>(ref[i].sinceBop));
        }
    }
}

struct BinaryRun {
    TempDir dir;
    testing::ProcessResult result;
    std::string svg, log;
    void go(const std::string& dviFile, std::vector<std::string> args = {},
            std::vector<std::string> env = {"MKTEXTFM=0"}) {
        args.push_back(dviFile);
        result = testing::runMorvex(dir.path, args, env);
        svg = testing::readFile(dir.file("out.svg"));
        log = testing::readFile(dir.file("out.log"));
    }
};

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

TEST(DvipageRun, MultiPageFileRunsToThePostamble) {
    BinaryRun r;
    r.go(dviPath("multi"));
    EXPECT_EQ(r.result.exitCode, 0) << r.result.out;
    // The text conversion reports the ligature codes of the selected page
    // between the marks; they are not marks of the loop.
    std::string out = r.result.out;
    for (size_t at; (at = out.find("Warning: conv()")) != std::string::npos;) out.erase(at, 15);
    size_t fontsAt = out.find("Fonts:");
    size_t pagesAt = out.find("Pages:");
    ASSERT_NE(fontsAt, std::string::npos) << out;
    ASSERT_NE(pagesAt, std::string::npos) << out;
    std::string fonts = out.substr(fontsAt + 6, out.find('\n', fontsAt) - fontsAt - 6);
    std::string pages = out.substr(pagesAt + 6, out.find('\n', pagesAt) - pagesAt - 6);
    EXPECT_EQ(fonts, std::string(fonts.size(), '*'));
    // The shape (.*...).*...  .*... .*... with an asterisk per definition;
    // every font of the postamble is defined somewhere in the pages.
    std::string shape;
    for (char c : pages)
        if (c != '*') shape += c;
    EXPECT_EQ(shape, "(.)...") << pages;
    EXPECT_EQ(count(pages, "*"), fonts.size()) << pages;
    EXPECT_NE(pages.find(".*", pages.find(')')), std::string::npos) << "later pages define fonts: " << pages;

    // The trace holds every page and the releases at the postamble.
    for (int page = 1; page <= 4; ++page)
        EXPECT_EQ(count(r.log, "\nbop: Page " + std::to_string(page) + "\n"), 1u) << page;
    EXPECT_EQ(count(r.log, "\neop"), 4u);
    EXPECT_EQ(count(r.log, "\nFNT_DEF_1: "), 2 * fonts.size());  // postamble and pages
    EXPECT_NE(r.log.find("\ndvitfmfree: 0 3 5 6 9 12 15 18 23 29 33 36\n"), std::string::npos);
    EXPECT_NE(r.log.find("\ndvipagefontfree: 0 3 5 6 9 12 15 18 23 29 33 36\n"), std::string::npos);
    EXPECT_NE(r.log.find("Ligatures:"), std::string::npos);
    EXPECT_EQ(r.svg.substr(r.svg.size() - 8), "\n</svg>\n");
}

// A one-page file whose page holds cmds.
std::string onePageFile(const testing::Bytes& cmds) {
    DviWriter w;
    w.pre(" test");
    w.bop(1);
    w.b.data.insert(w.b.data.end(), cmds.data.begin(), cmds.data.end());
    w.eop().post().postpost();
    return w.str();
}

TEST(DvipageRun, UnsupportedOpcodeEndsTheRunWith102) {
    BinaryRun r;
    ASSERT_TRUE(testing::writeFile(r.dir.file("in.dvi"), onePageFile(testing::Bytes().u1(138).u1(129).u1(138))));
    r.go("in.dvi");
    EXPECT_EQ(r.result.exitCode, 102);
    EXPECT_NE(r.result.out.find("Pages:(.\n?\?(81)\n"), std::string::npos) << r.result.out;
    // The outputs are complete up to the stop and cut there.
    std::string tail = "\nbop: Page 1\n";
    size_t at = r.log.rfind(tail);
    ASSERT_NE(at, std::string::npos) << r.log;
    // One nop before the stop, none after it.
    EXPECT_EQ(count(r.log.substr(at), "<nop>"), 1u);
    EXPECT_EQ(r.log.find("dvitfmfree"), std::string::npos);
    EXPECT_EQ(r.svg.find("</svg>"), std::string::npos);
    EXPECT_NE(r.svg.find("<text id=\"page1\">"), std::string::npos);
}

TEST(DvipageRun, MissingMetricsEndTheRunWith200) {
    BinaryRun r;
    DviWriter w;
    w.fntdef(0, "mvxnosuchfont");
    testing::Bytes cmds = w.b;
    cmds.u1(171).u1(65);
    ASSERT_TRUE(testing::writeFile(r.dir.file("in.dvi"), onePageFile(cmds)));
    r.go("in.dvi");
    EXPECT_EQ(r.result.exitCode, 200);
    EXPECT_NE(r.result.out.find("Pages:(.*\nCan not find font metrics mvxnosuchfont.\n"), std::string::npos)
        << r.result.out;
    std::string tail = "n:mvxnosuchfont\ns/d: 1.000000\nn:mvxnosuchfont";
    ASSERT_GE(r.log.size(), tail.size());
    EXPECT_EQ(r.log.substr(r.log.size() - tail.size()), tail);
    EXPECT_EQ(r.svg.find("</svg>"), std::string::npos);
}

TEST(DvipageRun, FontNamesThatAreNotPlainFileNamesAreNotLookedUp) {
    // Generation of missing metrics stays enabled here. kpathsea would
    // expand $VAR and ~ in a name, so such a name could make any file the
    // user can read pass for metrics (its header bytes land in the trace).
    // The environment names a real TFM file through a variable.
    const std::string cmr10 = testing::runProcess({"kpsewhich", "cmr10.tfm"}, "/").out;
    ASSERT_FALSE(cmr10.empty());
    const std::string cmr10dir = cmr10.substr(0, cmr10.rfind('/'));
    for (const char* name : {"x;touch pwned;y", "$(touch pwned)", "`touch pwned`", "$MVXDIR/cmr10", "~/cmr10",
                             "cm r10", "cm{r}10"}) {
        BinaryRun r;
        DviWriter w;
        w.fntdef(0, name);
        ASSERT_TRUE(testing::writeFile(r.dir.file("in.dvi"), onePageFile(w.b)));
        r.go("in.dvi", {}, {"MVXDIR=" + cmr10dir, "HOME=" + cmr10dir});
        EXPECT_EQ(r.result.exitCode, 200) << name;
        EXPECT_NE(r.result.out.find(std::string("\nCan not find font metrics ") + name +
                                    ": the name is not a plain file name.\n"),
                  std::string::npos)
            << r.result.out;
        EXPECT_EQ(r.log.find("Font metrics"), std::string::npos) << name;
        EXPECT_NE(access(r.dir.file("pwned").c_str(), F_OK), 0) << name;
    }
}

TEST(DvipageRun, PostClosesTheDocumentAndReleasesTheTables) {
    BinaryRun r;
    // Page 2 is selected and carries no font, so no glyph is generated.
    DviWriter w;
    w.pre(" test");
    w.bop(1).fntdef(0, "cmr10");
    w.b.u1(171).u1(72).u1(141).u1(141);
    w.eop().bop(2).eop().post().postpost();
    ASSERT_TRUE(testing::writeFile(r.dir.file("in.dvi"), w.str()));
    r.go("in.dvi", {"-p", "2"});
    EXPECT_EQ(r.result.exitCode, 0) << r.result.out;
    EXPECT_NE(r.result.out.find("Pages:.*(.)\n"), std::string::npos) << r.result.out;
    EXPECT_EQ(r.svg.substr(r.svg.size() - 8), "\n</svg>\n");
    EXPECT_NE(r.log.find("\n\ndvitfmfree: 0\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("\ndvipagefontfree: 0\n"), std::string::npos);
}

}  // namespace
}  // namespace morvex
