// The Ghostscript command, the fonts file written from glyph records, and
// the glyphs of a page as a whole with the real font map, kpathsea and
// Ghostscript.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <set>
#include <string>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "base/printable.h"
#include "fonts/svgfont.h"
#include "fonts/ghostscript_command.h"
#include "fonts/page_glyphs.h"

namespace morvex {
namespace {

using testing::filesIn;
using testing::OutCapture;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using testing::ConfigDir;

const std::string kConfigDir = MORVEX_TEST_CONFIG_DIR;
const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>"
    "\n<svg width=\"100%\" height=\"100%\" version=\"1.1\"\n     xmlns=\"http://www.w3.org/2000/svg\">"
    "\n<defs>\n";
const std::string kTail = "</defs>\n</svg>\n";

using FontUses = std::vector<FontUse>;

// Font k with the codes the page used of it, kept in ascending number.
void addFont(FontUses& t, int k, const std::string& name, std::initializer_list<int> codes) {
    FontUse use{k, name, {}};
    for (int c : codes) use.codes.set(static_cast<size_t>(c));
    auto at = std::find_if(t.begin(), t.end(), [k](const FontUse& u) { return u.number >= k; });
    t.insert(at, use);
}

// Points the private directories of pageGlyphs into a directory of the
// test, so that their removal can be seen.
struct TmpdirScope {
    TempDir dir;
    std::string old;
    bool had = false;
    TmpdirScope() {
        if (const char* v = std::getenv("TMPDIR")) {
            old = v;
            had = true;
        }
        setenv("TMPDIR", dir.path.c_str(), 1);
    }
    ~TmpdirScope() {
        if (had)
            setenv("TMPDIR", old.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
};

// The glyphs of the fonts with the usual encoding, one run at a time, then
// the fonts file, as a run of the default document makes them; the
// message of the result follows the others.
int build(const std::string& configDir, const std::string& fontsPath, const FontUses& fonts, std::FILE* log,
          std::FILE* out) {
    GlyphSettings settings;
    settings.configDir = configDir;
    Result r = svgfontbuild(settings, fontsPath, fonts, log, out);
    std::fputs(r.message.c_str(), out);
    return r.code;
}

const ConfigFiles kCfg{"/cfg/tarnevik.ps", "/cfg/tarnevik.enc", "TeXUTF8Encoding"};

MapEntry mapEntry(const std::string& fntDvi) {
    MapEntry e;
    e.fntDvi = fntDvi;
    return e;
}

TEST(GhostscriptCommand, WorkedExampleWithThePermissions) {
    GsCommand cmd = ghostscriptCommand({"/t1/abc10.pfb", ""}, mapEntry("abc10"), "65 66 ", "abc10", kCfg);
    EXPECT_EQ(cmd.line,
              "gs -q -dNODISPLAY -dBATCH -dNOPAUSE -dQUIT -dSAFER --permit-file-read=\"/t1/abc10.pfb\" "
              "--permit-file-read=\"/cfg/tarnevik.enc\" --permit-file-write=\"abc10\" -sFONTFILE=\"/t1/abc10.pfb\" "
              "-dTHEFONT=\"/abc10\" -sSYMBOLS=\"[ 65 66  ]\" -dENCODING=\"/TeXUTF8Encoding\" "
              "-sENCFILE=\"/cfg/tarnevik.enc\" -sFONTOUT=\"abc10\" /cfg/tarnevik.ps");
    // One word per argument, the values as they are, no shell quotes.
    const std::vector<std::string> words = {"gs",
                                            "-q",
                                            "-dNODISPLAY",
                                            "-dBATCH",
                                            "-dNOPAUSE",
                                            "-dQUIT",
                                            "-dSAFER",
                                            "--permit-file-read=/t1/abc10.pfb",
                                            "--permit-file-read=/cfg/tarnevik.enc",
                                            "--permit-file-write=abc10",
                                            "-sFONTFILE=/t1/abc10.pfb",
                                            "-dTHEFONT=/abc10",
                                            "-sSYMBOLS=[ 65 66  ]",
                                            "-dENCODING=/TeXUTF8Encoding",
                                            "-sENCFILE=/cfg/tarnevik.enc",
                                            "-sFONTOUT=abc10",
                                            "/cfg/tarnevik.ps"};
    EXPECT_EQ(cmd.argv, words);
}

TEST(GhostscriptCommand, ShellTextInANameStaysOneWord) {
    const std::string name = "a\"; touch pwned; \"";
    GsCommand cmd = ghostscriptCommand({"/t1/x.pfb", ""}, mapEntry(name), "", name, {"/c/p", "/c/e", "Enc"});
    ASSERT_EQ(cmd.argv.size(), 17u);
    EXPECT_EQ(cmd.argv[11], "-dTHEFONT=/" + name);
    EXPECT_EQ(cmd.argv[12], "-sSYMBOLS=[  ]");
    EXPECT_EQ(cmd.argv[15], "-sFONTOUT=" + name);
}

// Only a font the map re-encodes, slants or extends gets parameters for
// it, after the others; the program stays the last word.
TEST(GhostscriptCommand, ReencodingParametersFollowTheOthers) {
    const std::string base = "gs -q -dNODISPLAY -dBATCH -dNOPAUSE -dQUIT -dSAFER --permit-file-read=\"/t1/f.pfb\" "
                             "--permit-file-read=\"/cfg/tarnevik.enc\" --permit-file-write=\"f10\" "
                             "-sFONTFILE=\"/t1/f.pfb\" -dTHEFONT=\"/f10\" -sSYMBOLS=\"[ 65  ]\" "
                             "-dENCODING=\"/TeXUTF8Encoding\" -sENCFILE=\"/cfg/tarnevik.enc\" -sFONTOUT=\"f10\"";
    struct Case {
        const char* what;
        std::string encVector, slant, extend;
        std::string extra;
    };
    const Case cases[] = {
        {"plain", "", "", "", ""},
        {"encoding", "/e/t1.enc", "", "", " --permit-file-read=\"/e/t1.enc\" -sENCVECFILE=\"/e/t1.enc\""},
        {"slant", "", ".167", "", " -dSLANT=.167"},
        {"all", "/e/t1.enc", "-.2", "1.2",
         " --permit-file-read=\"/e/t1.enc\" -sENCVECFILE=\"/e/t1.enc\" -dSLANT=-.2 -dEXTEND=1.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MapEntry e = mapEntry("f10");
        e.slant = c.slant;
        e.extend = c.extend;
        GsCommand cmd = ghostscriptCommand({"/t1/f.pfb", c.encVector}, e, "65 ", "f10", kCfg);
        EXPECT_EQ(cmd.line, base + c.extra + " /cfg/tarnevik.ps");
        EXPECT_EQ(cmd.argv.back(), "/cfg/tarnevik.ps");
    }
}

TEST(FontName, OnlyPlainFileNamesAreExtracted) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {{"cmr10", true},       {"a b&c<\"'>", true}, {"", false},          {".", false},
                          {"..", false},         {"...", true},        {"a/b", false},       {"/etc/passwd", false},
                          {"../x", false},       {"a\tb", false},      {"a\nb", false},      {std::string("a\0b", 3), false},
                          {"caf\xC3\xA9", false}, {"a\x7F", false},     {"-dNOSAFER", true}};
    for (const auto& c : cases) EXPECT_EQ(svgFontNameSafe(c.name), c.safe) << printable(c.name);
    EXPECT_EQ(printable(std::string("a\0\n\xFF", 4)), "a\\x00\\x0A\\xFF");
}

// A generated font of a few glyphs, as the program writes it.
GeneratedFont font(const std::string& id, std::initializer_list<int> codes) {
    GeneratedFont f;
    f.id = f.family = id;
    f.unitsPerEm = {"1000", 1000};
    f.ascent = {"750", 750};
    f.descent = {"250", 250};
    for (int c : codes) f.glyphs.push_back({c, std::string(1, static_cast<char>(c)), "g" + std::to_string(c), {"500", 500}, "M0 0L1 1Z"});
    return f;
}

TEST(FontsFile, NoFontGivesAnEmptyDefs) {
    TempDir dir;
    OutCapture out;
    Result r = svgfontwrite(dir.file("fonts.svg"), {}, {}, out.f);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(readFile(dir.file("fonts.svg")), kHead + kTail);
    EXPECT_EQ(out.str(), "\nOpening file: " + dir.file("fonts.svg") + " (w).\nSVG Fonts:\n");
}

// One font per name, in font order, each as the program writes it.
TEST(FontsFile, EachFontOnceInFontOrder) {
    TempDir dir;
    FontUses t;
    addFont(t, 7, "bbb", {66});
    addFont(t, 2, "aaa", {65});
    addFont(t, 9, "aaa", {67});
    const std::map<std::string, GeneratedFont> glyphs = {{"aaa", font("aaa", {65, 67})}, {"bbb", font("bbb", {66})}};
    OutCapture out;
    EXPECT_EQ(svgfontwrite(dir.file("fonts.svg"), t, glyphs, out.f).code, 0);
    EXPECT_EQ(readFile(dir.file("fonts.svg")),
              kHead + generatedFontText(glyphs.at("aaa")) + generatedFontText(glyphs.at("bbb")) + kTail);
    EXPECT_EQ(out.str(), "\nOpening file: " + dir.file("fonts.svg") + " (w).\nSVG Fonts:***\n");
}

TEST(FontsFile, AFontWithoutGlyphsEndsWithFive) {
    TempDir dir;
    FontUses t;
    addFont(t, 0, "aaa", {65});
    addFont(t, 1, "missing", {65});
    addFont(t, 2, "ccc", {65});
    OutCapture out;
    Result r = svgfontwrite(dir.file("fonts.svg"), t, {{"aaa", font("aaa", {65})}, {"ccc", font("ccc", {65})}},
                              out.f);
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.message, "\nCan not open generated SVG font missing.\n");
    EXPECT_EQ(readFile(dir.file("fonts.svg")), kHead + generatedFontText(font("aaa", {65})));
    EXPECT_EQ(out.str(), "\nOpening file: " + dir.file("fonts.svg") + " (w).\nSVG Fonts:**");
}

TEST(FontsFile, AnUnopenableFontsFileEndsWithFour) {
    TempDir work;
    FontUses t;
    addFont(t, 0, "aaa", {65});
    OutCapture out;
    const std::string path = work.file("no-such-dir/fonts.svg");
    Result r = svgfontwrite(path, t, {{"aaa", font("aaa", {65})}}, out.f);
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.message, "\nCan not open " + path + " as SVG font output file.\n");
    EXPECT_EQ(out.str(), "\nOpening file: " + path + " (w).\n");
}

struct ChdirScope {
    std::string old;
    explicit ChdirScope(const std::string& to) {
        char buf[4096];
        if (getcwd(buf, sizeof buf) != nullptr) old = buf;
        EXPECT_EQ(chdir(to.c_str()), 0);
    }
    ~ChdirScope() {
        if (!old.empty()) {
            EXPECT_EQ(chdir(old.c_str()), 0);
        }
    }
};

TEST(PageGlyphs, WithoutMapNothingIsWritten) {
    TmpdirScope tmp;
    TempDir dir;
    FontUses t;
    addFont(t, 0, "cmr10", {65});
    OutCapture log, out;
    EXPECT_EQ(build(dir.file("nocfg"), dir.file("fonts.svg"), t, log.f, out.f), 2);
    EXPECT_EQ(out.str(), "SVG Fonts:Can not open MAP file " + dir.file("nocfg") + "/morvex.map.\n");
    EXPECT_EQ(log.str(), "");
    EXPECT_TRUE(filesIn(dir.path).empty());
    EXPECT_TRUE(filesIn(tmp.dir.path).empty());
}

TEST(PageGlyphs, AFontMissingFromTheMapStopsBeforeTheFontsFile) {
    TmpdirScope tmp;
    ConfigDir cfg("cmr10 CMR10 <cmr10.pfb\n");
    TempDir dir;
    FontUses t;
    addFont(t, 0, "cmr10", {65});
    addFont(t, 1, "nosuchfont", {66, 67});
    addFont(t, 2, "cmr10", {68});
    OutCapture log, out;
    EXPECT_EQ(build(cfg.dir.path, dir.file("fonts.svg"), t, log.f, out.f), 3);
    EXPECT_EQ(out.str(), "SVG Fonts:**Mappings for nosuchfont not founded.\n(A font installed after morvex is found once "
                         "its map is refreshed: run morvex-update-map.)\n");
    EXPECT_NE(log.str().find("\nFnt:1\nSymbols:66 67 "), std::string::npos) << log.str();
    EXPECT_TRUE(filesIn(dir.path).empty());
    // The glyphs made for cmr10 went with the private directory.
    EXPECT_TRUE(filesIn(tmp.dir.path).empty());
}

TEST(PageGlyphs, RealFontThroughGhostscript) {
    TmpdirScope tmp;
    TempDir dir;
    FontUses t;
    addFont(t, 5, "cmr10", {65, 66});
    OutCapture log, out;
    ASSERT_EQ(build(kConfigDir, dir.file("fonts.svg"), t, log.f, out.f), 0);
    EXPECT_EQ(out.str(), "SVG Fonts:*\nOpening file: " + dir.file("fonts.svg") + " (w).\nSVG Fonts:*\n");

    const std::string trace = log.str();
    const std::string head =
        "\nFnt:5\nSymbols:65 66 "
        "\npsmap: 'cmr10 CMR10 <cmr10.pfb'\npsmap: fnt_dvi='cmr10' fnt_ps='CMR10' fnt_pfb='cmr10.pfb'\n== cmr10.pfb ";
    ASSERT_EQ(trace.substr(0, head.size()), head) << trace;
    size_t nl = trace.find('\n', head.size());
    const std::string pfb = trace.substr(head.size(), nl - head.size());
    EXPECT_EQ(pfb.front(), '/');
    EXPECT_EQ(trace.substr(nl),
              "\n\ngs -q -dNODISPLAY -dBATCH -dNOPAUSE -dQUIT -dSAFER --permit-file-read=\"" + pfb +
                  "\" --permit-file-read=\"" + kConfigDir + "/tarnevik.enc\" --permit-file-write=\"cmr10\" "
                  "-sFONTFILE=\"" + pfb + "\" -dTHEFONT=\"/cmr10\" -sSYMBOLS=\"[ 65 66  ]\" "
                  "-dENCODING=\"/TeXUTF8Encoding\" -sENCFILE=\"" + kConfigDir + "/tarnevik.enc\" "
                  "-sFONTOUT=\"cmr10\" " + kConfigDir + "/tarnevik.ps");

    const std::string fonts = readFile(dir.file("fonts.svg"));
    ASSERT_EQ(fonts.substr(0, kHead.size()), kHead);
    ASSERT_GE(fonts.size(), kHead.size() + kTail.size());
    EXPECT_EQ(fonts.substr(fonts.size() - kTail.size()), kTail);
    EXPECT_NE(fonts.find("<font id=\"cmr10\""), std::string::npos);
    EXPECT_NE(fonts.find("<glyph unicode=\"A\" glyph-name=\"A\" horiz-adv-x=\"750\" d=\"M"), std::string::npos);
    EXPECT_NE(fonts.find("<glyph unicode=\"B\" glyph-name=\"B\" horiz-adv-x=\"708\" d=\"M"), std::string::npos);
    EXPECT_EQ(filesIn(dir.path), std::set<std::string>{"fonts.svg"});
    EXPECT_TRUE(filesIn(tmp.dir.path).empty());
}

TEST(PageGlyphs, OneFontAtTwoSizesGetsOneSvgFontWithAllItsCodes) {
    TmpdirScope tmp;
    TempDir dir;
    FontUses t;
    addFont(t, 0, "cmr10", {65});
    addFont(t, 1, "cmr7", {67});
    addFont(t, 2, "cmr10", {66});
    OutCapture log, out;
    ASSERT_EQ(build(kConfigDir, dir.file("fonts.svg"), t, log.f, out.f), 0);
    EXPECT_EQ(out.str(), "SVG Fonts:***\nOpening file: " + dir.file("fonts.svg") + " (w).\nSVG Fonts:***\n");
    EXPECT_NE(log.str().find("\nFnt:0\nSymbols:65 66 \npsmap:"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("\nFnt:2\nSymbols:66 \nsame font as Fnt:0\n"), std::string::npos) << log.str();
    const std::string fonts = readFile(dir.file("fonts.svg"));
    auto count = [&](const std::string& what) {
        long n = 0;
        for (size_t p = fonts.find(what); p != std::string::npos; p = fonts.find(what, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("<font id=\"cmr10\""), 1);
    EXPECT_EQ(count("<font id=\"cmr7\""), 1);
    EXPECT_EQ(count("<glyph "), 3);
    EXPECT_NE(fonts.find("<glyph unicode=\"B\""), std::string::npos);
}

TEST(PageGlyphs, FontsThatCannotBeExtractedAreReportedAndEndWithFive) {
    struct Case {
        const char* what;
        std::string map;
        std::string name;
        std::string message;
    };
    const Case cases[] = {
        {"Type 1 file not found", "abc10 ABC <no-such-font-file-xyz.pfb\n", "abc10", "\nCan not find PFB font.\n"},
        {"no font file on the line", "abc10 ABC\n", "abc10", "\nCan not find PFB font.\n"},
        {"unsafe name", "../abc10 ABC <cmr10.pfb\n", "../abc10",
         "\nFont name '../abc10' is not usable as a file name; its glyphs are not extracted.\n"},
        {"Ghostscript fails", "abc10 ABC <morvex-test-notafont.pfb\n", "abc10",
         "\nGhostscript failed on font abc10 (exit status 1).\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TmpdirScope tmp;
        ConfigDir cfg(c.map);
        TempDir dir, fontdir;
        // A file that kpathsea finds in the current directory (as a path
        // relative to it) and that runs but defines no font.
        ASSERT_TRUE(writeFile(fontdir.file("morvex-test-notafont.pfb"), "%!PS-AdobeFont-1.0: Fake\n(x) pop\n"));
        ChdirScope cwd(fontdir.path);
        FontUses t;
        addFont(t, 0, c.name, {65});
        OutCapture log, out;
            EXPECT_EQ(build(cfg.dir.path, dir.file("fonts.svg"), t, log.f, out.f), 5);
        const std::string o = out.str();
        EXPECT_EQ(o.substr(0, 11), "SVG Fonts:*");
        EXPECT_NE(o.find(c.message), std::string::npos) << o;
        EXPECT_NE(o.find("\nCan not open generated SVG font " + c.name + ".\n"), std::string::npos) << o;
        EXPECT_EQ(readFile(dir.file("fonts.svg")), kHead);
        EXPECT_EQ(filesIn(dir.path), std::set<std::string>{"fonts.svg"});
        EXPECT_TRUE(filesIn(tmp.dir.path).empty());
        EXPECT_EQ(filesIn(fontdir.path), std::set<std::string>{"morvex-test-notafont.pfb"});
    }
}

}  // namespace
}  // namespace morvex

namespace morvex {
namespace {

// All the pages' fonts at once: the fonts split into as many Ghostscript
// runs as run side by side, each font's glyphs those of a run of its own,
// and the messages in font order.
TEST(PageGlyphs, ABatchInPartsMakesTheGlyphsOfRunsOfTheirOwn) {
    FontUses fonts;
    addFont(fonts, 0, "cmr10", {'A', 'g', 0x0B});
    addFont(fonts, 1, "cmmi10", {'x', 0x0B});
    addFont(fonts, 2, "cmsy10", {0x00, 0x0F});
    addFont(fonts, 3, "cmbx10", {'W'});
    addFont(fonts, 4, "cmti10", {'f', 'i'});
    const auto glyphsOf = [&](bool batch, std::string& trace, std::string& said) {
        GlyphSettings settings;
        settings.configDir = kConfigDir;
        settings.parallel = 2;
        settings.batch = batch;
        OutCapture log, out;
        std::map<std::string, GeneratedFont> glyphs;
        Result r = pageGlyphs(settings, fonts, glyphs, log.f, out.f);
        EXPECT_TRUE(r.ok()) << r.message;
        trace = log.str();
        said = out.str();
        return glyphs;
    };
    std::string oneTrace, oneSaid, partsTrace, partsSaid;
    const auto one = glyphsOf(false, oneTrace, oneSaid);
    const auto parts = glyphsOf(true, partsTrace, partsSaid);
    ASSERT_EQ(one.size(), 5u);
    ASSERT_EQ(parts.size(), 5u);
    for (const auto& [name, font] : one) {
        ASSERT_TRUE(parts.count(name)) << name;
        EXPECT_EQ(generatedFontText(parts.at(name)), generatedFontText(font)) << name;
    }
    // Two job lists, one a run.
    EXPECT_NE(partsTrace.find("jobs0.ps"), std::string::npos) << partsTrace;
    EXPECT_NE(partsTrace.find("jobs1.ps"), std::string::npos) << partsTrace;
    EXPECT_EQ(partsTrace.find("jobs2.ps"), std::string::npos) << partsTrace;
    EXPECT_EQ(partsSaid, "SVG Fonts:*****") << partsSaid;
}

}  // namespace
}  // namespace morvex
