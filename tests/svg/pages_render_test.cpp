// Page lists and page boxes of the --paths document on real pages, made by
// plain tex and LaTeX at test time and converted by the built binary:
// every page of a --pages run drawn by Chromium as the same page converted
// alone and as dvipng draws it, stacked or each in its own document; the
// ink box against the ink of a 1200 dpi rendering; the paper of geometry;
// the preview package's boxes, their numbers and their baseline in a line
// of HTML text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

const std::string kBinary = MORVEX_BINARY;
const std::string kConfigDir = MORVEX_TEST_CONFIG_DIR;

constexpr int kScale = 2;          // Chromium's device pixels per CSS pixel
constexpr int kDpi = 96 * kScale;  // dvipng's resolution for the same pixels
constexpr int kOversample = 4;
constexpr double kCssPerPt = 96.0 / 72.27;
constexpr int kInkDpi = 1200;  // the resolution the ink box is measured at
constexpr double kInkTolerancePt = 0.1;

// Three small plain TeX pages of different matter: text, mathematics, a
// ruled table, numbered 1, 2 and 3.
constexpr const char* kPlain = R"TEX(\hsize=3in \vsize=2in \parskip=3pt \nopagenumbers
Of flowers and fields: the quick brown fox jumps over the lazy dog, and the
office staff found five fine flowers. Sphinxes of black quartz judge my vow.
\vfill\eject
Mathematics: $$ x = {-b \pm \sqrt{b^2 - 4ac} \over 2a}, \qquad
   \int_0^1 f(t)\,dt \le \sum_{k=1}^n k^2. $$
\vfill\eject
\centerline{\vbox{\offinterlineskip
\halign{\vrule\strut\quad#\hfil\quad\vrule&\quad\hfil#\quad\vrule\cr
\noalign{\hrule}
Fruit&Count\cr
\noalign{\hrule}
Apples&12\cr
Pears&7\cr
\noalign{\hrule}
}}}
\bye
)TEX";

// LaTeX on a small paper of geometry's: text, a formula and rules on two
// pages.
constexpr const char* kLatex = R"TEX(\documentclass{article}
\usepackage[paperwidth=4in,paperheight=3in,margin=0.5in]{geometry}
\pagestyle{empty}
\begin{document}
Of flowers and fields: the quick brown fox jumps over the lazy dog, and a
few more words to fill the lines of this small page.
\[ \int_0^1 f(t)\,dt = \sum_{k=1}^{n} \frac{a_k}{k!} \]
\begin{center}\rule{2cm}{1pt}\end{center}
Yet another line, ending in type.
\newpage
(Second page) with \textbf{bold} words and $e^{i\pi}+1=0$.

\rule{1cm}{4pt}
\end{document}
)TEX";

// Two snippets of the preview package; each begins with an H standing on
// its baseline.
constexpr const char* kPreview = R"TEX(\documentclass{article}
\usepackage[active,tightpage]{preview}
\begin{document}
\begin{preview}H$x^2+\frac{a}{b}$\end{preview}
\begin{preview}H$\displaystyle\int_0^1 g(t)\,dt$\end{preview}
\end{document}
)TEX";

struct Box {
    double x = 0, y = 0, width = 0, height = 0;
};

// A document and where it stands in the shared screenshot.
struct Shown {
    std::string path, svg;
    Box viewBox;
    int left = 0, top = 0;  // CSS pixels
};

struct Renders {
    TempDir dir;
    std::string error;
    std::string plainDvi, latexDvi, previewDvi;
    PageBox plainBox, latexBox;
    std::vector<Shown> plainPages, plainAlone, latexPages, latexAlone;
    Shown plainStack, latexPaper, latexMin[2];
    std::string previewOut;          // morvex's standard output for the snippets
    std::vector<std::string> previewSvg;
    GrayImage shot;
    int shotWidth = 0, shotHeight = 0;
    std::string browserReport;
};

