// Font definitions inside the pages: their trace, their advances and the
// tables of used characters.
#include "dvi/page_fonts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dvi/page_fixture.h"

namespace morvex {
namespace {

using testing::Bytes;
using testing::MemStream;
using testing::OutCapture;

// The record of a fnt_def1 after its opcode.
Bytes fontRecord(uint32_t k, const std::string& name, uint32_t s = 655360, uint32_t d = 655360,
                 uint32_t c = 0, const std::string& area = "") {
    Bytes b;
    b.u1(k).u4(c).u4(s).u4(d).u1(static_cast<uint32_t>(area.size())).u1(static_cast<uint32_t>(name.size()));
    return b.text(area).text(name);
}

struct Fonts {
    FontTable fonts;
    TfmState tfm;
    OutCapture log, out;
    Fonts() {
        testing::writePageFonts();
        dvitfminit();
    }
    int define(const Bytes& record, bool selected = false) {
        MemStream in(record.str());
        return dvipagefontdef(fonts, tfm, selected, in.f, log.f, out.f);
    }
};

TEST(PageFontDef, TracesTheRecordAndLoadsTheMetrics) {
    Fonts f;
    ASSERT_EQ(f.define(fontRecord(5, "mvxpage", 655360, 655360, 4000000000u)), 0);
    std::string log = f.log.str();
    std::string head =
        "\nFNT_DEF_1: k: 5, c:4000000000, s:655360, d:655360, a:0, l:7 n:mvxpage\ns/d: 1.000000\nn:mvxpage"
        "\nFont metrics mvxpage: ";
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_NE(log.find("WIDTHS SECTION (nw)\n"), std::string::npos);
    EXPECT_EQ(f.out.str(), "*");
    const PageFont* e = f.fonts[5].get();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->def.checksum, 4000000000u);
    EXPECT_EQ(e->def.name, "mvxpage");
    EXPECT_EQ(e->used, nullptr);
    ASSERT_NE(f.tfm.tables.fonts[5], nullptr);
}

TEST(PageFontDef, AreaAndNameRunTogether) {
    Fonts f;
    // The area names no directory kpathsea knows, so the lookup fails; the
    // entry keeps the joined name and gets no used table.
    EXPECT_EQ(f.define(fontRecord(1, "mvxpa", 655360, 655360, 0, "abc"), true), 1);
    EXPECT_NE(f.log.str().find("a:3, l:5 n:abcmvxpa\ns/d: 1.000000\nn:abcmvxpa"), std::string::npos);
    EXPECT_EQ(f.out.str(), "*\nCan not find font metrics abcmvxpa.\n");
    ASSERT_NE(f.fonts[1], nullptr);
    EXPECT_EQ(f.fonts[1]->def.name, "abcmvxpa");
    EXPECT_EQ(f.fonts[1]->used, nullptr);
}

TEST(PageFontDef, EmptyNameIsLookedUpAndFails) {
    Fonts f;
    EXPECT_NE(f.define(fontRecord(0, "")), 0);
    EXPECT_NE(f.log.str().find("a:0, l:0 n:\ns/d: 1.000000\nn:"), std::string::npos);
}

TEST(PageFontDef, UsedTableOnlyOnTheSelectedPage) {
    Fonts f;
    ASSERT_EQ(f.define(fontRecord(3, "mvxpage"), true), 0);
    ASSERT_NE(f.fonts[3]->used, nullptr);
    EXPECT_EQ(f.fonts[3]->used->count(), 0u);
    // Defined again on a page that is not selected: the new entry has none.
    ASSERT_EQ(f.define(fontRecord(3, "mvxpage"), false), 0);
    EXPECT_EQ(f.fonts[3]->used, nullptr);
}

// Files joined from several runs, and pages, define a font again with the
// same values: the codes set before stay used. Another font under the
// number starts afresh, as does a definition of the same font before any
// code was set.
TEST(PageFontDef, ARepeatedDefinitionKeepsTheCodesSetBefore) {
    struct Case {
        const char* what;
        Bytes again;
        bool selected;
        std::vector<int> used;  // none: no used table
        bool table;
    };
    const Case cases[] = {
        {"the same font on the selected page", fontRecord(3, "mvxpage"), true, {65, 200}, true},
        {"the same font on a later page", fontRecord(3, "mvxpage"), false, {65, 200}, true},
        {"another scaled size", fontRecord(3, "mvxpage", 2 * 655360), true, {}, true},
        {"another design size, later page", fontRecord(3, "mvxpage", 655360, 2 * 655360), false, {}, false},
        {"another checksum", fontRecord(3, "mvxpage", 655360, 655360, 7), true, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fonts f;
        ASSERT_EQ(f.define(fontRecord(3, "mvxpage"), true), 0);
        dvipagemarkused(f.fonts, 3, 65);
        dvipagemarkused(f.fonts, 3, 200);
        const std::string before = f.log.str();
        ASSERT_EQ(f.define(c.again, c.selected), 0);
        // The definition is traced like the first one.
        EXPECT_EQ(f.log.str().substr(before.size(), 12), "\nFNT_DEF_1: ");
        ASSERT_EQ(f.fonts[3]->used != nullptr, c.table);
        if (!c.table) continue;
        std::vector<int> codes;
        for (int code = 0; code < 256; ++code)
            if ((*f.fonts[3]->used)[static_cast<size_t>(code)]) codes.push_back(code);
        EXPECT_EQ(codes, c.used);
    }
}

TEST(PageFontWidth, AdvanceIsTruncatedTowardZero) {
    struct Case {
        const char* font;
        uint32_t s, d;
        int32_t ch;
        int32_t advance;
    };
    const Case cases[] = {
        {"mvxpage", 655360, 655360, 65, testing::kWide},
        {"mvxpage", 655360, 655360, 66, testing::kNarrow},
        {"mvxpage", 655360 * 2, 655360, 65, 2 * testing::kWide},
        {"mvxpage", 327680, 655360, 255, testing::kNarrow / 2},
        {"mvxfrac", 655360, 655360, 0, 1234},    // 1234.375
        {"mvxfrac", 655360, 655360, 1, -1234},   // -1234.375
        {"mvxfrac", 1310720, 655360, 0, 2468},   // 2468.75
        {"mvxfrac", 655360, 655360, 2, 0},       // past ec
        {"mvxpage", 655360, 0, 65, 0},           // s/d infinite
        {"mvxpage", 0, 0, 65, 0},                // s/d not a number
        {"mvxpage", 0xFFFFFFFFu, 1, 65, 0},      // far beyond 32 bits
        {"mvxpage", 0, 655360, 65, 0},
    };
    for (const Case& c : cases) {
        Fonts f;
        ASSERT_EQ(f.define(fontRecord(7, c.font, c.s, c.d)), 0);
        EXPECT_EQ(dvipagecharwidth(f.fonts, f.tfm, 7, c.ch), c.advance)
            << c.font << " s=" << c.s << " d=" << c.d << " code " << c.ch;
    }
}

TEST(PageFontWidth, NoEntryOrNoMetricsGivesZero) {
    Fonts f;
    EXPECT_EQ(dvipagecharwidth(f.fonts, f.tfm, 0, 65), 0);
    EXPECT_EQ(dvipagecharwidth(f.fonts, f.tfm, -1, 65), 0);
    EXPECT_EQ(dvipagecharwidth(f.fonts, f.tfm, 256, 65), 0);
    // An entry whose metrics failed to load.
    EXPECT_NE(f.define(fontRecord(2, "mvxnosuchfont")), 0);
    EXPECT_EQ(dvipagecharwidth(f.fonts, f.tfm, 2, 65), 0);
}

TEST(PageFontUsed, MarkingSetsFlagsAndGivesLateFontsATable) {
    Fonts f;
    ASSERT_EQ(f.define(fontRecord(0, "mvxpage"), true), 0);
    ASSERT_EQ(f.define(fontRecord(9, "mvxpage"), false), 0);
    dvipagemarkused(f.fonts, 0, 200);
    dvipagemarkused(f.fonts, 0, 200);
    EXPECT_TRUE((*f.fonts[0]->used)[200]);
    EXPECT_FALSE((*f.fonts[0]->used)[199]);
    // Font 9 came from a page that was not selected: its first use on the
    // selected page creates its table.
    dvipagemarkused(f.fonts, 9, 65);
    ASSERT_NE(f.fonts[9]->used, nullptr);
    EXPECT_EQ(f.fonts[9]->used->count(), 1u);
    EXPECT_TRUE((*f.fonts[9]->used)[65]);
    // Fonts without an entry and codes out of range are passed over.
    dvipagemarkused(f.fonts, 4, 65);
    dvipagemarkused(f.fonts, 0, 256);
    dvipagemarkused(f.fonts, 300, 1);
    EXPECT_EQ(f.fonts[4], nullptr);
}

TEST(PageFontFree, ReleasesEveryEntryInAscendingOrder) {
    Fonts f;
    ASSERT_EQ(f.define(fontRecord(5, "mvxpage"), true), 0);
    ASSERT_EQ(f.define(fontRecord(0, "mvxpage")), 0);
    OutCapture log;
    dvipagefontfree(f.fonts, log.f);
    EXPECT_EQ(log.str(), "\ndvipagefontfree: 0 5\n");
    for (const auto& slot : f.fonts) EXPECT_EQ(slot, nullptr);
}

}  // namespace
}  // namespace morvex
