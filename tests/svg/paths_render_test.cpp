// The --paths document of real pages, made by plain tex and LaTeX at test
// time and converted by the built binary: well-formed and self-contained,
// drawn by Chromium as dvipng draws the DVI pages (text, mathematics,
// rules, accents, colour, two pages stacked), and holding the pages' words
// as text that the browser finds and copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/invisible_text.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "support/render.h"
#include "support/svg_walk.h"

namespace morvex::testing {
namespace {


constexpr int kScale = 2;          // Chromium's device pixels per CSS pixel
constexpr int kDpi = 96 * kScale;  // dvipng's resolution for the same pixels
constexpr int kOversample = 4;
constexpr double kCssPerPt = 96.0 / 72.27;

// Plain TeX: a page of text with ligatures, quotes, dashes and accents,
// then a page of mathematics and a ruled table. Both carry \count0 = 1, so
// that one conversion stacks them; the second is also typeset alone, as
// the reference for the lower half of the stack.
constexpr const char* kPlainSetup = "\\parskip=4pt\n";
constexpr const char* kPlainText = R"TEX(
Typesetting with plain TeX: the office staff---fifty ``affable'' officials---found
five fine flowers in the field. Accents: caf\'e, na\"\i ve, fa\c cade, \`a la carte,
r\^ole, se\~nor, \v cesk\'y, G\"odel, Erd\H os, \AA ngstr\"om, stra\ss e, \ae on, \o re.

\count255=0
\loop\ifnum\count255<6 \advance\count255 by 1
Paragraph \number\count255: a quick brown fox jumps over the lazy dog, and
sphinxes of black quartz judge my vow; the wizards box quickly, and five
dozen liquor jugs stand packed in a box beside the old mill in the valley.
\endgraf
\repeat
)TEX";
constexpr const char* kPlainMath = R"TEX(
Mathematics with a fraction and roots:
$$ x = {-b \pm \sqrt{b^2 - 4ac} \over 2a}, \qquad
   \sum_{k=1}^{n} k^2 = {n(n+1)(2n+1) \over 6}, \qquad
   \root 3 \of {\alpha + \beta} \le \int_0^1 f(t)\,dt. $$
Inline: $e^{i\pi} + 1 = 0$ and $a_{ij} = \sqrt{x_i^2 + y_j^2}$.

\medskip
\centerline{\vbox{\offinterlineskip
\halign{\vrule\strut\quad#\hfil\quad\vrule&\quad\hfil#\quad\vrule\cr
\noalign{\hrule}
Fruit&Count\cr
\noalign{\hrule}
Apples&12\cr
Pears&7\cr
\noalign{\hrule}
}}}
)TEX";

// LaTeX with T1 Latin Modern (re-encoded Type 1 fonts), xcolor's rgb and
// named colours, mathematics and a ruled table.
constexpr const char* kLatex = R"TEX(\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\usepackage[dvipsnames]{xcolor}
\pagestyle{empty}
\begin{document}
\section*{Typesetting}
The office staff---fifty ``affable'' officials---were waiting in {\L}\'od\'z, Wroc{\l}aw and Gda\'nsk:
na\"ive caf\'e owners, fine flowers, and a \textcolor{red}{scarlet} word beside an
\textcolor{OliveGreen}{olive} one.
\[ x = \frac{-b \pm \sqrt{b^2 - 4ac}}{2a}, \qquad \sqrt[3]{\alpha + \beta} \le \int_0^1 f(t)\,dt \]
\begin{center}
\begin{tabular}{|l|r|}
\hline
Fruit & Count \\ \hline
Apples & 12 \\
Pears & 7 \\ \hline
\end{tabular}
\end{center}
\end{document}
)TEX";

