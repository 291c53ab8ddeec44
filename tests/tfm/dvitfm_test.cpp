// Loading TFM widths through kpathsea: the trace of each section, the
// tables by font number, malformed files and the real cmr10.
#include "tfm/dvitfm.h"

#include <gtest/gtest.h>

#include "support/bytes.h"
#include "tfm/tfm_fixture.h"

namespace morvex {
namespace {

using testing::Bytes;
using testing::OutCapture;
using testing::TfmWriter;
using testing::fixword;
using testing::writeTfm;

struct Loaded {
    TfmState tfm;
    OutCapture log;
    OutCapture out;
    int result = -1;
};

void load(Loaded& l, const std::string& name, int k) {
    testing::tfmFixtureDir();
    dvitfminit();
    l.result = dvitfmload(l.tfm, name, k, l.log.f, l.out.f);
}

// Everything after the path line.
std::string traceBody(OutCapture& log) {
    std::string s = log.str();
    size_t p = s.find("FIRST SECTION");
    return p == std::string::npos ? s : s.substr(p);
}

TEST(DvitfmLoad, TracesEverySectionOfAFile) {
    TfmWriter t = TfmWriter::font(0, {1, 2}, {0.5, -1.0});
    t.lf = 100;
    t.lh = 5;
    t.np = 7;
    t.checksum = 0xFFFFFFFEu;
    t.designSize = 0x01147AE1;  // 17.28 pt
    t.headerRest = {0x08, 0x54, 0x65, 0x58, 0x20, 0x74, 0x65, 0x78, 0x74, 0x00, 0x00, 0x2E};
    writeTfm("mvxtrace", t.bytes());

    Loaded l;
    load(l, "mvxtrace", 3);
    ASSERT_EQ(l.result, 0);
    std::string log = l.log.str();
    std::string head = "\nFont metrics mvxtrace: ";
    ASSERT_EQ(log.substr(0, head.size()), head);
    EXPECT_NE(log.find("mvxtrace.tfm\n"), std::string::npos);
    EXPECT_EQ(traceBody(l.log),
              "FIRST SECTION\n"
              "lm: 400B lh:  14 bc: 0 ec: 1\n"
              "nw:   c nh:   0 nd:   0 ni:   0\n"
              "nl:   0 nk:   0 ne:   0 np:  1c\n"
              "HEADER SECTION (lh)\n"
              "checksum:4294967294\n"
              "designsize:17.279999 in pt (1132462 in DVI units)\n"
              "'<8>TeX text..<.>'\n"
              "CHARACTERS SECTION (ec-bc+1)\n"
              "WIDTHS SECTION (nw)\n");
    EXPECT_EQ(l.out.str(), "");
    EXPECT_EQ(l.tfm.header.checksum, 0xFFFFFFFEu);
}

TEST(DvitfmLoad, WidthsAreFixWordsTimesDesignSize) {
    // 10 pt: one half is 5 pt, minus one is -10 pt.
    writeTfm("mvxwidths", TfmWriter::font(0, {1, 2, 0}, {0.5, -1.0}).bytes());
    Loaded l;
    load(l, "mvxwidths", 7);
    ASSERT_EQ(l.result, 0);
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 7, 0), 5.0f);
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 7, 1), -10.0f);
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 7, 2), 0.0f);
    EXPECT_EQ(traceBody(l.log).find("designsize:10.000000 in pt (655360 in DVI units)\n") != std::string::npos,
              true);
    // Other font numbers have no tables.
    EXPECT_EQ(tfmWidth(l.tfm, 6, 0), 0.0f);
}

