#include "dvi/dvibase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "svg/text_document.h"
#include "support/bytes.h"

using namespace morvex;
using morvex::testing::DviWriter;
using morvex::testing::HandedCapture;
using morvex::testing::MemStream;
using morvex::testing::OutCapture;

namespace {

const std::string kComment = " TeX output 2005.03.01:1200";

// The example file: comment of 27 bytes, one page at offset 42 padded with
// nops so that the postamble lies at 1210, one font cmr10, four 223 bytes.
DviWriter exampleDvi(uint32_t mag = 1000) {
    DviWriter w;
    w.pre(kComment, 25400000, 473628672, mag);
    w.bop(1);
    while (w.b.size() < 1209) w.b.u1(138);
    w.eop();
    w.post(39321600, 26214400, 2, 1, 25400000, 473628672, mag);
    w.fntdef(0, "cmr10");
    w.postpost(4);
    return w;
}

struct BaseResult {
    int code = 0;
    std::string out, svg, log;
    long position = 0;
    float ptPerDvi = 0.0f;
    int32_t stackCapacity = 0;
};

// dvibase and, as the front end has it written, the document's prologue.
BaseResult runDvibase(const std::string& bytes, const std::string& fontsPath = "fonts.svg") {
    MemStream dvi(bytes);
    OutCapture out, log;
    HandedCapture svg;
    TextDocument document(svg.handle(), log.f, out.f);
    DviFrame frame;
    BaseResult r;
    r.code = dvibase(frame, dvi.f, log.f, out.f).code;
    if (r.code == kDvibaseOk || r.code == kDvibaseBadFntDef || r.code == kDvibaseNoBop)
        document.prologue(frame, fontsPath);
    document.close();
    r.position = std::ftell(dvi.f);
    r.out = out.str();
    r.svg = svg.str();
    r.log = log.str();
    r.ptPerDvi = frame.ptPerDvi;
    r.stackCapacity = frame.stackCapacity;
    return r;
}

TEST(Dvibase, ExampleFileGivesTheDocumentedPrologueAndTrace) {
    DviWriter w = exampleDvi();
    ASSERT_EQ(w.postOffset, 1210u);
    BaseResult r = runDvibase(w.str());
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.svg,
              "\n<!DOCTYPE svg SYSTEM \"-//W3C//DTD SVG 1.1//EN\" ["
              "\n <!ENTITY st0 \"font-family:cmr10;font-size:10.00pt;\">"
              "\n]>"
              "\n<svg width=\"472.27pt\" height=\"672.27pt\" version=\"1.1\""
              "\n     viewBox=\"0 0 472.27pt 672.27pt\""
              "\n     xmlns=\"http://www.w3.org/2000/svg\" xml:space=\"preserve\">"
              "\n<style type=\"text/css\">"
              "\n<![CDATA["
              "\n @font-face{font-family:'cmr10';font-size:'10.00pt';src:url(fonts.svg#cmr10)}"
              "\n]]>"
              "\n</style>");
    EXPECT_EQ(r.log,
              "#### dvibase\n"
              "PRE: i:2 num:25400000 den:473628672 mag:1000 \n"
              "     x:' TeX output 2005.03.01:1200'\n"
              "Padding:4\n"
              "POST_POST: q:1210 i:2\n"
              "POST: p:42 num:25400000 den:473628672 mag:1000\n"
              "      l:39321600 u:26214400 s:2 t:1\n"
              "FNT_DEF_1: k: 0, c:         0, s:655360, d:655360, a:0, l:5 n:cmr10\n"
              "dvibasefontfree: 0\n"
              "\n"
              "BOP: c0:1 c1:0 c2:0 c3:0 c4:0 c5:0 c6:0 c7:0 c8:0 c9:0 p:-1\n");
    EXPECT_EQ(r.out, "' TeX output 2005.03.01:1200'\nFonts:*\n");
    EXPECT_EQ(r.position, 42);
    EXPECT_EQ(r.ptPerDvi, 1.0f / 65536.0f);
    EXPECT_EQ(r.stackCapacity, 2);
}

