// The picture program's other duties: figures (EPS files placed as dvips's
// special.pro places them), headers and literal headers, colour specials,
// opacity as pgf and PSTricks ask for it, and pdfmark's links,
// destinations and title.
#include <gtest/gtest.h>

#include "pictures/page_fixture.h"

namespace morvex::testing {
namespace {

using pictures::Fill;
using pictures::SpecialKind;

const std::string kBoxEps =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n"
    "newpath 0 0 moveto 100 0 lineto 100 50 lineto 0 50 lineto closepath 0 0 1 setrgbcolor fill\n%%EOF\n";

// The same PostScript behind a DOS EPS binary header.
std::string dosEps(const std::string& ps) {
    std::string head(30, '\0');
    const unsigned char magic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
    for (int i = 0; i < 4; ++i) head[i] = static_cast<char>(magic[i]);
    const auto le32 = [&head](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) head[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    };
    le32(4, 30);
    le32(8, static_cast<uint32_t>(ps.size()));
    return head + ps + std::string(64, '\xee');  // a TIFF preview would follow
}

TEST(PictureProgram, FiguresPlacedAsDvipsPlacesThem) {
    TempDir dir;
    // Names with a space and a letter beyond ASCII: Ghostscript is told of
    // them as they are.
    ASSERT_TRUE(writeFile(dir.file("box \xc3\xa9.eps"), kBoxEps));
    ASSERT_TRUE(writeFile(dir.file("dos.eps"), dosEps(kBoxEps)));
    const std::string plain = dir.file("box \xc3\xa9.eps"), dos = dir.file("dos.eps");
    pictures::JobBuilder b = jobWithPrologues();
    b.beginPage(1);
    const std::vector<pictures::FigureParameter> box = {{"llx", "0"}, {"lly", "0"}, {"urx", "100"}, {"ury", "50"}};
    auto with = [&box](std::vector<pictures::FigureParameter> more) {
        std::vector<pictures::FigureParameter> all = box;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    b.figure(dviUnits(10), dviUnits(100), plain, *pictures::figureSection(plain), with({{"rwi", "566"}}));
    b.figure(dviUnits(200), dviUnits(100), plain, *pictures::figureSection(plain), with({{"angle", "90"}}));
    b.figure(dviUnits(300), dviUnits(100), dos, *pictures::figureSection(dos), with({{"rwi", "283"}, {"clip", ""}}));
    b.special(SpecialKind::Ps, 0, 0, "0 0 1 1 rectfill");
    PictureRun run = runPictures(b.finish());
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 4u);
    // rwi: 56.6 big points wide, the height in proportion, y up from the position.
    expectBox(pathBox(fills[0].path), kInch + 10, kInch + 100 - 28.3 * kBp, kInch + 10 + 56.6 * kBp, kInch + 100);
    EXPECT_EQ(fills[0].color, (pictures::Rgb8{0, 0, 255}));
    // angle: turned counterclockwise about the position.
    expectBox(pathBox(fills[1].path), kInch + 200 - 50 * kBp, kInch + 100 - 100 * kBp, kInch + 200, kInch + 100);
    // The DOS EPS's PostScript part alone, within its bounding box.
    expectBox(pathBox(fills[2].path), kInch + 300, kInch + 100 - 14.15 * kBp, kInch + 300 + 28.3 * kBp, kInch + 100);
    EXPECT_EQ(fills[2].clip, 1u);
    EXPECT_EQ(fills[3].clip, 0u);
    EXPECT_EQ(fills[3].color, (pictures::Rgb8{0, 0, 0}));  // the figure's colour stayed in it
}

TEST(PictureProgram, HeadersAndLiteralHeaders) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("my.pro"), "/hdrsize prevalue 4 add def\n"));
    pictures::JobBuilder b = jobWithPrologues();
    b.headerFile(dir.file("my.pro"), "/prevalue 3 def", "/postvalue hdrsize 1 add def");
    b.literal(" /litsquare { 0 0 moveto 2 0 rlineto 0 2 rlineto closepath fill } def");
    b.beginPage(1);
    b.special(SpecialKind::Ps, 0, 0, "0 0 postvalue dup rectfill");
    b.special(SpecialKind::Quote, 0, 0, "litsquare");
    b.special(SpecialKind::Ps, 0, 0, "litsquare");  // SDict is not on the stack for ps:
    pictures::Job job = b.finish();
    PictureRun run = runPictures(job);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 2u) << run.out;
    expectBox(pathBox(fills[0].path), kInch, kInch, kInch + 8, kInch + 8);
    expectBox(pathBox(fills[1].path), kInch, kInch - 2 * kBp, kInch + 2 * kBp, kInch);
    const pictures::ChunkReport& last = special(run, job, 2);
    ASSERT_EQ(last.errors.size(), 1u);
    EXPECT_EQ(last.errors[0].name, "undefined");
    EXPECT_EQ(last.errors[0].command, "litsquare");
    EXPECT_TRUE(run.report.finished);
}

