// Calibrates the two renderers and the ink comparison on real pages: plain
// TeX pages rendered by dvipng, and the very pictures shown by Chromium,
// must look alike; the same pages with a rule removed, a letter changed or
// text moved by 2pt must not. The thresholds in support/render.h come from
// the figures measured here.
#include <gtest/gtest.h>

#include <cctype>
#include <iostream>
#include <map>
#include <memory>
#include <span>
#include <sstream>

#include "render/tex_pages.h"
#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

constexpr int kScale = 2;              // Chromium's device pixels per CSS pixel
constexpr int kDpi = 96 * kScale;      // dvipng's resolution for the same pixels
constexpr int kOversample = 4;         // dvipng's reference pictures

// Two pages of plain TeX: a full page of text with accents, and a page of
// mathematics (a fraction, roots) and a table ruled with \hrule and \vrule.
constexpr const char* kPages = R"TEX(\parskip=4pt
Typesetting is the composition of text by means of arranging types.
The quick brown fox jumps over the lazy dog while five boxing wizards
jump quickly; pack my box with five dozen liquor jugs. Sphinx of black
quartz, judge my vow. How vexingly quick daft zebras jump!

Accents: caf\'e, na\"\i ve, fa\c cade, \`a la carte, r\^ole, se\~nor,
\v cesk\'y, G\"odel, Erd\H os, \AA ngstr\"om, stra\ss e, \ae on, \o re.

\count255=0
\loop\ifnum\count255<8 \advance\count255 by 1
Paragraph \number\count255: In olden times when wishing still helped one,
there lived a king whose daughters were all beautiful; and the youngest
was so beautiful that the sun itself, which has seen so much, was
astonished whenever it shone in her face. Close by the king's castle lay
a great dark forest, and under an old lime-tree in the forest was a well.
\endgraf
\repeat
\vfill\eject
A fraction and roots in a display:
$$ x = {-b \pm \sqrt{b^2 - 4ac} \over 2a}, \qquad
   \sum_{k=1}^{n} k^2 = {n(n+1)(2n+1) \over 6}, \qquad
   \root 3 \of {\alpha + \beta} \le \int_0^1 f(t)\,dt. $$
Inline mathematics: $e^{i\pi} + 1 = 0$ and $a_{ij} = \sqrt{x_i^2 + y_j^2}$.

\medskip
\centerline{\vbox{\offinterlineskip
\halign{\vrule\strut\quad#\hfil\quad\vrule&\quad\hfil#\quad\vrule&\quad\hfil#\quad\vrule\cr
\noalign{\hrule}
Item&Count&Price\cr
\noalign{\hrule}
Apples&12&3.40\cr
Pears&7&2.15\cr
Plums&30&5.00\cr
\noalign{\hrule}
}}}
\medskip
The table ends the page.
\bye
)TEX";

// A page source edited: `from` (found exactly once) becomes `to`, or the
// whole source is prefixed with `to` when `from` is empty.
struct Edit {
    const char* name;
    int page;
    const char* from;
    const char* to;
};

std::string edited(const Edit& e) {
    if (e.from[0] == '\0') return std::string(e.to) + kPages;
    return replaceOnce(kPages, e.from, e.to);
}

// Edits that only move ink by less than a pixel or so: the pictures must
// still look alike.
const Edit kTolerated[] = {
    {"the page moved by a fifth of a point", 1, "", "\\hoffset=0.2pt \\voffset=0.2pt "},
};

// Edits a reader would see. The edit keeps everything else in place: the
// removed rule leaves a kern of its height, the moved word gives its 2pt
// back.
const Edit kChanges[] = {
    {"the table's last rule removed", 2, "\\noalign{\\hrule}\n}}}", "\\noalign{\\kern0.4pt}\n}}}"},
    {"one letter changed (brown to brawn)", 1, "quick brown", "quick brawn"},
    {"the page moved right by 2pt", 1, "", "\\hoffset=2pt "},
    {"the page moved down by 2pt", 2, "", "\\voffset=2pt "},
    {"one word moved right by 2pt", 1, "lazy dog while", "lazy \\kern2pt dog\\kern-2pt{} while"},
    {"one word raised by 2pt", 2, "and $a_{ij}", "\\raise2pt\\hbox{and} $a_{ij}"},
};

// A piece of a file name: the letters and digits of a case's name.
std::string slug(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else if (!out.empty() && out.back() != '-') {
            out += '-';
        }
    }
    return out;
}

// Everything rendered once for all cases: dvipng's reference pictures of
// the pages and of every edit, and one Chromium screenshot holding, as
// <img>s at their CSS size, the references and renderings at twice the
// resolution.
struct Renders {
    TempDir dir;
    std::string error;
    int cssWidth = 0, cssHeight = 0;
    std::map<std::string, GrayImage> reference;  // "page 1", "page 2", the edits' names
    GrayImage chromium[2];                        // the page references as Chromium shows them
    GrayImage chromiumFine[2];                    // dvipng at twice the resolution, shrunk by Chromium
};

class CalibrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { renders_ = std::make_unique<Renders>(); render(*renders_); }
    static void TearDownTestSuite() { renders_.reset(); }

    void SetUp() override { ASSERT_TRUE(renders_->error.empty()) << renders_->error; }

    static void render(Renders& r) {
        std::string log;
        std::string base = texPage(r.dir, "pages", kPages, &log);
        if (base.empty()) {
            r.error = "tex failed on the pages:\n" + log;
            return;
        }
        PageBox box = readPageBox(base);
        if (!box.ok()) {
            r.error = box.error;
            return;
        }
        r.cssWidth = box.cssWidth();
        r.cssHeight = box.cssHeight();
        int w = r.cssWidth * kScale, h = r.cssHeight * kScale;
        auto reference = [&](const std::string& dvi, int page, const std::string& name) {
            Rendered d = renderDvipng(dvi, page, kDpi, w, h, kOversample);
            if (!d.ok() && r.error.empty()) r.error = name + ": " + d.error;
            r.reference[name] = d.image;
        };
        std::ostringstream html;
        html << "<!DOCTYPE html>\n<html><head><style>html,body{margin:0;padding:0;background:#fff;"
                "overflow:hidden}img{display:block;position:absolute}</style></head><body>\n";
        for (int page = 1; page <= 2; ++page) {
            std::string name = "page " + std::to_string(page);
            reference(base, page, name);
            std::string png = "page" + std::to_string(page) + ".png";
            std::string fine = "fine" + std::to_string(page) + ".png";
            writePng(r.dir.file(png), r.reference[name]);
            Rendered twice = renderDvipng(base, page, 2 * kDpi, 2 * w, 2 * h);
            if (!twice.ok() && r.error.empty()) r.error = name + " at twice the resolution: " + twice.error;
            writePng(r.dir.file(fine), twice.image);
            int left = (page - 1) * r.cssWidth;
            html << "<img src=\"" << png << "\" style=\"left:" << left << "px;top:0\" width=\"" << r.cssWidth
                 << "\" height=\"" << r.cssHeight << "\">\n"
                 << "<img src=\"" << fine << "\" style=\"left:" << left << "px;top:" << r.cssHeight
                 << "px\" width=\"" << r.cssWidth << "\" height=\"" << r.cssHeight << "\">\n";
        }
        html << "</body></html>\n";
        for (std::span<const Edit> list : {std::span<const Edit>(kTolerated), std::span<const Edit>(kChanges)}) {
            for (const Edit& e : list) {
                std::string source = edited(e);
                if (source.empty()) {
                    r.error = std::string(e.name) + ": the text to edit is not in the pages";
                    return;
                }
                std::string dvi = texPage(r.dir, "edit", source, &log);
                if (dvi.empty()) {
                    r.error = std::string(e.name) + ": tex failed:\n" + log;
                    return;
                }
                reference(dvi, e.page, e.name);
            }
        }
        if (!r.error.empty()) return;
        std::string page = r.dir.file("pages.html");
        if (!writeFile(page, html.str())) {
            r.error = "cannot write " + page;
            return;
        }
        Rendered shot = renderChromium(page, 2 * r.cssWidth, 2 * r.cssHeight, kScale);
        if (!shot.ok()) {
            r.error = shot.error;
            return;
        }
        for (int i = 0; i < 2; ++i) {
            r.chromium[i] = crop(shot.image, i * w, 0, w, h);
            r.chromiumFine[i] = crop(shot.image, i * w, h, w, h);
        }
    }

    // The report of two pictures; when they are not as expected, a picture
    // of both and their overlay is left in the working directory.
    static InkReport compare(const GrayImage& reference, const GrayImage& shown, const std::string& name,
                             bool expectAlike) {
        InkReport report = compareInk(reference, shown, InkCompareOptions::forDpi(kDpi));
        if (looksAlike(report) != expectAlike) {
            std::string file = "calibration-" + slug(name) + ".png";
            writeComparison(file, reference, shown, report);
            ADD_FAILURE() << name << ": " << report.describe(kDpi) << "\n  picture: " << file;
        }
        std::cout << "  " << name << ": " << report.describe(kDpi) << "\n";
        return report;
    }

    static std::unique_ptr<Renders> renders_;
};

std::unique_ptr<Renders> CalibrationTest::renders_;

// Measured (192 dpi): global 1.0000, worst tile 1.0000, peak 0.000 on both
// pages.
TEST_F(CalibrationTest, ChromiumShowsDvipngsPictureOfEachPageUnchanged) {
    for (int i = 0; i < 2; ++i) {
        std::string name = "page " + std::to_string(i + 1);
        InkReport r = compare(renders_->reference[name], renders_->chromium[i], name + " in Chromium", true);
        // The same pixels: any difference in the box, the origin or the
        // scale would show here long before the thresholds.
        EXPECT_GE(r.global, 0.999) << name;
        EXPECT_GE(r.worstTile, 0.99) << name;
        EXPECT_LE(r.peakDifference, 0.02) << name;
    }
}

TEST_F(CalibrationTest, RenderingsThatDifferOnlyInRasterizingLookAlike) {
    for (int i = 0; i < 2; ++i) {
        std::string name = "page " + std::to_string(i + 1);
        compare(renders_->reference[name], renders_->chromiumFine[i],
                name + " rendered at twice the resolution and shrunk by Chromium", true);
    }
    for (const Edit& e : kTolerated) {
        compare(renders_->reference[e.name], renders_->chromium[e.page - 1], e.name, true);
    }
}

TEST_F(CalibrationTest, ChangedPagesDoNotLookAlike) {
    for (const Edit& e : kChanges) {
        compare(renders_->reference[e.name], renders_->chromium[e.page - 1], e.name, false);
    }
}

}  // namespace
}  // namespace morvex::testing