TEST(DvitfmLoad, HeightsAndDepthsFollowTheWidthsWithoutATrace) {
    // Code 0: height index 1, depth index 2; code 1: height 2, depth 0;
    // code 2: indices past the tables.
    TfmWriter t = TfmWriter::font(0, {1, 1, 1}, {0.5});
    t.heightDepth = {0x12, 0x20, 0xFF};
    t.nh = 3;
    t.nd = 3;
    Bytes tail;
    tail.u4(0).u4(fixword(0.7)).u4(fixword(0.25));   // heights
    tail.u4(0).u4(fixword(0.1)).u4(fixword(-0.05));  // depths
    t.tail = tail.data;
    writeTfm("mvxboxes", t.bytes());
    Loaded l;
    load(l, "mvxboxes", 3);
    ASSERT_EQ(l.result, 0);
    // Fix_words times the design size, to single precision.
    EXPECT_NEAR(tfmHeightDepth(l.tfm, 3, 0).height, 7.0f, 1e-5);
    EXPECT_NEAR(tfmHeightDepth(l.tfm, 3, 0).depth, -0.5f, 1e-5);
    EXPECT_NEAR(tfmHeightDepth(l.tfm, 3, 1).height, 2.5f, 1e-5);
    EXPECT_EQ(tfmHeightDepth(l.tfm, 3, 1).depth, 0.0f);
    EXPECT_EQ(tfmHeightDepth(l.tfm, 3, 2).height, 0.0f);
    EXPECT_EQ(tfmHeightDepth(l.tfm, 3, 2).depth, 0.0f);
    EXPECT_EQ(tfmHeightDepth(l.tfm, 3, 3).height, 0.0f);  // past ec
    EXPECT_EQ(tfmHeightDepth(l.tfm, 4, 0).height, 0.0f);  // no font
    // The trace ends with the widths, as it always has.
    const std::string body = traceBody(l.log);
    EXPECT_EQ(body.substr(body.size() - 20), "WIDTHS SECTION (nw)\n");
}

TEST(DvitfmLoad, CharInfoCoversBcToEcOnly) {
    // Codes 32..126: the first word belongs to 32, the last to 126.
    std::vector<uint8_t> idx(95, 2);
    idx.front() = 1;
    idx.back() = 3;
    writeTfm("mvxrange", TfmWriter::font(32, idx, {0.1, 0.2, 0.3}).bytes());
    Loaded l;
    load(l, "mvxrange", 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 0, 32), static_cast<float>(fixword(0.1) / 1048576.0 * 10.0));
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 0, 33), static_cast<float>(fixword(0.2) / 1048576.0 * 10.0));
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 0, 126), static_cast<float>(fixword(0.3) / 1048576.0 * 10.0));
    // Outside bc..ec there is no char_info word: the width is 0.
    for (int ch : {-1, 0, 31, 127, 255, 256}) EXPECT_EQ(tfmWidth(l.tfm, 0, ch), 0.0f) << ch;
}

TEST(DvitfmLoad, FontWithoutCharactersReadsWidthsAfterHeader) {
    TfmWriter t;
    t.bc = 1;
    t.ec = 0;
    t.nw = 2;
    t.widths = {0, fixword(0.75)};
    t.tail = {0xAA, 0xBB, 0xCC, 0xDD};  // would be a char_info word if one were read
    writeTfm("mvxempty", t.bytes());
    Loaded l;
    load(l, "mvxempty", 1);
    ASSERT_EQ(l.result, 0);
    ASSERT_NE(l.tfm.tables.fonts[1], nullptr);
    EXPECT_TRUE(l.tfm.tables.fonts[1]->widthIndex.empty());
    ASSERT_EQ(l.tfm.tables.fonts[1]->widths.size(), 2u);
    EXPECT_FLOAT_EQ(l.tfm.tables.fonts[1]->widths[1], 7.5f);
    // lh 2: the header dump is empty.
    EXPECT_NE(traceBody(l.log).find("(655360 in DVI units)\n''\n"), std::string::npos);
}

// Lengths that no real TFM file holds: nothing is allocated from them and no
// lookup leaves a table.
TEST(DvitfmLoad, NegativeAndInconsistentLengthsStayInsideTheTables) {
    struct Case {
        const char* name;
        TfmWriter t;
    };
    std::vector<Case> cases;
    {
        TfmWriter t = TfmWriter::font(0, {1, 5, 200}, {0.5});  // indices 5 and 200 >= nw (2)
        cases.push_back({"mvxbadidx", t});
    }
    {
        TfmWriter t = TfmWriter::font(0, {1}, {0.5});
        t.nw = -3;  // negative: no width is read
        t.lh = -100;
        t.lf = -1;
        cases.push_back({"mvxnegative", t});
    }
    {
        TfmWriter t = TfmWriter::font(65, {1, 1}, {0.5});
        t.nw = 32767;  // far more widths than the file holds: read as 255s
        cases.push_back({"mvxshort", t});
    }
    for (auto& c : cases) {
        writeTfm(c.name, c.t.bytes());
        Loaded l;
        load(l, c.name, 9);
        ASSERT_EQ(l.result, 0) << c.name;
        const FontMetrics* m = l.tfm.tables.fonts[9].get();
        ASSERT_NE(m, nullptr) << c.name;
        EXPECT_EQ(m->widths.size(), static_cast<size_t>(c.t.nw > 0 ? c.t.nw : 0)) << c.name;
        for (int ch = -5; ch < 300; ++ch) {
            float w = tfmWidth(l.tfm, 9, ch);
            EXPECT_TRUE(w == 0.0f || w == 5.0f || w == static_cast<float>(-1.0 / 1048576.0 * 10.0))
                << c.name << " code " << ch << " width " << w;
        }
    }
}

