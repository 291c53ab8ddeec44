// Whole runs on documents made by latex at test time, with the TeX
// installation's font map, encoding files, Type 1 fonts and Ghostscript:
// long specials (xxx4), T1 and TS1 text whose fonts the map re-encodes,
// a slanted font, a font missing from the map, and the trace of a plain
// and of a re-encoded font's lookup.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "document_text.h"
#include "fonts_parse.h"
#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "text/conv.h"
#include "tarnevik_run.h"

namespace morvex {
namespace {

using testing::filesIn;
using testing::kpseFind;
using testing::parsePath;
using testing::readFile;
using testing::runProcess;
using testing::samePath;
using testing::TempDir;
using testing::writeFile;
using testing::ConfigDir;

const std::string kDviDir = MORVEX_TEST_DVI_DIR;
const std::string& kConfigDir = testing::kBuildConfigDir;

// The generated outlines are rounded to hundredths.
constexpr double kRounding = 0.006;

const std::string kMapHint =
    "(A font installed after morvex is found once its map is refreshed: run morvex-update-map.)\n";

std::string dviOf(const std::string& doc) { return kDviDir + "/" + doc + ".dvi"; }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> r;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) r.push_back(line);
    return r;
}

std::string firstToken(const std::string& line) { return line.substr(0, line.find_first_of(" \t")); }

// What a map line names, read here on its own: the "<" tokens outside the
// quoted text that end in .enc and .pfb.
struct MapLine {
    std::string text;
    std::string ps;  // the second token
    std::string enc;
    std::string pfb;
};

std::optional<MapLine> findMapLine(const std::string& map, const std::string& font) {
    for (const std::string& line : lines(map)) {
        if (line.empty() || firstToken(line) != font) continue;
        MapLine m{line, "", "", ""};
        std::istringstream tokens(line);
        tokens >> m.ps >> m.ps;
        std::string outside;
        bool quoted = false;
        for (char c : line) {
            if (c == '"') quoted = !quoted;
            else if (!quoted) outside += c;
        }
        std::istringstream words(outside);
        for (std::string w; words >> w;) {
            if (w.rfind("<[", 0) == 0) w.erase(0, 2);
            else if (w.rfind("<", 0) == 0) w.erase(0, 1);
            else continue;
            if (w.size() > 4 && w.compare(w.size() - 4, 4, ".enc") == 0) m.enc = w;
            if (w.size() > 4 && w.compare(w.size() - 4, 4, ".pfb") == 0) m.pfb = w;
        }
        return m;
    }
    return std::nullopt;
}

// The map without the lines of font, with extra lines at its end.
std::string mapWithout(const std::string& map, const std::string& font, const std::string& extra = "") {
    std::string r;
    for (const std::string& line : lines(map))
        if (firstToken(line) != font) r += line + "\n";
    return r + extra;
}

const std::string& realMap() {
    static const std::string map = readFile(kConfigDir + "/morvex.map");
    return map;
}

// The trace of one font's lookup, as the worked example has it: the map
// line, its tokens, the line of the re-encoding only for a font that has
// one, and the files found.
struct FontTrace {
    std::string font;
    std::set<int> codes;
    MapLine map;
    std::string pfbPath;
    std::string encPath;  // "" for a font drawn through its own encoding
    std::string slant;    // as the map line writes it; "" for none
};

std::string traceOf(const FontTrace& t) {
    std::string codes;
    for (int code : t.codes) codes += std::to_string(code) + " ";
    std::string s = "\nSymbols:" + codes + "\npsmap: '" + t.map.text + "'\npsmap: fnt_dvi='" + t.font + "' fnt_ps='" +
                    t.map.ps + "' fnt_pfb='" + t.map.pfb + "'\n";
    if (!t.encPath.empty() || !t.slant.empty())
        s += "psmap: enc='" + t.map.enc + "' slant='" + t.slant + "' extend=''\n";
    s += "== " + t.map.pfb + " " + t.pfbPath + "\n";
    if (!t.encPath.empty()) s += "== " + t.map.enc + " " + t.encPath + "\n";
    return s;
}