std::string runTex(Renders& r, const std::string& program, const std::string& name, const std::string& source) {
    if (!writeFile(r.dir.file(name + ".tex"), source)) {
        r.error = "cannot write " + name + ".tex";
        return "";
    }
    ProcessResult p = runProcess({program, "-interaction=nonstopmode", "-halt-on-error", name + ".tex"}, r.dir.path);
    if (p.exitCode != 0) {
        r.error = program + " failed on " + name + ":\n" + p.out.substr(p.out.size() > 3000 ? p.out.size() - 3000 : 0);
        return "";
    }
    return r.dir.file(name + ".dvi");
}

ProcessResult morvex(Renders& r, const std::vector<std::string>& args, const std::string& dvi) {
    std::vector<std::string> all = {kBinary, "--paths", "-c", kConfigDir, "-O", "/dev/null"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(dvi);
    ProcessResult p = runProcess(all, r.dir.path);
    if (p.exitCode != 0 && r.error.empty())
        r.error = "morvex failed with " + std::to_string(p.exitCode) + " on " + dvi + ":\n" + p.out;
    return p;
}

Box viewBoxOf(const std::string& svg) {
    std::smatch m;
    static const std::regex kViewBox(R"re(viewBox="([-0-9.]+) ([-0-9.]+) ([-0-9.]+) ([-0-9.]+)")re");
    if (!std::regex_search(svg, m, kViewBox)) return {};
    return {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
}

Shown document(Renders& r, const std::string& name) {
    Shown s;
    s.path = r.dir.file(name);
    s.svg = readFile(s.path);
    s.viewBox = viewBoxOf(s.svg);
    if (s.svg.empty() && r.error.empty()) r.error = "no document " + name;
    return s;
}

void convertAll(Renders& r) {
    morvex(r, {"--pages=all", "-o", "plain-%p.svg"}, r.plainDvi);
    morvex(r, {"--pages=1-", "-o", "plain-stack.svg"}, r.plainDvi);
    morvex(r, {"--pages=all", "-o", "latex-%p.svg"}, r.latexDvi);
    morvex(r, {"--pages=all", "--bbox=min", "-o", "min-%p.svg"}, r.latexDvi);
    morvex(r, {"--pages=1", "--bbox=paper", "-o", "paper.svg"}, r.latexDvi);
    r.previewOut = morvex(r, {"--pages=all", "-o", "snippet-%p.svg"}, r.previewDvi).out;
    for (int p = 1; p <= 3; ++p) {
        morvex(r, {"--pages=" + std::to_string(p), "-o", "plain-alone-" + std::to_string(p) + ".svg"}, r.plainDvi);
        r.plainPages.push_back(document(r, "plain-" + std::to_string(p) + ".svg"));
        r.plainAlone.push_back(document(r, "plain-alone-" + std::to_string(p) + ".svg"));
    }
    for (int p = 1; p <= 2; ++p) {
        // Alone by its number, as -p has always chosen pages.
        morvex(r, {"-p", std::to_string(p), "-o", "latex-alone-" + std::to_string(p) + ".svg"}, r.latexDvi);
        r.latexPages.push_back(document(r, "latex-" + std::to_string(p) + ".svg"));
        r.latexAlone.push_back(document(r, "latex-alone-" + std::to_string(p) + ".svg"));
        r.latexMin[p - 1] = document(r, "min-" + std::to_string(p) + ".svg");
        r.previewSvg.push_back(readFile(r.dir.file("snippet-" + std::to_string(p) + ".svg")));
    }
    r.plainStack = document(r, "plain-stack.svg");
    r.latexPaper = document(r, "paper.svg");
}

int cssOf(double pt) { return static_cast<int>(std::ceil(pt * kCssPerPt - 1e-9)); }

std::string rootElement(const std::string& svg) {
    size_t at = svg.find("<svg ");
    return at == std::string::npos ? "" : svg.substr(at);
}

// All documents in one page, each in a box of its own; below them a line
// of HTML text with the two snippets inline. The page's script reports
// where each snippet stands.
void layOut(Renders& r) {
    std::vector<std::vector<Shown*>> rows = {{}, {}, {}};
    for (Shown& s : r.plainPages) rows[0].push_back(&s);
    rows[0].push_back(&r.plainStack);
    for (Shown& s : r.plainAlone) rows[1].push_back(&s);
    for (Shown& s : r.latexPages) rows[2].push_back(&s);
    for (Shown& s : r.latexAlone) rows[2].push_back(&s);
    rows[2].push_back(&r.latexPaper);
    std::ostringstream html;
    int top = 0;
    for (auto& row : rows) {
        int left = 0, height = 0;
        for (Shown* s : row) {
            s->left = left;
            s->top = top;
            left += cssOf(s->viewBox.width) + 8;
            height = std::max(height, cssOf(s->viewBox.height));
            html << "<div style=\"left:" << s->left << "px;top:" << s->top << "px\">" << rootElement(s->svg)
                 << "</div>";
        }
        r.shotWidth = std::max(r.shotWidth, left);
        top += height + 8;
    }
    html << "<p id=\"line\" style=\"position:absolute;left:0;top:" << top
         << "px;margin:0;font:40px 'DejaVu Serif';line-height:80px;white-space:nowrap\">H";
    for (const std::string& svg : r.previewSvg) html << rootElement(svg) << "H";
    html << "</p>";
    r.shotHeight = top + 100;
    r.shotWidth = std::max(r.shotWidth, 400);
    std::ofstream page(r.dir.file("pages.xhtml"), std::ios::binary);
    page << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
            "script-src 'unsafe-inline'\"/><style>html,body{margin:0;padding:0;background:#fff;overflow:hidden}"
            "div{position:absolute}div svg{display:block}</style></head><body>"
         << html.str()
         << "<pre id=\"report\" style=\"display:none\">none</pre><script>//<![CDATA[\n"
            "var out = [];\n"
            "for (const svg of document.getElementById('line').querySelectorAll('svg')) {\n"
            "  const b = svg.getBoundingClientRect();\n"
            "  out.push(b.left + ' ' + b.top + ' ' + b.width + ' ' + b.height);\n}\n"
            "document.getElementById('report').textContent = out.join('\\n');\n//]]></script></body></html>\n";
}

void render(Renders& r) {
    r.plainDvi = runTex(r, "tex", "plain", kPlain);
    r.latexDvi = runTex(r, "latex", "latex", kLatex);
    r.previewDvi = runTex(r, "latex", "preview", kPreview);
    if (!r.error.empty()) return;
    r.plainBox = readPageBox(r.plainDvi);
    r.latexBox = readPageBox(r.latexDvi);
    convertAll(r);
    if (!r.error.empty()) return;
    layOut(r);
    std::string dom;
    Rendered shot = renderChromium(r.dir.file("pages.xhtml"), r.shotWidth, r.shotHeight, kScale, nullptr, &dom);
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

class PagesRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        renders = std::make_unique<Renders>();
        render(*renders);
    }
    static void TearDownTestSuite() { renders.reset(); }
    void SetUp() override { ASSERT_EQ(renders->error, ""); }

    // Chromium's picture of a box of a shown document: widthPt x heightPt
    // from the document's top left corner, down by offsetPt.
    static GrayImage shown(const Shown& s, double widthPt, double heightPt, double offsetPt = 0) {
        return crop(renders->shot, s.left * kScale, static_cast<int>(std::lround((s.top + offsetPt * kCssPerPt) * kScale)),
                    static_cast<int>(std::ceil(widthPt * kCssPerPt * kScale)),
                    static_cast<int>(std::ceil(heightPt * kCssPerPt * kScale)));
    }

    static GrayImage reference(const std::string& dvi, int page, double widthPt, double heightPt) {
        const int w = static_cast<int>(std::ceil(widthPt * kCssPerPt * kScale));
        const int h = static_cast<int>(std::ceil(heightPt * kCssPerPt * kScale));
        Rendered d = renderDvipng(dvi, page, kDpi, w, h, kOversample);
        EXPECT_TRUE(d.ok()) << d.error;
        return d.image;
    }

    static void expectAlike(const GrayImage& a, const GrayImage& b, const std::string& name) {
        InkReport report = compareInk(a, b, InkCompareOptions::forDpi(kDpi));
        std::cout << "  " << name << ": " << report.describe(kDpi) << "\n";
        if (!looksAlike(report)) {
            std::string file = "pages-" + name + ".png";
            writeComparison(file, a, b, report);
            ADD_FAILURE() << name << ": " << report.describe(kDpi) << "\n  picture: " << file;
        }
    }

    static std::unique_ptr<Renders> renders;
};

std::unique_ptr<Renders> PagesRenderTest::renders;

TEST_F(PagesRenderTest, EachPageOfAListIsDrawnAsThePageAloneAndAsDvipngDrawsIt) {
    Renders& r = *renders;
    const double w = r.plainBox.widthPt, h = r.plainBox.heightPt;
    for (int p = 0; p < 3; ++p) {
        const std::string name = "plain-" + std::to_string(p + 1);
        EXPECT_EQ(r.plainPages[p].svg, r.plainAlone[p].svg) << name;
        const GrayImage page = shown(r.plainPages[p], w, h);
        expectAlike(shown(r.plainAlone[p], w, h), page, name + "-alone");
        const GrayImage ref = reference(r.plainDvi, p + 1, w, h);
        expectAlike(ref, page, name + "-dvipng");
        expectAlike(ref, shown(r.plainStack, w, h, p * h), name + "-stacked");
    }
    for (int p = 0; p < 2; ++p) {
        const std::string name = "latex-" + std::to_string(p + 1);
        EXPECT_EQ(r.latexPages[p].svg, r.latexAlone[p].svg) << name;
        const GrayImage page = shown(r.latexPages[p], r.latexBox.widthPt, r.latexBox.heightPt);
        expectAlike(shown(r.latexAlone[p], r.latexBox.widthPt, r.latexBox.heightPt), page, name + "-alone");
        expectAlike(reference(r.latexDvi, p + 1, r.latexBox.widthPt, r.latexBox.heightPt), page, name + "-dvipng");
    }
    // Each document holds the glyphs of its own page only.
    for (const Shown& s : r.plainPages) {
        std::set<std::string> defined, used;
        static const std::regex kDef(R"re(<(?:path|g) id="([^"]*)")re"), kUse(R"re(xlink:href="#([^"]*)")re");
        for (std::sregex_iterator it(s.svg.begin(), s.svg.end(), kDef), end; it != end; ++it) defined.insert((*it)[1]);
        for (std::sregex_iterator it(s.svg.begin(), s.svg.end(), kUse), end; it != end; ++it) used.insert((*it)[1]);
        EXPECT_EQ(defined, used) << s.path;
    }
}

// The ink of a page in a 1200 dpi rendering: the box of every pixel that
// holds any, in TeX points from the paper's corner.
Box inkOf(const GrayImage& image) {
    int x0 = image.width, y0 = image.height, x1 = -1, y1 = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.at(x, y) < 255) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    const double pt = 72.27 / kInkDpi;
    return {x0 * pt, y0 * pt, (x1 + 1 - x0) * pt, (y1 + 1 - y0) * pt};
}

