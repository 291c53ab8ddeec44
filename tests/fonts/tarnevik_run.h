#pragma once
// Runs config/tarnevik.ps the way morvex starts Ghostscript (SAFER, a
// permit for each file read or written), and draws glyphs by name from a
// font in a separate Ghostscript run, to check what the program wrote.
#include <gtest/gtest.h>

#include <bitset>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex::testing {

inline const std::string kTarnevikPs = std::string(MORVEX_TEST_CONFIG_DIR) + "/tarnevik.ps";
inline const std::string kTarnevikEnc = std::string(MORVEX_TEST_CONFIG_DIR) + "/tarnevik.enc";

inline std::string kpseFind(const std::string& name) {
    auto r = runProcess({"kpsewhich", name}, "/");
    return r.out.substr(0, r.out.find('\n'));
}

inline std::string codeRange(int from, int to) {
    std::string s;
    for (int c = from; c <= to; ++c) s += std::to_string(c) + " ";
    return s;
}

// Ghostscript always permits its temporary directory; the tests work under
// /tmp, so it is pointed at a path that does not exist: only the permits
// given open files.
inline std::vector<std::string> gsCommand(const std::string& dir) {
    return {"env", "TMPDIR=" + dir + "/no-gs-tmp", "gs", "-q", "-dNODISPLAY", "-dBATCH", "-dNOPAUSE", "-dQUIT", "-dSAFER"};
}

// The parameters of one font, as morvex passes them.
struct FontRun {
    std::string fontFile;
    std::string fontOut;
    std::string symbols;                 // the codes, "65 66 ..."
    std::string encVecFile;              // none: the font's own Encoding
    std::vector<std::string> transform;  // -dSLANT=... -dEXTEND=...
    bool permitEncVec = true;
};

inline ProcessResult runFont(const std::string& dir, const FontRun& f) {
    std::vector<std::string> args = gsCommand(dir);
    args.push_back("--permit-file-read=" + f.fontFile);
    args.push_back("--permit-file-read=" + kTarnevikEnc);
    if (!f.encVecFile.empty() && f.permitEncVec) args.push_back("--permit-file-read=" + f.encVecFile);
    args.push_back("--permit-file-write=" + f.fontOut);
    for (const std::string& a :
         {"-sFONTFILE=" + f.fontFile, std::string("-dTHEFONT=/f"), "-sSYMBOLS=[ " + f.symbols + " ]",
          std::string("-dENCODING=/TeXUTF8Encoding"), "-sENCFILE=" + kTarnevikEnc, "-sFONTOUT=" + f.fontOut})
        args.push_back(a);
    if (!f.encVecFile.empty()) args.push_back("-sENCVECFILE=" + f.encVecFile);
    for (const auto& t : f.transform) args.push_back(t);
    args.push_back(kTarnevikPs);
    return runProcess(args, dir);
}

// The codes of a set as the glyph program takes them, "65 66 ...".
inline std::string symbols(const std::bitset<256>& codes) {
    std::string s;
    for (int c = 0; c < 256; ++c)
        if (codes[static_cast<size_t>(c)]) s += std::to_string(c) + " ";
    return s;
}

inline std::bitset<256> codeSet(const std::vector<int>& codes) {
    std::bitset<256> b;
    for (int c : codes) b.set(static_cast<size_t>(c));
    return b;
}

// A font's generated font as a run for exactly these codes writes it.
inline std::string generated(const TempDir& dir, const std::string& font, const std::bitset<256>& codes,
                             const std::string& encVec = "") {
    FontRun run{kpseFind(font + ".pfb"), "out-" + font, symbols(codes), encVec, {}};
    auto r = runFont(dir.path, run);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return readFile(dir.file("out-" + font));
}

// A path as a list of operators with their coordinates.
struct PathOp {
    char op;
    std::vector<double> v;
};

inline std::vector<PathOp> parsePath(const std::string& d) {
    std::vector<PathOp> ops;
    const char* p = d.c_str();
    while (*p != '\0') {
        if (*p == ' ') {
            ++p;
        } else if (std::isalpha(static_cast<unsigned char>(*p))) {
            ops.push_back({*p++, {}});
        } else {
            char* end = nullptr;
            double x = std::strtod(p, &end);
            if (end == p || ops.empty()) return {{'?', {}}};
            ops.back().v.push_back(x);
            p = end;
        }
    }
    return ops;
}

// Same operators, coordinates within tol.
inline ::testing::AssertionResult samePath(const std::vector<PathOp>& got, const std::vector<PathOp>& want, double tol) {
    if (got.size() != want.size())
        return ::testing::AssertionFailure() << got.size() << " operators, " << want.size() << " expected";
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i].op != want[i].op || got[i].v.size() != want[i].v.size())
            return ::testing::AssertionFailure() << "operator " << i << " is " << got[i].op << ", " << want[i].op
                                                 << " expected";
        for (size_t k = 0; k < got[i].v.size(); ++k)
            if (std::fabs(got[i].v[k] - want[i].v[k]) > tol)
                return ::testing::AssertionFailure() << "operator " << i << " value " << k << " is " << got[i].v[k]
                                                     << ", " << want[i].v[k] << " expected";
    }
    return ::testing::AssertionSuccess();
}