TEST(Dvibase, MagnificationScalesSizesAndRootElement) {
    BaseResult r = runDvibase(exampleDvi(2000).str());
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.ptPerDvi, 1.0f / 32768.0f);
    EXPECT_NE(r.svg.find("font-size:20.00pt;"), std::string::npos);
    EXPECT_NE(r.svg.find("font-size:'20.00pt'"), std::string::npos);
    // 26214400 / 32768 + 72.27 and 39321600 / 32768 + 72.27.
    EXPECT_NE(r.svg.find("<svg width=\"872.27pt\" height=\"1272.27pt\""), std::string::npos);
}

TEST(Dvibase, TrailingPaddingLocatesPostPost) {
    struct Case {
        uint32_t padding;
        const char* trace;  // nullptr: no Padding text at all
    };
    const Case cases[] = {{0, "Padding:0"}, {1, "Padding:1"}, {4, "Padding:4"}, {7, "Padding:7"},
                          {8, nullptr}, {9, nullptr}};
    for (const auto& c : cases) {
        DviWriter w;
        w.pre("x").bop(1).eop().post().fntdef(0, "cmr10");
        w.postpost(c.padding);
        BaseResult r = runDvibase(w.str());
        // With nine 223 bytes post_post is still looked for 14 bytes before
        // the end, where it is not.
        if (c.padding == 9) {
            EXPECT_EQ(r.code, kDvibaseNoPostPost) << c.padding;
            continue;
        }
        EXPECT_EQ(r.code, 0) << c.padding;
        if (c.trace != nullptr) {
            EXPECT_NE(r.log.find(std::string("\n") + c.trace + "\nPOST_POST"), std::string::npos) << c.padding;
        } else {
            EXPECT_EQ(r.log.find("Padding"), std::string::npos);
            EXPECT_NE(r.log.find("'\n\nPOST_POST:"), std::string::npos) << r.log;
        }
    }
}

TEST(Dvibase, FailuresLeaveTheDocumentedOutputs) {
    struct Case {
        const char* what;
        std::string bytes;
        int code;
        std::string logEnd;   // what the trace ends with
        std::string svg;      // whole SVG output
        std::string outEnd;   // what standard output ends with
    };
    DviWriter good = exampleDvi();
    std::string noPre = good.str();
    noPre[0] = static_cast<char>(246);

    std::string noPostPost = good.str();
    noPostPost[noPostPost.size() - 10] = static_cast<char>(250);

    std::string noPost = good.str();
    noPost[1210] = static_cast<char>(138);

    DviWriter fntdef2;
    fntdef2.pre("x").bop(1).eop().post().fntdef(0, "cmr10");
    fntdef2.b.u1(244).u2(1);  // fnt_def2 is not accepted in the postamble
    fntdef2.postpost(4);

    DviWriter nop;
    nop.pre("x").bop(1).eop().post().fntdef(0, "cmr10");
    nop.b.u1(138);
    nop.fntdef(1, "cmr7");
    nop.postpost(4);

    // A zero num or den would make every position and size infinite.
    DviWriter zeroNum = exampleDvi();
    zeroNum.b.data[2] = zeroNum.b.data[3] = zeroNum.b.data[4] = zeroNum.b.data[5] = 0;
    DviWriter zeroDen = exampleDvi();
    zeroDen.b.data[6] = zeroDen.b.data[7] = zeroDen.b.data[8] = zeroDen.b.data[9] = 0;

    const std::string doctype = "\n<!DOCTYPE svg SYSTEM \"-//W3C//DTD SVG 1.1//EN\" [";
    const Case cases[] = {
        {"no pre", noPre, kDvibaseNoPre, "", "", ""},
        {"num 0", zeroNum.str(), kDvibaseNoPre, "PRE: i:2 num:0 den:473628672 mag:1000 \n     x:'" + kComment + "'\n",
         "", "'" + kComment + "'\n"},
        {"den 0", zeroDen.str(), kDvibaseNoPre, "PRE: i:2 num:25400000 den:0 mag:1000 \n     x:'" + kComment + "'\n",
         "", "'" + kComment + "'\n"},
        {"no post_post", noPostPost, kDvibaseNoPostPost, "Padding:4", "", "'\n"},
        {"no post", noPost, kDvibaseNoPost, "POST_POST: q:1210 i:2", "", "'\n"},
        {"fnt_def2", fntdef2.str(), kDvibaseBadFntDef, "n:cmr10", doctype, "Fonts:*"},
        {"nop between definitions", nop.str(), kDvibaseBadFntDef, "n:cmr10", doctype, "Fonts:*"},
    };
    for (const auto& c : cases) {
        BaseResult r = runDvibase(c.bytes);
        EXPECT_EQ(r.code, c.code) << c.what;
        if (c.logEnd.empty()) {
            EXPECT_EQ(r.log, "") << c.what;
        } else {
            ASSERT_GE(r.log.size(), c.logEnd.size()) << c.what;
            EXPECT_EQ(r.log.substr(r.log.size() - c.logEnd.size()), c.logEnd) << c.what;
        }
        EXPECT_EQ(r.svg, c.svg) << c.what;
        ASSERT_GE(r.out.size(), c.outEnd.size()) << c.what;
        EXPECT_EQ(r.out.substr(r.out.size() - c.outEnd.size()), c.outEnd) << c.what;
    }
}