TEST_F(PagesRenderTest, TheInkBoxIsTheInkOfA1200DpiRendering) {
    Renders& r = *renders;
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        // The paper holds every page's ink.
        Rendered d = renderDvipng(r.latexDvi, p + 1, kInkDpi, 4 * kInkDpi, 3 * kInkDpi);
        ASSERT_TRUE(d.ok()) << d.error;
        const Box ink = inkOf(d.image);
        const Box box = r.latexMin[p].viewBox;
        std::cout << "  page " << p + 1 << ": box " << box.x << " " << box.y << " " << box.width << " " << box.height
                  << ", ink " << ink.x << " " << ink.y << " " << ink.width << " " << ink.height << "\n";
        EXPECT_NEAR(box.x, ink.x, kInkTolerancePt);
        EXPECT_NEAR(box.y, ink.y, kInkTolerancePt);
        EXPECT_NEAR(box.x + box.width, ink.x + ink.width, kInkTolerancePt);
        EXPECT_NEAR(box.y + box.height, ink.y + ink.height, kInkTolerancePt);
    }
}

TEST_F(PagesRenderTest, ThePaperBoxIsGeometrysPaper) {
    Renders& r = *renders;
    // geometry asks for 4in by 3in: dvips's papersize=289.07999pt,216.81pt.
    const Box box = r.latexPaper.viewBox;
    EXPECT_EQ(box.x, 0);
    EXPECT_EQ(box.y, 0);
    EXPECT_NEAR(box.width, 4 * 72.27, 1e-4);
    EXPECT_NEAR(box.height, 3 * 72.27, 1e-4);
    expectAlike(reference(r.latexDvi, 1, box.width, box.height), shown(r.latexPaper, box.width, box.height), "paper");
}