::testing::AssertionResult traceHolds(const std::string& trace, const FontTrace& t) {
    const std::string want = traceOf(t);
    if (trace.find(want) != std::string::npos) return ::testing::AssertionSuccess();
    size_t at = trace.find("\npsmap: '" + t.font + " ");
    return ::testing::AssertionFailure() << "expected the lines\n"
                                         << want << "found\n"
                                         << (at == std::string::npos ? trace : trace.substr(at, want.size() + 200));
}

testing::ProcessResult convert(const std::string& config, const std::string& doc, int page, const TempDir& dir) {
    return testing::runMorvex(dir.path, {"-p", std::to_string(page), dviOf(doc)}, {}, config);
}

// The glyph of each code in a generated font, found by the text of the code.
std::map<int, const testing::SvgGlyph*> glyphsByCode(const testing::SvgFont& font) {
    std::map<std::string, int> codeOfText;
    for (int c = 0; c < 256; ++c) codeOfText[testing::xmlUnescape(convCode(static_cast<unsigned char>(c)))] = c;
    std::map<int, const testing::SvgGlyph*> byCode;
    for (const auto& g : font.glyphs) {
        auto it = codeOfText.find(g.unicode);
        EXPECT_NE(it, codeOfText.end()) << "glyph " << g.name << " for no code";
        if (it == codeOfText.end()) continue;
        EXPECT_TRUE(byCode.emplace(it->second, &g).second) << "two glyphs for code " << it->second;
    }
    return byCode;
}

std::map<std::string, const testing::SvgFont*> fontsById(const std::vector<testing::SvgFont>& fonts) {
    std::map<std::string, const testing::SvgFont*> byId;
    for (const auto& f : fonts) EXPECT_TRUE(byId.emplace(f.id, &f).second) << "two fonts " << f.id;
    return byId;
}

// The specials of the pages numbered page, as dvitype lists them.
std::vector<std::string> dvitypeSpecials(const std::string& dvi, int page) {
    auto r = runProcess({"dvitype", "-output-level=4", dvi}, "/");
    std::vector<std::string> specials;
    static const std::regex kPage(R"(beginning of page (-?[0-9]+))");
    int current = 0;
    for (const std::string& line : lines(r.out)) {
        std::smatch m;
        if (std::regex_search(line, m, kPage)) current = std::stoi(m[1]);
        const std::string tag = ": xxx '";
        size_t p = line.find(tag);
        // The text runs to the last quote; dvitype ends the line with a blank.
        size_t close = line.rfind('\'');
        if (current == page && p != std::string::npos && close >= p + tag.size())
            specials.push_back(line.substr(p + tag.size(), close - p - tag.size()));
    }
    return specials;
}

// TeX writes a special of fewer than 256 bytes as xxx1, a longer one as
// xxx4; each is read, traced with its label and all its bytes, and the
// text around it is all in the document.
TEST(LatexLongSpecials, ConvertWithTheirTraceAndAllTheTextOfThePage) {
    struct Case {
        int page;
        size_t longOnes;  // at least
    };
    // Page 1 holds hyperref's header for the dvips driver (long in the
    // versions at hand, but not required), page 2 the 400-byte special.
    for (const Case& c : {Case{1, 0}, Case{2, 1}}) {
        SCOPED_TRACE("page " + std::to_string(c.page));
        TempDir dir;
        auto r = convert(kConfigDir, "longspecial", c.page, dir);
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
        const std::string trace = readFile(dir.file("out.log"));

        const auto specials = dvitypeSpecials(dviOf("longspecial"), c.page);
        EXPECT_GE(specials.size(), 3u);  // anchors and links besides
        size_t longOnes = 0;
        for (const std::string& s : specials) {
            const bool isLong = s.size() > 255;
            longOnes += isLong;
            const std::string line = std::string(isLong ? "xxx_4:" : "xxx_1:") + s + "\n";
            EXPECT_NE(trace.find(line), std::string::npos) << line;
        }
        EXPECT_GE(longOnes, c.longOnes);

        std::vector<testing::DocChar> want;
        for (const auto& [font, code] : testing::dvitypePageChars(dviOf("longspecial"), c.page))
            want.push_back({font, code});
        ASSERT_GT(want.size(), 40u);
        EXPECT_EQ(testing::documentChars(readFile(dir.file("out.svg"))), want);
    }
}