TEST(Dvibase, FontNamesThatWouldBreakTheDocumentAreRefused) {
    const std::string bad[] = {"cm\"r10", "cm&r", "a<b", "a>b", "a]b", "a;b", "a{b", "a}b", "a(b", "a)b",
                               "a#b",     "a b",  "a\tb", std::string("a\0b", 3), "caf\xC3\xA9", "a\x7F"};
    for (const auto& name : bad) {
        DviWriter w;
        w.pre("x").bop(1).eop().post().fntdef(0, "cmr10").fntdef(1, name).postpost(4);
        BaseResult r = runDvibase(w.str());
        EXPECT_EQ(r.code, kDvibaseBadFntDef) << name;
        EXPECT_EQ(r.svg.find("ENTITY"), std::string::npos) << name;
    }
    const std::string good[] = {"cmr10", "ec-lmr10", "my_font.v2+x", "fonts/local/cmr10", ""};
    for (const auto& name : good) {
        DviWriter w;
        w.pre("x").bop(1).eop().post().fntdef(0, name).postpost(4);
        EXPECT_EQ(runDvibase(w.str()).code, 0) << name;
    }
}

TEST(Dvibase, AreaAndNameAreJoinedAndLaterDefinitionsReplaceEarlierOnes) {
    DviWriter w;
    w.pre("x").bop(1).eop().post();
    w.fntdef(7, "cmr10", 655360, 655360, 1, "fonts/");
    w.fntdef(3, "cmr7", 458752, 458752);
    w.fntdef(7, "cmbx12", 786432, 786432);
    w.postpost(4);
    BaseResult r = runDvibase(w.str(), "f.svg");
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.log.find("n:fonts/cmr10"), std::string::npos);
    EXPECT_NE(r.log.find("a:6, l:5 n:fonts/cmr10"), std::string::npos);
    EXPECT_NE(r.log.find("\ndvibasefontfree: 3 7\n"), std::string::npos);
    // Ascending font numbers; the later definition of 7 is the one written.
    size_t st3 = r.svg.find("<!ENTITY st3 \"font-family:cmr7;font-size:7.00pt;\">");
    size_t st7 = r.svg.find("<!ENTITY st7 \"font-family:cmbx12;font-size:12.00pt;\">");
    ASSERT_NE(st3, std::string::npos);
    ASSERT_NE(st7, std::string::npos);
    EXPECT_LT(st3, st7);
    EXPECT_EQ(r.svg.find("cmr10"), std::string::npos);
    EXPECT_NE(r.svg.find("@font-face{font-family:'cmbx12';font-size:'12.00pt';src:url(f.svg#cmbx12)}"),
              std::string::npos);
    EXPECT_EQ(r.out, "'x'\nFonts:***\n");
}

TEST(Dvibase, PostambleWithoutFontsOrPages) {
    DviWriter w;
    w.pre("empty");
    w.post(0, 0, 0, 0);
    w.postpost(4);
    BaseResult r = runDvibase(w.str());
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.position, 0);  // the loop then reads the pre opcode
    EXPECT_NE(r.svg.find("[\n]>"), std::string::npos);
    EXPECT_NE(r.svg.find("<![CDATA[\n]]>"), std::string::npos);
    EXPECT_EQ(r.out, "'empty'\nFonts:\n");
    std::string tail = "\ndvibasefontfree:\n\n";
    EXPECT_EQ(r.log.substr(r.log.size() - tail.size()), tail);
    EXPECT_EQ(r.log.find("BOP"), std::string::npos);
}