// The words of the pages in reading order.
const std::vector<std::string> kPlainWords = {
    "Typesetting", "with",         "plain", "TeX:", "the",   "office",    "staff\u2014fifty", "\u201Caffable\u201D",
    "officials\u2014found", "five", "fine", "flowers", "in", "the", "field.", "Paragraph", "1:", "quick",
    "brown", "fox", "Paragraph", "6:", "valley.", "Mathematics", "with", "a", "fraction", "Fruit", "Count",
    "Apples", "12", "Pears", "7"};
const std::vector<std::string> kLatexWords = {
    "Typesetting", "The",    "office", "staff\u2014fifty", "\u201Caffable\u201D", "officials\u2014were",
    "waiting",     "in",     "\u0141\u00F3d\u017A,",       "Wroc\u0142aw",        "and", "Gda\u0144sk:",
    "na\u00EFve",  "caf\u00E9", "owners,", "fine", "flowers,", "and", "a", "scarlet", "word", "beside",
    "an", "olive", "one.", "Fruit", "Count", "Apples", "12", "Pears", "7"};

// One document rendered and its reference pictures.
struct Converted {
    std::string svgPath, svg, log;
    PageBox box;
    int left = 0;  // where it stands in the shared screenshot, CSS pixels
};

struct Renders {
    TempDir dir;
    std::string error;
    Converted plain, latex;
    GrayImage referencePlain[2], referenceLatex;
    GrayImage shot;
    std::vector<uint8_t> shotRgb;
    int shotWidth = 0, shotHeight = 0;  // CSS pixels
    std::string browserReport;          // what the page's script found
};

std::string runTex(const TempDir& dir, const std::string& program, const std::string& name,
                   const std::string& source, std::string& error) {
    if (!writeFile(dir.file(name + ".tex"), source)) {
        error = "cannot write " + name + ".tex";
        return "";
    }
    ProcessResult r = runProcess({program, "-interaction=nonstopmode", "-halt-on-error", name + ".tex"}, dir.path);
    if (r.exitCode != 0) {
        error = program + " failed on " + name + ":\n" + r.out.substr(r.out.size() > 3000 ? r.out.size() - 3000 : 0);
        return "";
    }
    return dir.file(name + ".dvi");
}

// The SVG root element and what it holds: the part that goes inline.
std::string rootElement(const std::string& svg) {
    size_t at = svg.find("<svg ");
    return at == std::string::npos ? "" : svg.substr(at);
}