TEST(DvitfmLoad, NegativeLengthsAreTracedAsRead) {
    TfmWriter t = TfmWriter::font(0, {1}, {0.5});
    t.lh = -2;
    t.lf = -1;
    writeTfm("mvxnegtrace", t.bytes());
    Loaded l;
    load(l, "mvxnegtrace", 0);
    ASSERT_EQ(l.result, 0);
    std::string body = traceBody(l.log);
    EXPECT_NE(body.find("lm:  -4B lh:fffffff8 "), std::string::npos) << body;
    // Nothing of the header is dumped when 4*lh - 8 is negative.
    EXPECT_NE(body.find("DVI units)\n''\n"), std::string::npos) << body;
}

TEST(DvitfmLoad, TheInstallationsCmr10) {
    Loaded l;
    load(l, "cmr10", 0);
    ASSERT_EQ(l.result, 0);
    std::string body = traceBody(l.log);
    EXPECT_NE(body.find("designsize:10.000000 in pt (655360 in DVI units)\n"), std::string::npos);
    EXPECT_NE(body.find("bc: 0 ec:7f\n"), std::string::npos);
    EXPECT_NE(body.find("'<8>TeX text"), std::string::npos);
    // cmr10: A is 0.750002 of the design size wide, a is 0.5.
    EXPECT_NEAR(tfmWidth(l.tfm, 0, 'A'), 7.50002f, 1e-4);
    EXPECT_NEAR(tfmWidth(l.tfm, 0, 'a'), 5.0f, 1e-4);
    EXPECT_EQ(tfmWidth(l.tfm, 0, 200), 0.0f);
    // h rises 0.694445 of it, g hangs 0.194443 below.
    EXPECT_NEAR(tfmHeightDepth(l.tfm, 0, 'h').height, 6.94445f, 1e-4);
    EXPECT_NEAR(tfmHeightDepth(l.tfm, 0, 'g').depth, 1.94443f, 1e-4);
}

TEST(DvitfmLoad, MissingFontIsReportedWithoutTraceOrTables) {
    Loaded l;
    load(l, "mvxnosuchfont", 4);
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(l.out.str(), "\nCan not find font metrics mvxnosuchfont.\n");
    EXPECT_EQ(l.log.str(), "");
    EXPECT_EQ(l.tfm.tables.fonts[4], nullptr);
}

TEST(DvitfmLoad, SecondLoadOfANumberReplacesTheFirst) {
    writeTfm("mvxfirst", TfmWriter::font(0, {1}, {0.5}).bytes());
    writeTfm("mvxsecond", TfmWriter::font(0, {1}, {0.25}).bytes());
    Loaded l;
    load(l, "mvxfirst", 2);
    load(l, "mvxsecond", 2);
    EXPECT_FLOAT_EQ(tfmWidth(l.tfm, 2, 0), 2.5f);
}

TEST(DvitfmFree, ReleasesLoadedNumbersInAscendingOrder) {
    writeTfm("mvxfree", TfmWriter::font(0, {1}, {0.5}).bytes());
    Loaded l;
    for (int k : {5, 0, 1}) load(l, "mvxfree", k);
    OutCapture log;
    dvitfmfree(l.tfm, log.f);
    EXPECT_EQ(log.str(), "\ndvitfmfree: 0 1 5\n");
    for (const auto& f : l.tfm.tables.fonts) EXPECT_EQ(f, nullptr);

    OutCapture again;
    dvitfmfree(l.tfm, again.f);
    EXPECT_EQ(again.str(), "\ndvitfmfree:\n");
}

}  // namespace
}  // namespace morvex