TEST(Dvibase, PageChainIsWalkedBackToTheFirstPage) {
    DviWriter w;
    w.pre("x");
    uint32_t first = static_cast<uint32_t>(w.b.size());
    w.bop(1).eop().bop(2).eop().bop(-3).eop().post().fntdef(0, "cmr10").postpost(4);
    BaseResult r = runDvibase(w.str());
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.position, static_cast<long>(first));
    size_t p3 = r.log.find("BOP: c0:-3 ");
    size_t p2 = r.log.find("BOP: c0:2 ");
    size_t p1 = r.log.find("BOP: c0:1 ");
    ASSERT_NE(p3, std::string::npos);
    EXPECT_LT(p3, p2);
    EXPECT_LT(p2, p1);
}

// Rewrites the back-pointer of the bop at offset bop.
void setBackPointer(std::string& bytes, uint32_t bop, uint32_t target) {
    size_t at = bop + 41;
    bytes[at] = static_cast<char>(target >> 24);
    bytes[at + 1] = static_cast<char>(target >> 16);
    bytes[at + 2] = static_cast<char>(target >> 8);
    bytes[at + 3] = static_cast<char>(target);
}

TEST(Dvibase, BrokenPageChainsEndWithCode16) {
    DviWriter w;
    w.pre("x");
    uint32_t first = static_cast<uint32_t>(w.b.size());
    w.bop(1).eop();
    uint32_t second = static_cast<uint32_t>(w.b.size());
    w.bop(2).eop().post().fntdef(0, "cmr10").postpost(4);
    const std::string good = w.str();

    struct Case {
        const char* what;
        uint32_t bop;
        uint32_t target;
        int bopLines;  // BOP lines traced before the failure
    };
    const Case cases[] = {
        {"pointer to itself", second, second, 1},
        {"pointer forward to a later bop", first, second, 2},
        {"pointer beyond the end", second, 100000, 1},
        {"pointer into the middle of a page", second, first + 3, 1},
    };
    for (const auto& c : cases) {
        std::string bytes = good;
        setBackPointer(bytes, c.bop, c.target);
        BaseResult r = runDvibase(bytes);
        EXPECT_EQ(r.code, kDvibaseNoBop) << c.what;
        size_t lines = 0;
        for (size_t p = r.log.find("\nBOP: "); p != std::string::npos; p = r.log.find("\nBOP: ", p + 1)) ++lines;
        EXPECT_EQ(lines, static_cast<size_t>(c.bopLines)) << c.what;
        // The whole prologue is written before the walk.
        EXPECT_NE(r.svg.find("\n</style>"), std::string::npos) << c.what;
    }
}

TEST(Dvibase, PostambleOffsetBeyondTheEnd) {
    DviWriter w = exampleDvi();
    std::string bytes = w.str();
    size_t q = bytes.size() - 4 - 5;  // q of post_post
    bytes[q] = 0x7F;
    EXPECT_EQ(runDvibase(bytes).code, kDvibaseNoPost);
}

TEST(Dvibase, LargeUnsignedValuesAreTracedSigned) {
    DviWriter w;
    w.pre("x", 2147483648u, 473628672, 1000);
    w.bop(1).eop();
    w.post(4294967295u, 2147483648u);
    w.postpost(4);
    BaseResult r = runDvibase(w.str());
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.log.find("PRE: i:2 num:-2147483648 "), std::string::npos);
    EXPECT_NE(r.log.find("l:-1 u:-2147483648 "), std::string::npos);
}

TEST(Dvibase, TinyFiles) {
    const std::string files[] = {"", "\xF7", std::string("\xF7\x02", 2)};
    const int codes[] = {kDvibaseNoPre, kDvibaseNoPostPost, kDvibaseNoPostPost};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(runDvibase(files[i]).code, codes[i]) << i;
}

}  // namespace