// The words for the browser to find, percent-encoded for the script.
std::string uriEncode(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

const std::vector<std::string> kSearches = {"officials", "Apples", "sphinxes of black quartz", "\u0141\u00F3d\u017A",
                                            "na\u00EFve caf\u00E9", "scarlet word", "fifty", "Wroc\u0142aw"};

bool convert(Renders& r, Converted& c, const std::string& dvi, const std::string& name) {
    c.svgPath = r.dir.file(name + ".svg");
    const std::string logPath = r.dir.file(name + ".log.txt");
    ProcessResult run = runMorvex(r.dir.path, {"--paths", "-p", "1", "-o", c.svgPath, "-O", logPath, "-f",
                                               r.dir.file(name + "-fonts.svg"), dvi});
    if (run.exitCode != 0) {
        r.error = "morvex --paths failed on " + name + " with " + std::to_string(run.exitCode) + ":\n" + run.out;
        return false;
    }
    c.svg = readFile(c.svgPath);
    c.log = readFile(logPath);
    c.box = readPageBox(dvi);
    if (!c.box.ok()) r.error = c.box.error;
    return c.box.ok();
}

void render(Renders& r) {
    std::string dviPlain = runTex(r.dir, "tex", "plain",
                                  std::string(kPlainSetup) + kPlainText + "\\vfill\\eject\\pageno=1\n" + kPlainMath +
                                      "\\bye\n",
                                  r.error);
    std::string dviSecond = runTex(r.dir, "tex", "second", std::string(kPlainSetup) + kPlainMath + "\\bye\n", r.error);
    std::string dviLatex = runTex(r.dir, "latex", "latex", kLatex, r.error);
    if (!r.error.empty()) return;
    if (!convert(r, r.plain, dviPlain, "plain") || !convert(r, r.latex, dviLatex, "latex")) return;
    PageBox second = readPageBox(dviSecond);
    if (second.maxWidth != r.plain.box.maxWidth || second.maxHeightDepth != r.plain.box.maxHeightDepth) {
        r.error = "the page typeset alone has another page box than in the stack";
        return;
    }

    const PageBox& pb = r.plain.box;
    const PageBox& lb = r.latex.box;
    const auto reference = [&](const std::string& dvi, const PageBox& box, GrayImage& into) {
        Rendered d = renderDvipng(dvi, 1, kDpi, 2 * box.cssWidth(), 2 * box.cssHeight(), kOversample);
        if (!d.ok() && r.error.empty()) r.error = dvi + ": " + d.error;
        into = d.image;
    };
    reference(dviPlain, pb, r.referencePlain[0]);
    reference(dviSecond, pb, r.referencePlain[1]);
    reference(dviLatex, lb, r.referenceLatex);
    if (!r.error.empty()) return;

    // Both documents inline in one page, side by side: the stack of two
    // plain pages at the left, the LaTeX page at the right. The page's
    // script selects each document's content and searches for words, the
    // way a reader copies and finds, and leaves its report in a hidden
    // element; it clears the selection before the screenshot. Nothing but
    // the page's own style and script may load or run.
    r.latex.left = pb.cssWidth();
    r.shotWidth = pb.cssWidth() + lb.cssWidth();
    r.shotHeight = std::max(2 * pb.cssHeight(), lb.cssHeight());
    std::ostringstream html;
    html << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "style-src 'unsafe-inline'; script-src 'unsafe-inline'\"/>"
            "<style>html,body{margin:0;padding:0;background:#fff;overflow:hidden}"
            "div{position:absolute;top:0}svg{display:block}</style></head><body>";
    for (const Converted* c : {&r.plain, &r.latex})
        html << "<div style=\"left:" << c->left << "px\">" << rootElement(c->svg) << "</div>";
    html << "<pre id=\"report\" style=\"display:none\">none</pre><script>//<![CDATA[\n"
            "var out = [];\nvar sel = window.getSelection();\n"
            "for (const svg of document.querySelectorAll('svg')) {\n"
            "  sel.removeAllRanges(); sel.selectAllChildren(svg);\n"
            "  out.push('copy ' + encodeURIComponent(sel.toString()));\n}\n"
            "for (const w of [";
    for (const std::string& word : kSearches) html << "decodeURIComponent('" << uriEncode(word) << "'),";
    html << "]) {\n  sel.removeAllRanges();\n"
            "  out.push('find ' + encodeURIComponent(w) + ' ' + window.find(w));\n}\n"
            "sel.removeAllRanges();\nwindow.scrollTo(0, 0);\n"
            "document.getElementById('report').textContent = out.join('\\n');\n//]]></script></body></html>\n";
    const std::string page = r.dir.file("pages.xhtml");
    if (!writeFile(page, html.str())) {
        r.error = "cannot write " + page;
        return;
    }
    std::string dom;
    Rendered shot = renderChromium(page, r.shotWidth, r.shotHeight, kScale, &r.shotRgb, &dom);
    if (!shot.ok()) {
        r.error = shot.error;
        return;
    }
    r.shot = shot.image;
    const std::optional<std::string> report = scriptReport(dom);
    if (!report) {
        r.error = "the page's script left no report";
        return;
    }
    r.browserReport = *report;
}

class PathsPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        renders = std::make_unique<Renders>();
        render(*renders);
    }
    static void TearDownTestSuite() { renders.reset(); }
    void SetUp() override { ASSERT_EQ(renders->error, ""); }

    // Chromium's picture of a page of a document: the page box at the
    // document's place, the second page of the stack a page height down.
    static GrayImage shown(const Converted& c, int page) {
        const int top = static_cast<int>(std::lround(page * c.box.heightPt * kCssPerPt * kScale));
        return crop(renders->shot, c.left * kScale, top, c.box.cssWidth() * kScale, c.box.cssHeight() * kScale);
    }

    static void expectAlike(const GrayImage& reference, const GrayImage& picture, const std::string& name) {
        InkReport report = compareInk(reference, picture, InkCompareOptions::forDpi(kDpi));
        std::cout << "  " << name << ": " << report.describe(kDpi) << "\n";
        if (!looksAlike(report)) {
            std::string file = "paths-" + name + ".png";
            writeComparison(file, reference, picture, report);
            ADD_FAILURE() << name << ": " << report.describe(kDpi) << "\n  picture: " << file;
        }
    }

    static std::unique_ptr<Renders> renders;
};

