// The PostScript program of the configuration directory run directly
// through Ghostscript on the installation's Type 1 fonts: glyph outlines,
// advances and document texts, PFB and PFA, the font taken from the file
// and never by name, and no output at all when the font cannot be read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

#include "fonts_parse.h"
#include "support/bytes.h"
#include "support/process.h"
#include "text/conv.h"

namespace morvex {
namespace {

using testing::readFile;
using testing::runProcess;
using testing::TempDir;
using testing::writeFile;

const std::string kConfigDir = MORVEX_TEST_CONFIG_DIR;
const std::string kPs = kConfigDir + "/tarnevik.ps";
const std::string kEnc = kConfigDir + "/tarnevik.enc";

std::string findFile(const std::string& name) {
    auto r = runProcess({"kpsewhich", name}, "/");
    return r.out.substr(0, r.out.find('\n'));
}

std::string codeList(int from, int to) {
    std::string s;
    for (int c = from; c <= to; ++c) s += std::to_string(c) + " ";
    return s;
}

// Runs the program as morvex does, in dir, writing the font named out.
testing::ProcessResult runProgram(const std::string& dir, const std::string& fontFile, const std::string& symbols,
                                  const std::string& out, const std::string& theFont = "") {
    return runProcess({"gs", "-q", "-dNODISPLAY", "-dBATCH", "-dNOPAUSE", "-dQUIT", "-dSAFER", "--permit-file-read=" + fontFile,
                       "--permit-file-read=" + kEnc, "--permit-file-write=" + out, "-sFONTFILE=" + fontFile,
                       "-dTHEFONT=/" + (theFont.empty() ? out : theFont), "-sSYMBOLS=[ " + symbols + " ]",
                       "-dENCODING=/TeXUTF8Encoding", "-sENCFILE=" + kEnc, "-sFONTOUT=" + out, kPs},
                      dir);
}

// The markup wrapped as the fonts file wraps it, checked by xmllint.
void expectWellFormed(const TempDir& dir, const std::string& markup) {
    writeFile(dir.file("check.svg"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"><defs>\n" +
                                         markup + "</defs></svg>\n");
    auto lint = runProcess({"xmllint", "--noout", dir.file("check.svg")}, dir.path);
    EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
}

TEST(TarnevikProgram, Cmr10GlyphsMatchTheFontAndItsMetrics) {
    TempDir dir;
    const std::string pfb = findFile("cmr10.pfb");
    ASSERT_FALSE(pfb.empty());
    auto r = runProgram(dir.path, pfb, codeList(0, 127), "cmr10");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    const std::string markup = readFile(dir.file("cmr10"));
    expectWellFormed(dir, markup);
    EXPECT_EQ(markup.substr(0, 6), "<font ");
    EXPECT_EQ(markup.substr(markup.size() - 8), "</font>\n");

    auto fonts = testing::parseSvgFonts(markup);
    ASSERT_EQ(fonts.size(), 1u);
    const auto& f = fonts[0];
    EXPECT_EQ(f.id, "cmr10");
    EXPECT_EQ(f.family, "cmr10");
    EXPECT_EQ(f.unitsPerEm, 1000);
    ASSERT_EQ(f.glyphs.size(), 128u);
    auto widths = testing::tfmWidths("cmr10");
    ASSERT_EQ(widths.size(), 128u);
    for (int c = 0; c < 128; ++c) {
        SCOPED_TRACE("code " + std::to_string(c));
        const auto& g = f.glyphs[c];
        EXPECT_EQ(g.unicode, testing::xmlUnescape(convCode(static_cast<unsigned char>(c))));
        EXPECT_TRUE(g.hasAdvance);
        EXPECT_NEAR(g.advance, widths[c] * 1000.0, 1.0);
        EXPECT_FALSE(g.d.empty());
        EXPECT_EQ(g.d[0], 'M');
        // Curves stay curves.
        EXPECT_EQ(std::regex_search(g.d, std::regex("[^MLCZ0-9 .-]")), false) << g.d;
    }

    // The outline is the charstring's own, in font units with y up: the
    // first point of A is its side bearing plus its first moveto.
    auto dis = runProcess({"t1disasm", pfb}, "/");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dis.out, m, std::regex(R"(/A \{\s+(-?\d+) (\d+) hsbw[^]*?(-?\d+) (-?\d+) rmoveto)")));
    const std::string first = "M" + std::to_string(std::stoi(m[1]) + std::stoi(m[3])) + " " + m[4].str() + "C";
    EXPECT_EQ(f.glyphs[65].d.substr(0, first.size()), first);
    EXPECT_EQ(f.glyphs[65].advance, std::stod(m[2]));
}

TEST(TarnevikProgram, PfaAndPfbGiveTheSameFont) {
    TempDir dir;
    const std::string pfb = findFile("cmtt10.pfb");
    auto a = runProcess({"t1ascii", pfb, dir.file("cmtt10.pfa")}, dir.path);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    auto r1 = runProgram(dir.path, pfb, "65 97 123 ", "fromPfb");
    auto r2 = runProgram(dir.path, dir.file("cmtt10.pfa"), "65 97 123 ", "fromPfa");
    ASSERT_EQ(r1.exitCode, 0) << r1.out;
    ASSERT_EQ(r2.exitCode, 0) << r2.out;
    std::string fromPfb = readFile(dir.file("fromPfb"));
    std::string fromPfa = readFile(dir.file("fromPfa"));
    ASSERT_NE(fromPfb.find("<glyph unicode=\"{\""), std::string::npos);
    EXPECT_EQ(std::regex_replace(fromPfb, std::regex("fromPfb"), "X"), std::regex_replace(fromPfa, std::regex("fromPfa"), "X"));
}

TEST(TarnevikProgram, GlyphsComeFromTheFileWhateverTheNameSays) {
    TempDir dir;
    // The file is cmtt10 (every advance 525); the name says cmr10 (A is 750).
    auto r = runProgram(dir.path, findFile("cmtt10.pfb"), "65 ", "cmr10", "cmr10");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    auto fonts = testing::parseSvgFonts(readFile(dir.file("cmr10")));
    ASSERT_EQ(fonts.size(), 1u);
    ASSERT_EQ(fonts[0].glyphs.size(), 1u);
    EXPECT_EQ(fonts[0].glyphs[0].advance, 525);
}

TEST(TarnevikProgram, DocumentTextsAndNamesAreEscapedInAttributes) {
    TempDir dir;
    const std::string name = "a&b\"c<d>e";
    auto r = runProgram(dir.path, findFile("cmtt10.pfb"), "34 38 60 62 ", name, "x");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string markup = readFile(dir.file(name));
    expectWellFormed(dir, markup);
    auto fonts = testing::parseSvgFonts(markup);
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0].id, name);
    EXPECT_EQ(fonts[0].family, name);
    ASSERT_EQ(fonts[0].glyphs.size(), 4u);
    EXPECT_EQ(fonts[0].glyphs[0].unicode, "\"");
    EXPECT_EQ(fonts[0].glyphs[1].unicode, "&");
    EXPECT_EQ(fonts[0].glyphs[2].unicode, "<");
    EXPECT_EQ(fonts[0].glyphs[3].unicode, ">");
}