struct ReencodedCase {
    const char* doc;
    std::set<std::string> encodings;  // the encoding files of the page's fonts
};

void PrintTo(const ReencodedCase& c, std::ostream* os) { *os << c.doc; }

class LatexReencodedFonts : public ::testing::TestWithParam<ReencodedCase> {};

// Every code a font sets gets the glyph its map line's encoding vector
// names: the name, the outline that Ghostscript draws for that name from
// the font's Type 1 file, and the TFM width. The page's text is all in
// the document, each font's trace names its encoding file, and both files
// are well-formed.
TEST_P(LatexReencodedFonts, EachCodeGetsTheGlyphItsVectorNames) {
    const ReencodedCase& c = GetParam();
    TempDir dir;
    auto r = convert(kConfigDir, c.doc, 1, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string trace = readFile(dir.file("out.log"));
    EXPECT_EQ(trace.find("\nnotdef:"), std::string::npos) << "a glyph the font lacks";
    for (const char* file : {"out.svg", "fonts.svg"}) {
        auto lint = runProcess({"xmllint", "--noent", "--noout", dir.file(file)}, dir.path);
        EXPECT_EQ(lint.exitCode, 0) << file << ": " << lint.err.substr(0, 2000);
    }

    std::vector<testing::DocChar> text;
    for (const auto& [font, code] : testing::dvitypePageChars(dviOf(c.doc), 1)) text.push_back({font, code});
    EXPECT_EQ(testing::documentChars(readFile(dir.file("out.svg"))), text);

    const auto fonts = testing::parseSvgFonts(readFile(dir.file("fonts.svg")));
    const auto byId = fontsById(fonts);
    const auto used = testing::dvitypeCodesByFont(dviOf(c.doc), 1);
    ASSERT_GE(used.size(), 5u);
    EXPECT_EQ(byId.size(), used.size());

    // What each font's map line names, and the names to draw per Type 1 file.
    struct FontSide {
        std::vector<std::string> vector;
        std::string pfb;
    };
    std::map<std::string, FontSide> side;
    std::map<std::string, std::set<std::string>> namesOfPfb;
    std::set<std::string> encodings;
    for (const auto& [font, codes] : used) {
        SCOPED_TRACE("font " + font);
        auto line = findMapLine(realMap(), font);
        ASSERT_TRUE(line.has_value());
        encodings.insert(line->enc);
        FontSide s;
        const std::string encPath = kpseFind(line->enc);
        s.pfb = kpseFind(line->pfb);
        ASSERT_FALSE(encPath.empty()) << line->enc;
        ASSERT_FALSE(s.pfb.empty()) << line->pfb;
        s.vector = testing::encodingNames(encPath);
        ASSERT_EQ(s.vector.size(), 256u);
        for (int code : codes) namesOfPfb[s.pfb].insert(s.vector[code]);
        side[font] = s;
        EXPECT_TRUE(traceHolds(trace, {font, codes, *line, s.pfb, encPath, ""}));
    }
    EXPECT_EQ(encodings, c.encodings);

    // One Ghostscript run draws every name from every file.
    std::vector<testing::NamesInFont> toDraw;
    for (const auto& [pfb, names] : namesOfPfb) toDraw.push_back({pfb, {names.begin(), names.end()}});
    const auto drawn = testing::drawByNameInFonts(dir.path, toDraw);
    ASSERT_EQ(drawn.size(), toDraw.size());
    std::map<std::pair<std::string, std::string>, const testing::NamedGlyph*> reference;
    for (size_t i = 0; i < toDraw.size(); ++i)
        for (size_t k = 0; k < toDraw[i].names.size(); ++k)
            reference[{toDraw[i].pfb, toDraw[i].names[k]}] = &drawn[i][k];

    std::set<std::string> namesSet;
    for (const auto& [font, codes] : used) {
        SCOPED_TRACE("font " + font);
        auto it = byId.find(font);
        ASSERT_NE(it, byId.end());
        const auto glyphs = glyphsByCode(*it->second);
        EXPECT_EQ(glyphs.size(), codes.size());
        const auto widths = testing::tfmWidths(font);
        ASSERT_FALSE(widths.empty());
        const FontSide& s = side[font];
        for (int code : codes) {
            const std::string& name = s.vector[code];
            SCOPED_TRACE("code " + std::to_string(code) + " /" + name);
            namesSet.insert(name);
            auto g = glyphs.find(code);
            ASSERT_NE(g, glyphs.end());
            const testing::NamedGlyph& want = *reference.at({s.pfb, name});
            EXPECT_TRUE(want.known) << "the font has no glyph of this name";
            EXPECT_EQ(g->second->name, name);
            // The documents set visible characters only.
            EXPECT_FALSE(g->second->d.empty());
            EXPECT_TRUE(samePath(parsePath(g->second->d), want.path, kRounding)) << g->second->d;
            EXPECT_NEAR(g->second->advance, want.advance, kRounding);
            ASSERT_TRUE(widths.count(code));
            EXPECT_NEAR(g->second->advance, widths.at(code) * 1000.0, 1.0);
        }
    }
    // The documents set what they were written for.
    for (const char* name : {"aogonek", "eogonek", "lslash", "zdotaccent", "zacute", "nacute", "oacute", "Zdotaccent",
                             "rcaron", "zcaron", "tcaron", "dcaron", "uring", "ecaron", "Uring", "fi", "ffi", "fl",
                             "ff", "ffl", "quotedblleft", "quotedblright", "quotedblbase", "endash", "emdash",
                             "copyright", "Euro"})
        EXPECT_TRUE(namesSet.count(name)) << name;
}

INSTANTIATE_TEST_SUITE_P(
    T1AndTs1, LatexReencodedFonts,
    ::testing::Values(ReencodedCase{"t1lm", {"lm-ec.enc", "lm-ts1.enc"}},
                      ReencodedCase{"t1cmsuper", {"cm-super-t1.enc", "cm-super-ts1.enc"}}),
    [](const auto& info) { return std::string(info.param.doc); });

// The glyph names of a Type 1 font's own Encoding ("dup CODE /NAME put"),
// 256 of them, .notdef where it puts none.
std::vector<std::string> builtinEncoding(const std::string& pfb, const TempDir& dir) {
    const std::string pfa = dir.file("builtin.pfa");
    if (runProcess({"t1ascii", pfb, pfa}, dir.path).exitCode != 0) return {};
    std::string text = readFile(pfa);
    text = text.substr(0, text.find("eexec"));
    std::vector<std::string> names(256, ".notdef");
    static const std::regex kPut(R"(dup ([0-9]+) ?/([^\s/{}\[\]()<>]+) put)");
    for (std::sregex_iterator it(text.begin(), text.end(), kPut), end; it != end; ++it) {
        int code = std::stoi((*it)[1]);
        if (code < 256) names[code] = (*it)[2];
    }
    return names;
}

// A font the map slants gets outlines sheared by the slant, x + s y, and
// its advances unchanged, for each code the page sets.
TEST(LatexSlantedFont, EveryPointMovedBySlantTimesItsHeight) {
    struct Case {
        const char* what;
        const char* doc;
        const char* font;
        std::string mapLine;  // replaces the font's line of the real map
        const char* enc;      // "" for the font's own Encoding
        const char* pfb;
    };
    const Case cases[] = {
        {"cmr10 in plain TeX text", "hello", "cmr10", "cmr10 CMR10 \" .167 SlantFont \" <cmr10.pfb", "", "cmr10.pfb"},
        {"ec-lmr10 re-encoded and slanted", "t1lm", "ec-lmr10",
         "ec-lmr10 LMRoman10-Regular \" enclmec ReEncodeFont .167 SlantFont \" <lm-ec.enc <lmr10.pfb", "lm-ec.enc",
         "lmr10.pfb"},
    };
    const double slant = 0.167;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigDir cfg(mapWithout(realMap(), c.font, c.mapLine + "\n"));
        TempDir dir;
        auto r = convert(cfg.dir.path, c.doc, 1, dir);
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        const std::string pfb = kpseFind(c.pfb);
        const auto vector = *c.enc != '\0' ? testing::encodingNames(kpseFind(c.enc)) : builtinEncoding(pfb, dir);
        ASSERT_EQ(vector.size(), 256u);
        const auto used = testing::dvitypeCodesByFont(dviOf(c.doc), 1);
        ASSERT_TRUE(used.count(c.font));
        const std::set<int>& codes = used.at(c.font);
        auto line = findMapLine(c.mapLine, c.font);
        ASSERT_TRUE(line.has_value());
        EXPECT_TRUE(traceHolds(readFile(dir.file("out.log")),
                               {c.font, codes, *line, pfb, *c.enc != '\0' ? kpseFind(c.enc) : "", ".167"}));
        std::vector<std::string> names;
        for (int code : codes) names.push_back(vector[code]);
        const auto plain = testing::drawByName(dir.path, pfb, names);
        ASSERT_EQ(plain.size(), names.size());

        const auto fonts = testing::parseSvgFonts(readFile(dir.file("fonts.svg")));
        const auto byId = fontsById(fonts);
        ASSERT_TRUE(byId.count(c.font));
        const auto glyphs = glyphsByCode(*byId.at(c.font));
        EXPECT_EQ(glyphs.size(), codes.size());
        const auto widths = testing::tfmWidths(c.font);
        size_t i = 0;
        for (int code : codes) {
            SCOPED_TRACE("code " + std::to_string(code) + " /" + names[i]);
            const testing::NamedGlyph& want = plain[i++];
            auto g = glyphs.find(code);
            ASSERT_NE(g, glyphs.end());
            EXPECT_EQ(g->second->name, vector[code]);
            auto sheared = want.path;
            for (auto& op : sheared)
                for (size_t k = 0; k + 1 < op.v.size(); k += 2) op.v[k] += slant * op.v[k + 1];
            EXPECT_FALSE(sheared.empty());
            EXPECT_TRUE(samePath(parsePath(g->second->d), sheared, 0.01)) << g->second->d;
            EXPECT_NEAR(g->second->advance, want.advance, kRounding);
            ASSERT_TRUE(widths.count(code));
            EXPECT_NEAR(g->second->advance, widths.at(code) * 1000.0, 1.0);
        }
    }
}