// The preview specials as dvitype lists them, in scaled points.
std::vector<std::vector<long>> previewSpecials(const std::string& dvi) {
    ProcessResult p = runProcess({"dvitype", dvi}, "/");
    std::vector<std::vector<long>> found;
    static const std::regex kSpecial(R"re(xxx 'ps::(-?\d+) (-?\d+) (-?\d+) (-?\d+) (-?\d+) (-?\d+) (-?\d+)')re");
    for (std::sregex_iterator it(p.out.begin(), p.out.end(), kSpecial), end; it != end; ++it) {
        std::vector<long> n;
        for (int i = 1; i <= 7; ++i) n.push_back(std::stol((*it)[i]));
        found.push_back(n);
    }
    return found;
}

TEST_F(PagesRenderTest, ThePreviewBoxesAreThePackagesAndSitOnTheBaseline) {
    Renders& r = *renders;
    const std::vector<std::vector<long>> specials = previewSpecials(r.previewDvi);
    ASSERT_EQ(specials.size(), 2u);
    std::istringstream report(r.browserReport);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("snippet " + std::to_string(i + 1));
        const std::vector<long>& n = specials[i];
        // width = w - left + right, height = h + top, depth = d - bottom.
        const double width = (n[6] - n[0] + n[2]) / 65536.0, height = (n[4] + n[3]) / 65536.0,
                     depth = (n[5] - n[1]) / 65536.0;
        char line[128];
        std::snprintf(line, sizeof line, "width=%.6fpt, height=%.6fpt, depth=%.6fpt\n", width, height, depth);
        EXPECT_NE(r.previewOut.find(line), std::string::npos) << line << r.previewOut;
        const Box box = viewBoxOf(r.previewSvg[i]);
        EXPECT_NEAR(box.y, -height, 1e-5);
        EXPECT_NEAR(box.height, height + depth, 1e-5);
        EXPECT_NEAR(box.width, width, 1e-5);
        std::smatch style;
        ASSERT_TRUE(std::regex_search(r.previewSvg[i], style, std::regex(R"re( style="vertical-align:-([0-9.]+)pt")re")));
        EXPECT_NEAR(std::stod(style[1]), depth * 72 / 72.27, 1e-6);

        // In the line of HTML text the snippet's H stands on the baseline of
        // the text's H: their ink ends on the same pixel row.
        double left = 0, top = 0, w = 0, h = 0;
        ASSERT_TRUE(report >> left >> top >> w >> h) << r.browserReport;
        const auto bottomOfInk = [&](double fromCss, double toCss) {
            int bottom = -1;
            for (int x = static_cast<int>(fromCss * kScale); x < static_cast<int>(toCss * kScale); ++x)
                for (int y = 0; y < r.shot.height; ++y)
                    if (x >= 0 && x < r.shot.width && r.shot.at(x, y) < 128) bottom = std::max(bottom, y);
            return bottom;
        };
        // The text's H just before the snippet, the snippet's own H in its
        // first 6pt.
        const int text = bottomOfInk(left - 20, left - 4);
        const int snippet = bottomOfInk(left + 1, left + 6 * kCssPerPt);
        EXPECT_GT(text, 0);
        EXPECT_NEAR(snippet, text, 1.0) << "the text's H ends at row " << text << ", the snippet's at " << snippet;
    }
}

}  // namespace
}  // namespace morvex::testing