// A colour special's colour paints what follows it and is the glyphs'.
TEST(PictureProgram, ColourSpecials) {
    pictures::JobBuilder b = jobWithPrologues();
    b.beginPage(1);
    b.color(0, 0, 0, 0.5, 1);
    b.special(SpecialKind::PsRaw, 0, 0, "0 0 1 1 rectfill");
    b.color(0, 0, 0, 0, 0);
    pictures::Job job = b.finish();
    PictureRun run = runPictures(job);
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].color, (pictures::Rgb8{0, 128, 255}));
    EXPECT_EQ(special(run, job, 0).end->color, (pictures::Rgb8{0, 128, 255}));
    EXPECT_EQ(special(run, job, 2).end->color, (pictures::Rgb8{0, 0, 0}));
}

// pgf and PSTricks look for Ghostscript's alpha operators before they use
// them; PSTricks defines stand-ins that do nothing when it finds none. The
// program's own are the ones in force, and follow gsave and grestore.
TEST(PictureProgram, Opacity) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("standins.pro"),
                          "systemdict /.setopacityalpha known not { /.setfillconstantalpha { pop } bind def } if\n"));
    pictures::JobBuilder b = jobWithPrologues();
    b.headerFile(dir.file("standins.pro"));
    b.beginPage(1);
    b.special(SpecialKind::PsRaw, 0, 0,
              "/.setfillconstantalpha where pop 0.5 .setfillconstantalpha 0.25 .setstrokeconstantalpha "
              "0 0 1 1 rectfill newpath 0 0 moveto 1 1 lineto stroke");
    b.special(SpecialKind::PsRaw, 0, 0, "gsave 0.1 .setopacityalpha 0 0 2 2 rectfill grestore 0 0 3 3 rectfill");
    b.special(SpecialKind::PsRaw, 0, 0, "1 1 8 [1 0 0 1 0 0] {<80>} image 1 1 .currentfillconstantalpha dup rectfill");
    pictures::Job job = b.finish();
    PictureRun run = runPictures(job);
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 4u);
    EXPECT_DOUBLE_EQ(fills[0].alpha, 0.5);
    EXPECT_DOUBLE_EQ(paintsOf<pictures::Stroke>(run).at(0).alpha, 0.25);
    EXPECT_DOUBLE_EQ(fills[1].alpha, 0.1);
    EXPECT_DOUBLE_EQ(fills[2].alpha, 0.5);
    EXPECT_DOUBLE_EQ(paintsOf<pictures::Image>(run).at(0).alpha, 0.5);
    // .currentfillconstantalpha gave 0.5: the square's side.
    expectBox(pathBox(fills[3].path), kInch + 1, kInch + 1, kInch + 1.5, kInch + 1.5);
    EXPECT_DOUBLE_EQ(special(run, job, 0).end->alpha, 0.5);
}

// hyperref's marks: a link's rectangle (in the user space in force) as the
// page sees it, its target, a destination at its position, the title.
TEST(PictureProgram, PdfMarks) {
    pictures::Job job = pageJob({
        {SpecialKind::Ps,
         "[/Rect [0 0 100 20] /Subtype /Link /Border [0 0 0] "
         "/Action << /Subtype /URI /URI (http://example.org/a?b=1) >> /ANN pdfmark",
         10, 20},
        {SpecialKind::Ps,
         "gsave currentpoint currentpoint translate 90 neg rotate neg exch neg exch translate "
         "[/Rect [50 50 60 70] /Subtype /Link /Dest (section.1) cvn /ANN pdfmark grestore",
         50, 50},
        {SpecialKind::Ps, "[/View [/XYZ null null null] /Dest (page.2) cvn /DEST pdfmark", 30, 40},
        {SpecialKind::Ps, "[/Title (\\376\\377\\000A) /Author (x) /DOCINFO pdfmark [/Count 1 /OUT pdfmark"},
        {SpecialKind::Ps, "[/Rect [0 0 1 1] /Subtype /Widget /ANN pdfmark [/odd /ANN pdfmark"},
    });
    PictureRun run = runPictures(job);
    expectClean(run);
    const auto& a = special(run, job, 0).links;
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].kind, 'U');
    EXPECT_EQ(a[0].target, "http://example.org/a?b=1");
    EXPECT_NEAR(a[0].x0, kInch, kTol);
    EXPECT_NEAR(a[0].y0, kInch, kTol);
    EXPECT_NEAR(a[0].x1, kInch + 100, kTol);
    EXPECT_NEAR(a[0].y1, kInch + 20, kTol);
    const auto& r = special(run, job, 1).links;
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].kind, 'D');
    EXPECT_EQ(r[0].target, "section.1");
    // Turned a quarter counterclockwise about (50, 50): x from 50 + 0..20, y from 50 - 10..0.
    EXPECT_NEAR(r[0].x0, kInch + 50, kTol);
    EXPECT_NEAR(r[0].x1, kInch + 70, kTol);
    EXPECT_NEAR(r[0].y0, kInch + 40, kTol);
    EXPECT_NEAR(r[0].y1, kInch + 50, kTol);
    const auto& d = special(run, job, 2).destinations;
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].name, "page.2");
    EXPECT_TRUE(d[0].placed);
    EXPECT_NEAR(d[0].x, kInch + 30, kTol);
    EXPECT_NEAR(d[0].y, kInch + 40, kTol);
    EXPECT_EQ(run.report.title, std::string("\xfe\xff\0A", 4));
    EXPECT_TRUE(special(run, job, 4).links.empty());
}

}  // namespace
}  // namespace morvex::testing