// A font of the page the map does not know ends the run with 63 after its
// name and the hint to refresh the map; no fonts file is left.
TEST(LatexMissingFont, NamedWithTheHintAndExit63) {
    struct Case {
        const char* doc;
        int page;
        const char* font;  // dropped from the real map
    };
    for (const Case& c : {Case{"t1lm", 1, "ec-lmbx10"}, Case{"longspecial", 2, "cmr10"}}) {
        SCOPED_TRACE(std::string(c.doc) + " without " + c.font);
        ASSERT_TRUE(findMapLine(realMap(), c.font).has_value());
        ConfigDir cfg(mapWithout(realMap(), c.font));
        TempDir dir;
        auto r = convert(cfg.dir.path, c.doc, c.page, dir);
        EXPECT_EQ(r.exitCode, 63) << r.out << r.err;
        const std::string said = "Mappings for " + std::string(c.font) + " not founded.\n" + kMapHint;
        ASSERT_GE(r.out.size(), said.size()) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - said.size()), said) << r.out;
        EXPECT_EQ(filesIn(dir.path), (std::set<std::string>{"out.svg", "out.log"}));
    }
}

// A font drawn through its own encoding keeps the trace it always had:
// no line of a re-encoding, no words of one in the Ghostscript command.
TEST(LatexFontTrace, APlainFontKeepsItsLines) {
    TempDir dir;
    auto r = convert(kConfigDir, "longspecial", 2, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto used = testing::dvitypeCodesByFont(dviOf("longspecial"), 2);
    ASSERT_TRUE(used.count("cmr10"));
    const std::string pfb = kpseFind("cmr10.pfb");
    ASSERT_FALSE(pfb.empty());
    const MapLine line{"cmr10 CMR10 <cmr10.pfb", "CMR10", "", "cmr10.pfb"};
    const std::string trace = readFile(dir.file("out.log"));
    EXPECT_TRUE(traceHolds(trace, {"cmr10", used.at("cmr10"), line, pfb, "", ""}));
    EXPECT_EQ(trace.find("psmap: enc="), std::string::npos);
    EXPECT_EQ(trace.find("ENCVECFILE"), std::string::npos);
}

}  // namespace
}  // namespace morvex