TEST(TarnevikProgram, NoCodesGiveAFontWithoutGlyphs) {
    TempDir dir;
    auto r = runProgram(dir.path, findFile("cmr10.pfb"), "", "cmr10");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string markup = readFile(dir.file("cmr10"));
    expectWellFormed(dir, markup);
    EXPECT_EQ(markup.find("<glyph"), std::string::npos);
}

TEST(TarnevikProgram, AFontThatCannotBeReadGivesNoOutput) {
    TempDir dir;
    const std::string pfb = readFile(findFile("cmr10.pfb"));
    ASSERT_GT(pfb.size(), 10000u);
    ASSERT_EQ(static_cast<unsigned char>(pfb[0]), 128);
    std::string badType = pfb;
    badType[1] = 7;
    struct Case {
        const char* what;
        std::string bytes;  // file contents; none: no file
        bool exists;
    };
    const Case cases[] = {
        {"missing file", "", false},
        {"empty file", "", true},
        {"PostScript that defines no font", "%!PS-AdobeFont-1.0: Fake\n/x 1 def\n", true},
        {"not PostScript", "this is no font at all\n", true},
        {"PFB cut inside its binary segment", pfb.substr(0, 8000), true},
        {"PFB cut inside a segment header", pfb.substr(0, 3), true},
        {"PFB with an unknown segment type", badType, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("font.pfb");
        std::remove(file.c_str());
        if (c.exists) {
            ASSERT_TRUE(writeFile(file, c.bytes));
        }
        auto r = runProgram(dir.path, file, "65 66 ", "out10");
        EXPECT_NE(r.exitCode, 0) << r.out;
        EXPECT_EQ(readFile(dir.file("out10")), "");
        EXPECT_EQ(std::fopen(dir.file("out10").c_str(), "rb"), nullptr);
    }
}

// The encoding as Ghostscript reads it holds, for every code, the
// document's text of that code.
TEST(TarnevikEncoding, EveryCodeHoldsTheDocumentText) {
    TempDir dir;
    const std::string prog =
        "(" + kEnc + ") run TeXUTF8Encoding length = "
        "TeXUTF8Encoding { { 16#100 add 16 3 string cvrs 1 2 getinterval print } forall (\\n) print } forall";
    auto r = runProcess({"gs", "-q", "-dNODISPLAY", "-dBATCH", "-dNOPAUSE", "--permit-file-read=" + kEnc, "-c", prog},
                        dir.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string expected = "256\n";
    for (int c = 0; c < 256; ++c) {
        for (unsigned char b : convCode(static_cast<unsigned char>(c))) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b);
            expected += hex;
        }
        expected += "\n";
    }
    EXPECT_EQ(r.out, expected);
}

}  // namespace
}  // namespace morvex