// The glyph names of an encoding file ("/Name [ /a /b ... ] def"), read
// here on their own: comments dropped, names split at PostScript's
// delimiters.
inline std::vector<std::string> encodingNames(const std::string& path) {
    std::string text;
    bool comment = false;
    for (char c : readFile(path)) {
        if (c == '%') comment = true;
        if (c == '\n' || c == '\r') comment = false;
        if (!comment) text += c;
    }
    std::vector<std::string> names;
    size_t open = text.find('[');
    size_t close = text.find(']', open);
    if (open == std::string::npos || close == std::string::npos) return names;
    static const std::string kDelimiters = " \t\r\n\f/[]{}()<>";
    for (size_t p = text.find('/', open); p < close; p = text.find('/', p)) {
        size_t end = text.find_first_of(kDelimiters, p + 1);
        names.push_back(text.substr(p + 1, end - p - 1));
        p = end;
    }
    return names;
}

// One glyph drawn by its name: whether the font has it (else Ghostscript
// draws .notdef), its advance by glyphshow, its outline by charpath, in
// font units, moves that start nothing left out as the program does.
struct NamedGlyph {
    bool known = false;
    double advance = 0;
    std::vector<PathOp> path;
};

// A Type 1 file and the glyph names to draw from it.
struct NamesInFont {
    std::string pfb;
    std::vector<std::string> names;
};

// The glyphs of several fonts drawn in one Ghostscript run, in the order
// asked for; empty when a font could not be read.
inline std::vector<std::vector<NamedGlyph>> drawByNameInFonts(const std::string& dir,
                                                              const std::vector<NamesInFont>& fonts) {
    std::string prog = "/p { 30 string cvs print ( ) print } def\n";
    size_t lines = 0;
    for (size_t i = 0; i < fonts.size(); ++i) {
        const std::string pfa = dir + "/byname" + std::to_string(i) + ".pfa";
        auto conv = runProcess({"t1ascii", fonts[i].pfb, pfa}, dir);
        std::smatch m;
        const std::string pfaText = readFile(pfa);
        if (conv.exitCode != 0 || !std::regex_search(pfaText, m, std::regex(R"(/FontName\s*/([^\s/{}\[\]()<>]+))")))
            return {};
        std::string list;
        for (const auto& n : fonts[i].names) list += "/" + n + " ";
        lines += fonts[i].names.size();
        prog += "(" + pfa + ") run /F FontDirectory /" + m[1].str() + R"( get def
/inv F /FontMatrix get matrix invertmatrix def
matrix setmatrix
/U F inv makefont def
[ )" + list + R"( ] {
  /n exch def
  F /CharStrings get n known { (1 ) } { (0 ) } ifelse print
  U setfont newpath 0 0 moveto n glyphshow currentpoint pop p
  F dup length dict copy dup /FID undef dup /Encoding [ n 255 { /.notdef } repeat ] put
  /OneGlyph exch definefont inv makefont setfont
  newpath 0 0 moveto (\000) false charpath
  { (M ) print exch p p } { (L ) print exch p p }
  { (C ) print 6 -2 roll exch p p 4 -2 roll exch p p exch p p } { (Z ) print } pathforall
  (\n) print
} forall
)";
    }
    writeFile(dir + "/byname.ps", prog);
    auto r = runProcess(
        {"gs", "-q", "-dNODISPLAY", "-dBATCH", "-dNOPAUSE", "--permit-file-read=" + dir + "/", "byname.ps"}, dir);
    std::vector<NamedGlyph> glyphs;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t nl = r.out.find('\n', start);
        std::string line = r.out.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        start = nl == std::string::npos ? r.out.size() : nl + 1;
        NamedGlyph g;
        char* end = nullptr;
        g.known = std::strtol(line.c_str(), &end, 10) == 1;
        g.advance = std::strtod(end, &end);
        std::vector<PathOp> ops = parsePath(end);
        for (size_t i = 0; i < ops.size(); ++i) {
            bool drawsNext = i + 1 < ops.size() && (ops[i + 1].op == 'L' || ops[i + 1].op == 'C');
            if (ops[i].op != 'M' || drawsNext) g.path.push_back(ops[i]);
        }
        glyphs.push_back(g);
    }
    if (glyphs.size() != lines) return {};
    std::vector<std::vector<NamedGlyph>> byFont;
    auto next = glyphs.begin();
    for (const auto& f : fonts) {
        byFont.emplace_back(next, next + static_cast<std::ptrdiff_t>(f.names.size()));
        next += static_cast<std::ptrdiff_t>(f.names.size());
    }
    return byFont;
}

inline std::vector<NamedGlyph> drawByName(const std::string& dir, const std::string& pfb,
                                          const std::vector<std::string>& names) {
    auto byFont = drawByNameInFonts(dir, {{pfb, names}});
    return byFont.empty() ? std::vector<NamedGlyph>{} : byFont[0];
}

}  // namespace morvex::testing
