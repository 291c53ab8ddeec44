// Font map lookup: which line is a font's, its first two tokens, the font
// file named on it, and the trace of a match. Every case shows its map bytes.
#include <gtest/gtest.h>

#include <string>

#include "support/bytes.h"
#include "fonts/psmap.h"

namespace morvex {
namespace {

using testing::MemStream;
using testing::OutCapture;

TEST(Psmap, WorkedExampleTracesTheLineAndItsTokens) {
    MemStream map("% comment\nabc10 ABC-Roman <abc10.pfb\n");
    OutCapture log;
    ASSERT_TRUE(psmap(map.f, "abc10", log.f));
    EXPECT_EQ(log.str(),
              "\npsmap: 'abc10 ABC-Roman <abc10.pfb'\n"
              "psmap: fnt_dvi='abc10' fnt_ps='ABC-Roman' fnt_pfb='abc10.pfb'\n");
}

struct MapCase {
    const char* what;
    std::string map;
    const char* font;
    bool found;
    const char* fntDvi;
    const char* fntPs;
    std::string fntPfb;
};

class PsmapCases : public ::testing::TestWithParam<MapCase> {};

TEST_P(PsmapCases, FindsTheLineAndItsTokens) {
    const MapCase& c = GetParam();
    MemStream map(c.map);
    OutCapture log;
    std::optional<MapEntry> entry = psmap(map.f, c.font, log.f);
    ASSERT_EQ(entry.has_value(), c.found) << c.what;
    if (!entry) {
        EXPECT_EQ(log.str(), "") << "nothing is traced for lines passed over";
        return;
    }
    EXPECT_EQ(entry->fntDvi, c.fntDvi);
    EXPECT_EQ(entry->fntPs, c.fntPs);
    EXPECT_EQ(entry->fntPfb, c.fntPfb);
    std::string trace = log.str();
    EXPECT_NE(trace.find("psmap: fnt_dvi='" + std::string(c.fntDvi) + "' fnt_ps='" + c.fntPs + "' fnt_pfb='" +
                         c.fntPfb + "'\n"),
              std::string::npos)
        << trace;
}

const std::string kLong(3000, 'x');
const std::string kLongName = std::string(300, 'f') + ".pfb";

INSTANTIATE_TEST_SUITE_P(
    MapFormat, PsmapCases,
    ::testing::Values(
        MapCase{"quoted token and encoding file are passed over",
                "abc10 ABC-Roman \"SomeEncoding ReEncodeFont\" <enc.enc <abc10.pfb\n", "abc10", true, "abc10",
                "ABC-Roman", "abc10.pfb"},
        MapCase{"two spaces give an empty second token", "abc10  <abc10.pfb\n", "abc10", true, "abc10", "",
                "abc10.pfb"},
        MapCase{"comment: space", " abc10 ABC <abc10.pfb\n", "abc10", false, "", "", ""},
        MapCase{"comment: #", "#abc10 ABC <abc10.pfb\n", "abc10", false, "", "", ""},
        MapCase{"comment: %", "%abc10 ABC <abc10.pfb\n", "abc10", false, "", "", ""},
        MapCase{"comment: *", "*abc10 ABC <abc10.pfb\n", "abc10", false, "", "", ""},
        MapCase{"comment: ;", ";abc10 ABC <abc10.pfb\n", "abc10", false, "", "", ""},
        MapCase{"a tab does not separate the first tokens", "abc10\tABC-Roman Other <abc10.pfb\n", "abc10", false,
                "", "", ""},
        MapCase{"the first of two lines wins", "abc10 First <first.pfb\nabc10 Second <second.pfb\n", "abc10", true,
                "abc10", "First", "first.pfb"},
        MapCase{"empty lines and other fonts before", "\n\nxyz10 XYZ <xyz10.pfb\n\nabc10 ABC <abc10.pfb\n", "abc10",
                true, "abc10", "ABC", "abc10.pfb"},
        MapCase{"letter case counts", "ABC10 ABC <abc10.pfb\n", "abc10", false, "", "", ""},
        MapCase{"a longer name is another font", "abc10x ABC <abc10.pfb\nabc1 ABC <abc1.pfb\n", "abc10", false,
                "", "", ""},
        MapCase{"double angle bracket stays", "abc10 ABC <<abc10.pfb\n", "abc10", true, "abc10", "ABC",
                "<abc10.pfb"},
        MapCase{"capital extension does not match", "abc10 ABC <abc10.PFB\n", "abc10", true, "abc10", "ABC", ""},
        MapCase{"no extension does not match", "abc10 ABC <abc10\n", "abc10", true, "abc10", "ABC", ""},
        MapCase{"a longer extension matches", "abc10 ABC <abc10.pfbx\n", "abc10", true, "abc10", "ABC",
                "abc10.pfbx"},
        MapCase{"only the first full stop counts", "abc10 ABC <abc.10.pfb\n", "abc10", true, "abc10", "ABC", ""},
        MapCase{"a quoted font file is ignored", "abc10 ABC \"<abc10.pfb\"\n", "abc10", true, "abc10", "ABC", ""},
        MapCase{"the last matching token wins", "abc10 ABC <one.pfb <two.pfb\n", "abc10", true, "abc10", "ABC",
                "two.pfb"},
        MapCase{"the character after a closing quote is passed over", "abc10 ABC \"x\"<abc10.pfb\n", "abc10", true,
                "abc10", "ABC", ""},
        MapCase{"a tab separates later tokens", "abc10 ABC\t<abc10.pfb\n", "abc10", true, "abc10", "ABC\t<abc10.pfb",
                "abc10.pfb"},
        MapCase{"carriage return stays in the last token", "abc10 ABC <abc10.pfb\r\n", "abc10", true, "abc10", "ABC",
                "abc10.pfb\r"},
        MapCase{"last line without newline", "xyz10 XYZ <xyz10.pfb\nabc10 ABC <abc10.pfb", "abc10", true, "abc10",
                "ABC", "abc10.pfb"},
        MapCase{"unterminated quote runs to the end", "abc10 ABC \"open <abc10.pfb\n", "abc10", true, "abc10", "ABC",
                ""},
        MapCase{"unterminated quote after the font file", "abc10 ABC <abc10.pfb \"open\n", "abc10", true, "abc10",
                "ABC", "abc10.pfb"},
        MapCase{"a line of one token", "abc10\n", "abc10", true, "abc10", "", ""},
        MapCase{"a line of two tokens", "abc10 ABC\n", "abc10", true, "abc10", "ABC", ""},
        MapCase{"long tokens are kept whole", "abc10 " + kLong + " <" + kLongName + "\n", "abc10", true, "abc10",
                kLong.c_str(), kLongName},
        MapCase{"a long font name is compared whole", kLong + "y A <y.pfb\n" + kLong + " B <x.pfb\n", kLong.c_str(),
                true, kLong.c_str(), "B", "x.pfb"},
        MapCase{"empty map", "", "abc10", false, "", "", ""},
        MapCase{"a map of empty lines", "\n\n\n", "abc10", false, "", "", ""}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Psmap, ALineWithoutFontFileDoesNotInheritTheLastOne) {
    MemStream map("abc10 ABC <abc10.pfb\nxyz10 XYZ\n");
    OutCapture log;
    EXPECT_EQ(psmap(map.f, "abc10", log.f)->fntPfb, "abc10.pfb");
    auto xyz = psmap(map.f, "xyz10", log.f);
    ASSERT_TRUE(xyz);
    EXPECT_EQ(xyz->fntPfb, "");
}

TEST(Psmap, EverySearchStartsAtTheTopOfTheMap) {
    MemStream map("aaa A <a.pfb\nbbb B <b.pfb\n");
    OutCapture log;
    ASSERT_TRUE(psmap(map.f, "bbb", log.f));
    auto aaa = psmap(map.f, "aaa", log.f);
    ASSERT_TRUE(aaa);
    EXPECT_EQ(aaa->fntPfb, "a.pfb");
    EXPECT_FALSE(psmap(map.f, "ccc", log.f));
}

TEST(Psmap, BytesOfTheLineReachTheTraceUnchanged) {
    const std::string line = std::string("abc10 A\0B <abc10.pfb", 20);
    MemStream map(line + "\n");
    OutCapture log;
    auto entry = psmap(map.f, "abc10", log.f);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->fntPs, std::string("A\0B", 3));
    EXPECT_EQ(log.str(), "\npsmap: '" + line + "'\npsmap: fnt_dvi='abc10' fnt_ps='" + std::string("A\0B", 3) +
                             "' fnt_pfb='abc10.pfb'\n");
}

// How a map line re-encodes, slants and extends its font: lines as the TeX
// installation's map writes them, and the malformed ones.
TEST(PsmapReencoding, EncodingFileSlantAndExtend) {
    struct Case {
        const char* what;
        std::string line;
        const char* enc;
        const char* slant;
        const char* extend;
    };
    const Case cases[] = {
        {"plain", "cmr10 CMR10 <cmr10.pfb", "", "", ""},
        {"Latin Modern", "ec-lmr10 LMRoman10-Regular \" enclmec ReEncodeFont \" <lm-ec.enc <lmr10.pfb", "lm-ec.enc",
         "", ""},
        {"CM-Super", "ecrm1000 SFRM1000 \" T1Encoding ReEncodeFont \" <cm-super-t1.enc <sfrm1000.pfb",
         "cm-super-t1.enc", "", ""},
        {"PSNFSS slanted", "ptmro8r NimbusRomNo9L-Regu \" .167 SlantFont TeXBase1Encoding ReEncodeFont \" <8r.enc <utmr8a.pfb",
         "8r.enc", ".167", ""},
        {"slant only", "eurbo10 EURB10 \" .167 SlantFont \" <eurb10.pfb", "", ".167", ""},
        {"extend and slant", "x X \"-.1 SlantFont 1.2 ExtendFont\" <[x.enc <x.pfb", "x.enc", "-.1", "1.2"},
        {"the form <[", "x X <[cm-super-ts1.enc <x.pfb", "cm-super-ts1.enc", "", ""},
        {"the last encoding wins", "x X <a.enc <b.enc <x.pfb", "b.enc", "", ""},
        {"a font file is no encoding", "x X <x.pfb <x.pfa", "", "", ""},
        {"<< downloads, it names no encoding", "x X <<x.enc <x.pfb", "", "", ""},
        {"an encoding named inside quotes is text", "x X \"<y.enc\" <x.pfb", "", "", ""},
        {"a word that is no plain number", "x X \"1e9 SlantFont 0x2 ExtendFont\" <x.pfb", "", "", ""},
        {"a number outside quotes counts for nothing", "x X .5 SlantFont <x.pfb", "", "", ""},
        {"an open quote runs to the end", "x X \" .3 SlantFont <x.enc", "", ".3", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MapEntry e;
        psmapReencoding(c.line, e);
        EXPECT_EQ(e.encFile, c.enc);
        EXPECT_EQ(e.slant, c.slant);
        EXPECT_EQ(e.extend, c.extend);
    }
}

// The trace lines of a plain font stay as they were; a re-encoded one gets
// one line more that names what was found.
TEST(PsmapReencoding, OneMoreTraceLineOnlyForReencodedFonts) {
    MemStream map("cmr10 CMR10 <cmr10.pfb\nec-lmr10 LMRoman10-Regular \" enclmec ReEncodeFont \" <lm-ec.enc <lmr10.pfb\n");
    OutCapture log;
    ASSERT_TRUE(psmap(map.f, "cmr10", log.f));
    ASSERT_TRUE(psmap(map.f, "ec-lmr10", log.f));
    EXPECT_EQ(log.str(),
              "\npsmap: 'cmr10 CMR10 <cmr10.pfb'\npsmap: fnt_dvi='cmr10' fnt_ps='CMR10' fnt_pfb='cmr10.pfb'\n"
              "\npsmap: 'ec-lmr10 LMRoman10-Regular \" enclmec ReEncodeFont \" <lm-ec.enc <lmr10.pfb'\n"
              "psmap: fnt_dvi='ec-lmr10' fnt_ps='LMRoman10-Regular' fnt_pfb='lmr10.pfb'\n"
              "psmap: enc='lm-ec.enc' slant='' extend=''\n");
}

}  // namespace
}  // namespace morvex