std::unique_ptr<Renders> PathsPagesTest::renders;

std::vector<std::string> matches(const std::string& text, const std::string& pattern, int group = 0) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) found.push_back((*it)[group]);
    return found;
}

TEST_F(PathsPagesTest, DocumentsAreWellFormedAndSelfContained) {
    for (const Converted* c : {&renders->plain, &renders->latex}) {
        SCOPED_TRACE(c->svgPath);
        ProcessResult lint = runProcess({"xmllint", "--nonet", "--noout", c->svgPath}, renders->dir.path);
        EXPECT_EQ(lint.exitCode, 0) << lint.err;
        EXPECT_EQ(lint.err, "");
        for (const char* absent : {"<!DOCTYPE", "<!ENTITY", "url(", "@font-face", "<style", "<image", "<script",
                                   "<font", "<foreignObject"})
            EXPECT_EQ(c->svg.find(absent), std::string::npos) << absent;
        // Every reference points into the document itself.
        std::vector<std::string> refs = matches(c->svg, R"re((?:xlink:)?href="([^"]*)")re", 1);
        EXPECT_GT(refs.size(), 100u);
        std::set<std::string> ids;
        for (const std::string& id : matches(c->svg, R"re( id="([^"]*)")re", 1)) ids.insert(id);
        for (const std::string& ref : refs) {
            ASSERT_EQ(ref.substr(0, 1), "#") << ref;
            ASSERT_TRUE(ids.count(ref.substr(1))) << ref;
        }
        // No fonts file in this mode.
        EXPECT_FALSE(std::ifstream(c->svgPath.substr(0, c->svgPath.size() - 4) + "-fonts.svg").good());
        // The trace says what the writer drew and defined.
        EXPECT_NE(c->log.find("\nPaths: page 1 at position 1: "), std::string::npos);
        EXPECT_NE(c->log.find("\nPaths: glyphs defined: "), std::string::npos);
        EXPECT_NE(c->log.find("\nSM=<3>"), std::string::npos);
    }
    EXPECT_NE(renders->plain.log.find("\nPaths: page 1 at position 2: "), std::string::npos);
}

// Measured (global / worst tile / peak difference): plain page 1 0.9981 /
// 0.9785 / 0.072, plain page 2 in the stack 0.9886 / 0.9316 / 0.120, the
// LaTeX page 0.9970 / 0.9703 / 0.077; dvipng against Chromium showing
// dvipng's own pictures scaled, in tests/render, gives 0.99 / 0.94 / 0.10.
TEST_F(PathsPagesTest, ChromiumDrawsThePagesAsDvipngDoes) {
    expectAlike(renders->referencePlain[0], shown(renders->plain, 0), "plain-page-1");
    expectAlike(renders->referencePlain[1], shown(renders->plain, 1), "plain-page-2-stacked");
    expectAlike(renders->referenceLatex, shown(renders->latex, 0), "latex-page");
}

// A glyph use or a rule with its place in TeX points from the document's
// top left, and the fill of its group.
struct Drawn {
    bool rule = false;
    double x = 0, y = 0, width = 0, height = 0;  // a glyph: its size as width and height
    std::string fill;
};

std::vector<Drawn> drawn(const std::string& svg) {
    std::vector<Drawn> out;
    for (const DrawnElement& e : drawnElements(svg)) {
        const bool rule = e.element.rfind("<rect", 0) == 0;
        if (rule) {
            auto [x, y] = e.toDocument.apply(numbersIn(e.element)[0], numbersIn(e.element)[1]);
            out.push_back({true, x, y, numbersIn(e.element)[2], numbersIn(e.element)[3], e.fill});
        } else {
            // A glyph: its origin, and its size as its em in the document.
            auto [x, y] = e.toDocument.apply(0, 0);
            out.push_back({false, x, y, e.toDocument.a, e.toDocument.a, e.fill});
        }
    }
    return out;
}

TEST_F(PathsPagesTest, RulesAreInkWhereTheDocumentPutsThem) {
    for (const Converted* c : {&renders->plain, &renders->latex}) {
        SCOPED_TRACE(c->svgPath);
        int rules = 0;
        for (const Drawn& d : drawn(c->svg)) {
            if (!d.rule) continue;
            ++rules;
            // At points along the rule, its ink summed across it: about
            // its thickness in pixels (a 0.4pt rule spreads over two).
            const bool across = d.width > d.height;
            const double thickness = (across ? d.height : d.width) * kCssPerPt * kScale;
            for (double t : {0.1, 0.5, 0.9}) {
                const double x = across ? d.x + t * d.width : d.x + d.width / 2;
                const double y = across ? d.y + d.height / 2 : d.y + t * d.height;
                const int px = static_cast<int>((c->left + x * kCssPerPt) * kScale);
                const int py = static_cast<int>(y * kCssPerPt * kScale);
                double ink = 0;
                for (int k = -3; k <= 3; ++k) {
                    const int sx = across ? px : px + k, sy = across ? py + k : py;
                    if (sx >= 0 && sy >= 0 && sx < renders->shot.width && sy < renders->shot.height)
                        ink += 1.0 - renders->shot.at(sx, sy) / 255.0;
                }
                EXPECT_GT(ink, 0.7 * thickness)
                    << "rule at " << d.x << "," << d.y << " " << d.width << "x" << d.height;
            }
        }
        // The tables: three full rules across and the column rules.
        EXPECT_GE(rules, 6);
    }
}

TEST_F(PathsPagesTest, TheColouredWordsAreInColour) {
    const Converted& c = renders->latex;
    const int w = renders->shotWidth * kScale;
    const auto rgb = [&](int x, int y) { return &renders->shotRgb[(static_cast<size_t>(y) * w + x) * 3]; };
    // The pixels of the glyphs of each fill, and how many are strongly
    // coloured; xcolor's red is rgb 1 0 0, OliveGreen cmyk 0.64 0 0.95 0.40.
    std::map<std::string, int> coloured, inGlyphs;
    std::vector<std::vector<bool>> covered(renders->shot.height, std::vector<bool>(w, false));
    for (const Drawn& d : drawn(c.svg)) {
        if (d.rule) continue;
        const int x0 = static_cast<int>((c.left + d.x * kCssPerPt) * kScale);
        const int x1 = static_cast<int>((c.left + (d.x + 0.7 * d.width) * kCssPerPt) * kScale);
        const int y0 = static_cast<int>((d.y - 0.8 * d.height) * kCssPerPt * kScale);
        const int y1 = static_cast<int>((d.y + 0.3 * d.height) * kCssPerPt * kScale);
        // Where the glyph's antialiased edges may reach.
        if (d.fill != "#000000") {
            const int gx0 = static_cast<int>((c.left + (d.x - 0.2 * d.width) * kCssPerPt) * kScale);
            const int gx1 = static_cast<int>((c.left + (d.x + 1.2 * d.width) * kCssPerPt) * kScale);
            const int gy0 = static_cast<int>((d.y - 1.1 * d.height) * kCssPerPt * kScale);
            const int gy1 = static_cast<int>((d.y + 0.5 * d.height) * kCssPerPt * kScale);
            for (int y = std::max(gy0, 0); y < std::min(gy1, renders->shot.height); ++y)
                for (int x = std::max(gx0, 0); x < std::min(gx1, w); ++x) covered[y][x] = true;
        }
        for (int y = std::max(y0, 0); y < std::min(y1, renders->shot.height); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, w); ++x) {
                const uint8_t* p = rgb(x, y);
                ++inGlyphs[d.fill];
                if (d.fill == "#ff0000" && p[0] > 200 && p[1] < 90 && p[2] < 90) ++coloured[d.fill];
                if (d.fill == "#009900" && p[1] > 120 && p[0] < 90 && p[2] < 90) ++coloured[d.fill];
            }
    }
    EXPECT_GT(inGlyphs["#000000"], 10000);
    EXPECT_GT(coloured["#ff0000"], 200) << "of " << inGlyphs["#ff0000"];
    EXPECT_GT(coloured["#009900"], 200) << "of " << inGlyphs["#009900"];
    // Nowhere else on the page is there colour.
    int elsewhere = 0;
    for (int y = 0; y < renders->shot.height; ++y)
        for (int x = c.left * kScale; x < w; ++x) {
            const uint8_t* p = rgb(x, y);
            const int chroma = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            if (chroma > 60 && !covered[y][x]) ++elsewhere;
        }
    EXPECT_LT(elsewhere, 20);
}

// Whether the words stand in the text in this order, each as a whole word.
std::string missingInOrder(const std::string& text, const std::vector<std::string>& words) {
    std::istringstream in(text);
    std::vector<std::string> have;
    for (std::string w; in >> w;) have.push_back(w);
    size_t at = 0;
    for (const std::string& w : words) {
        auto it = std::find(have.begin() + static_cast<long>(at), have.end(), w);
        if (it == have.end()) return w;
        at = static_cast<size_t>(it - have.begin()) + 1;
    }
    return "";
}

TEST_F(PathsPagesTest, TheInvisibleTextHoldsTheWordsInReadingOrder) {
    const std::string plain = invisibleText(renders->plain.svg);
    const std::string latex = invisibleText(renders->latex.svg);
    EXPECT_EQ(missingInOrder(plain, kPlainWords), "") << plain;
    EXPECT_EQ(missingInOrder(latex, kLatexWords), "") << latex;
    // The ligatures as their letters, so that a plain search finds them.
    EXPECT_NE(renders->latex.svg.find(">office</tspan>"), std::string::npos);
    EXPECT_NE(renders->plain.svg.find(">office</tspan>"), std::string::npos);
}

TEST_F(PathsPagesTest, TheBrowserCopiesAndFindsTheWords) {
    std::istringstream in(renders->browserReport);
    std::vector<std::string> copies;
    std::map<std::string, std::string> found;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("copy ", 0) == 0) copies.push_back(percentDecode(line.substr(5)));
        if (line.rfind("find ", 0) == 0) {
            const size_t space = line.rfind(' ');
            found[percentDecode(line.substr(5, space - 5))] = line.substr(space + 1);
        }
    }
    ASSERT_EQ(copies.size(), 2u) << renders->browserReport;
    EXPECT_EQ(missingInOrder(invisibleText("<text >" + copies[0] + "</text>"), kPlainWords), "") << copies[0];
    EXPECT_EQ(missingInOrder(invisibleText("<text >" + copies[1] + "</text>"), kLatexWords), "") << copies[1];
    for (const std::string& s : kSearches) EXPECT_EQ(found[s], "true") << s;
}

}  // namespace
}  // namespace morvex::testing
