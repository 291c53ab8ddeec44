// The picture program's painting operators, each on a small page of
// specials run through the real Ghostscript: fills, strokes, clips and
// their nesting, the rectangle and user path operators, the show family,
// and the transformation left for the page's glyphs.
#include <gtest/gtest.h>

#include "pictures/page_fixture.h"

namespace morvex::testing {
namespace {

using pictures::Fill;
using pictures::SpecialKind;
using pictures::Stroke;

TEST(PictureProgram, FillsInPageCoordinates) {
    PictureRun run = runPage({
        {SpecialKind::Ps, "newpath 0 0 moveto 100 0 rlineto 0 50 rlineto closepath 1 0 0 setrgbcolor fill", 10, 20},
        {SpecialKind::Ps, "currentpoint newpath moveto 10 0 rlineto 0 10 rlineto closepath 0.5 setgray eofill", 10, 20},
        {SpecialKind::PsRaw, "newpath 0 0 moveto 1 0 lineto 0 1 lineto closepath Red fill"},
        {SpecialKind::Quote, "newpath 0 0 moveto 72 0 lineto 0 72 rlineto closepath fill", 10, 20},
    });
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 4u);
    // dvips's device space: a point a unit, y down, from the DVI origin.
    expectBox(pathBox(fills[0].path), kInch, kInch, kInch + 100, kInch + 50);
    EXPECT_EQ(fills[0].color, (pictures::Rgb8{255, 0, 0}));
    EXPECT_FALSE(fills[0].evenOdd);
    EXPECT_DOUBLE_EQ(fills[0].alpha, 1);
    // At the special's position, where ps: puts the current point.
    expectBox(pathBox(fills[1].path), kInch + 10, kInch + 20, kInch + 20, kInch + 30);
    EXPECT_TRUE(fills[1].evenOdd);
    EXPECT_EQ(fills[1].color, (pictures::Rgb8{128, 128, 128}));
    // A named colour of color.pro, CMYK.
    EXPECT_EQ(fills[2].color, (pictures::Rgb8{255, 0, 0}));
    // A " special: big points, y up, from its position; black whatever came before.
    expectBox(pathBox(fills[3].path), kInch + 10, kInch + 20 - 72 * kBp, kInch + 10 + 72 * kBp, kInch + 20);
    EXPECT_EQ(fills[3].color, (pictures::Rgb8{0, 0, 0}));
}

// A stroke comes with its user space: the matrix taken to the path and the
// width gives the page's stroke, whatever the transformation.
TEST(PictureProgram, StrokesUnderTransformations) {
    PictureRun run = runPage({
        {SpecialKind::Ps,
         "gsave currentpoint translate 2 1 scale 30 rotate 0 0 moveto 10 0 lineto 4 setlinewidth 1 setlinecap "
         "2 setlinejoin 3 setmiterlimit [3 1] 0.5 setdash 0 0 1 setrgbcolor stroke grestore",
         50, 60},
        {SpecialKind::Ps, "0 setlinewidth 0 0 moveto 5 5 lineto stroke", 0, 0},
        {SpecialKind::Ps, "gsave 0 0 scale 0 0 moveto 5 5 lineto stroke grestore", 0, 0},
    });
    expectClean(run);
    std::vector<Stroke> strokes = paintsOf<Stroke>(run);
    ASSERT_EQ(strokes.size(), 2u);  // nothing of a stroke under a singular transformation
    const Stroke& s = strokes[0];
    const pictures::Affine& m = s.matrix;
    EXPECT_NEAR(std::fabs(m.a * m.d - m.b * m.c), 1, 1e-5);
    // (10, 0) rotated, then scaled by (2, 1), from the special's position.
    ASSERT_EQ(s.path.coords.size(), 4u);
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    const auto at = [&m](double x, double y) { return std::pair{m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f}; };
    auto [x0, y0] = at(s.path.coords[0], s.path.coords[1]);
    auto [x1, y1] = at(s.path.coords[2], s.path.coords[3]);
    EXPECT_NEAR(x0, kInch + 50, kTol);
    EXPECT_NEAR(y0, kInch + 60, kTol);
    EXPECT_NEAR(x1, kInch + 50 + 20 * c30, kTol);
    EXPECT_NEAR(y1, kInch + 60 + 10 * s30, kTol);
    // Lengths in the user space scaled by the transformation's square root of determinant.
    EXPECT_NEAR(s.width, 4 * std::sqrt(2.0), 0.002);
    EXPECT_EQ(s.dashes.size(), 2u);
    EXPECT_NEAR(s.dashes[0], 3 * std::sqrt(2.0), 0.002);
    EXPECT_NEAR(s.dashOffset, 0.5 * std::sqrt(2.0), 0.002);
    EXPECT_EQ(s.cap, 1);
    EXPECT_EQ(s.join, 2);
    EXPECT_DOUBLE_EQ(s.miterLimit, 3);
    EXPECT_EQ(s.color, (pictures::Rgb8{0, 0, 255}));
    EXPECT_DOUBLE_EQ(strokes[1].width, 0);
}

// Each paint names the clip in force, through gsave, grestore, save,
// restore, dvips's own save around a " special, and initclip.
TEST(PictureProgram, ClipsFollowTheGraphicsState) {
    pictures::Job job = pageJob({
        {SpecialKind::Ps, "gsave 0 0 100 100 rectclip"},
        {SpecialKind::Ps, "10 10 20 20 rectfill"},
        {SpecialKind::Ps, "gsave newpath 0 0 moveto 50 0 lineto 0 50 lineto closepath clip newpath 1 1 5 5 rectfill grestore"},
        {SpecialKind::Ps, "save 0 0 1 1 rectfill restore"},
        {SpecialKind::Ps, "grestore 0 0 1 1 rectfill"},
        {SpecialKind::Quote, "0 0 moveto 10 0 rlineto 0 10 rlineto closepath eoclip newpath 0 0 5 5 rectfill"},
        {SpecialKind::Ps, "0 0 2 2 rectfill gsave 0 0 3 3 rectclip initclip 0 0 4 4 rectfill grestore"},
    });
    PictureRun run = runPictures(job);
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    std::vector<uint32_t> clips;
    for (const Fill& f : fills) clips.push_back(f.clip);
    EXPECT_EQ(clips, (std::vector<uint32_t>{1, 2, 1, 0, 3, 0, 0}));
    ASSERT_EQ(run.report.clips.size(), 4u);
    EXPECT_EQ(run.report.clips[1].parent, 0u);
    expectBox(pathBox(run.report.clips[1].path), kInch, kInch, kInch + 100, kInch + 100);
    EXPECT_EQ(run.report.clips[2].parent, 1u);
    EXPECT_FALSE(run.report.clips[2].evenOdd);
    EXPECT_TRUE(run.report.clips[3].evenOdd);
    // The glyphs set after a special lie in the clip it leaves.
    EXPECT_EQ(special(run, job, 0).end->clip, 1u);
    EXPECT_EQ(special(run, job, 4).end->clip, 0u);
}

TEST(PictureProgram, RectanglesAndUserPaths) {
    PictureRun run = runPage({
        {SpecialKind::Ps, "[0 0 10 10 20 0 5 5] rectfill"},
        {SpecialKind::Ps, "3 setlinewidth 10 10 20 20 [2 0 0 2 0 0] rectstroke"},
        {SpecialKind::Ps, "gsave [0 0 50 50] rectclip 1 1 1 1 rectfill grestore"},
        {SpecialKind::Ps, "{0 0 10 10 setbbox 0 0 moveto 10 0 lineto 0 10 lineto closepath} ueofill"},
        {SpecialKind::Ps, "newpath 5 5 moveto 6 6 lineto"},  // a path left for the next special
        {SpecialKind::PsRaw, "stroke"},
    });
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 3u);
    expectBox(pathBox(fills[0].path), kInch, kInch, kInch + 25, kInch + 10);
    EXPECT_EQ(fills[0].path.ops.size(), 10u);  // two closed rectangles
    EXPECT_EQ(fills[1].clip, 1u);
    EXPECT_TRUE(fills[2].evenOdd);
    std::vector<Stroke> strokes = paintsOf<Stroke>(run);
    ASSERT_EQ(strokes.size(), 2u);
    // The path is made before the matrix applies; the width after it.
    expectBox(pathBox(strokes[0].path, strokes[0].matrix), kInch + 10, kInch + 10, kInch + 30, kInch + 30);
    EXPECT_NEAR(strokes[0].width * std::sqrt(std::fabs(strokes[0].matrix.a * strokes[0].matrix.d)), 6, 0.01);
    expectBox(pathBox(strokes[1].path, strokes[1].matrix), kInch + 5, kInch + 5, kInch + 6, kInch + 6);
}

// Text in PostScript fonts: the glyphs' outlines, filled, where show and
// its variants put them; a Type 3 glyph as what its procedure paints.
TEST(PictureProgram, TextAsOutlines) {
    const std::string times = "/Times-Roman findfont 20 scalefont setfont 0 0 moveto ";
    PictureRun run = runPage({
        {SpecialKind::Quote, times + "(H) show (H) show"},
        {SpecialKind::Quote, times + "5 0 (HH) ashow"},
        {SpecialKind::Quote, times + "{ pop pop 7 0 rmoveto } (HH) kshow"},
        {SpecialKind::Quote, times + "(HH) [30 0 0 0] xyshow"},
        {SpecialKind::Quote, times + "/H glyphshow"},
        {SpecialKind::Quote,
         "/T3 8 dict dup begin /FontType 3 def /FontMatrix [0.001 0 0 0.001 0 0] def /FontBBox [0 0 1000 1000] def "
         "/Encoding 256 array dup 0 1 255 { /.notdef put dup } for pop dup 97 /a put def "
         "/BuildChar { pop 600 0 0 0 500 500 setcachedevice 0 0 500 500 rectfill } def end definefont pop "
         "/T3 findfont 10 scalefont setfont 0 0 moveto (aa) show (a) stringwidth pop pop "
         "0 0 moveto (a) true charpath newpath"},
    });
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 2u + 1 + 2 + 2 + 1 + 2);
    // Times-Roman's H: 19 0 702 662 in thousandths of the size, advancing 722.
    const double base = kInch, size = 20 * kBp;
    expectBox(pathBox(fills[0].path), base + 0.019 * size, base - 0.662 * size, base + 0.702 * size, base, 0.1);
    const auto left = [&fills](size_t i) { return pathBox(fills[i].path).x0; };
    EXPECT_NEAR(left(1) - left(0), 0.722 * size, 0.1);
    // ashow: one fill for the string, its second H 5 points further.
    const Box pair = pathBox(fills[2].path);
    EXPECT_NEAR(pair.x1 - pair.x0, (0.722 + 0.702 - 0.019) * size + 5 * kBp, 0.1);
    EXPECT_NEAR(left(4) - left(3), 0.722 * size + 7 * kBp, 0.1);
    EXPECT_NEAR(left(6) - left(5), 30 * kBp, 0.1);
    EXPECT_NEAR(left(7), base + 0.019 * size, 0.1);
    // The Type 3 squares, 6 points apart; neither stringwidth nor charpath paints.
    expectBox(pathBox(fills[8].path), base, base - 5 * kBp, base + 5 * kBp, base);
    EXPECT_NEAR(left(9) - left(8), 6 * kBp, kTol);
}

// After each special, the transformation under which the page's glyphs are
// drawn: graphicx's \rotatebox and \scalebox about the current point.
TEST(PictureProgram, TransformationLeftForTheGlyphs) {
    pictures::Job job = pageJob({
        {SpecialKind::Ps, "gsave currentpoint currentpoint translate 30 neg rotate neg exch neg exch translate", 50, 60},
        {SpecialKind::Ps, "currentpoint grestore moveto", 80, 60},
        {SpecialKind::Ps, "currentpoint currentpoint translate 2 1 scale neg exch neg exch translate", 10, 20},
        {SpecialKind::Ps, "currentpoint currentpoint translate 1 2 div 1 1 div scale neg exch neg exch translate", 10, 20},
    });
    PictureRun run = runPictures(job);
    expectClean(run);
    const pictures::Affine r = special(run, job, 0).end->transform;
    const auto at = [](const pictures::Affine& m, double x, double y) {
        return std::pair{m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f};
    };
    // The pivot stays; a point right of it turns counterclockwise on the page.
    auto [px, py] = at(r, kInch + 50, kInch + 60);
    EXPECT_NEAR(px, kInch + 50, 0.001);
    EXPECT_NEAR(py, kInch + 60, 0.001);
    auto [qx, qy] = at(r, kInch + 60, kInch + 60);
    EXPECT_NEAR(qx, kInch + 50 + 10 * std::cos(M_PI / 6), 0.001);
    EXPECT_NEAR(qy, kInch + 60 - 10 * std::sin(M_PI / 6), 0.001);
    EXPECT_TRUE(special(run, job, 1).end->transform.identity());
    const pictures::Affine s = special(run, job, 2).end->transform;
    EXPECT_NEAR(s.a, 2, 1e-6);
    EXPECT_NEAR(s.d, 1, 1e-6);
    EXPECT_NEAR(s.e, -(kInch + 10), 0.001);
    EXPECT_TRUE(special(run, job, 3).end->transform.identity());
}

// pgf's invisible parts: on the null device nothing is reported until the
// graphics state comes back.
TEST(PictureProgram, NullDeviceHidesPaint) {
    pictures::Job job = pageJob({
        {SpecialKind::PsRaw, "gsave nulldevice 0 0 10 10 rectfill newpath 0 0 moveto 1 1 lineto stroke"},
        {SpecialKind::PsRaw, "grestore 0 0 3 3 rectfill"},
    });
    PictureRun run = runPictures(job);
    expectClean(run);
    EXPECT_TRUE(special(run, job, 0).end->invisible);
    EXPECT_TRUE(special(run, job, 0).paints.empty());
    EXPECT_FALSE(special(run, job, 1).end->invisible);
    ASSERT_EQ(special(run, job, 1).paints.size(), 1u);
}

}  // namespace
}  // namespace morvex::testing

namespace morvex::testing {
namespace {

// A magnified DVI file: positions as ptPerDvi gives them, and a " special's
// big points magnified as dvips's normalscale magnifies them.
TEST(PictureProgram, MagnifiedPages) {
    pictures::JobFrame frame;
    frame.mag = 2000;
    frame.ptPerDvi = 2.0f / 65536;
    pictures::JobBuilder b = jobWithPrologues(frame);
    b.beginPage(1);
    b.special(pictures::SpecialKind::Quote, dviUnits(10), dviUnits(20), "newpath 0 0 moveto 10 0 rlineto 0 10 rlineto fill");
    b.special(pictures::SpecialKind::Ps, dviUnits(10), dviUnits(20), "currentpoint newpath moveto 10 0 rlineto 0 10 rlineto fill");
    PictureRun run = runPictures(b.finish());
    expectClean(run);
    std::vector<pictures::Fill> fills = paintsOf<pictures::Fill>(run);
    ASSERT_EQ(fills.size(), 2u);
    expectBox(pathBox(fills[0].path), kInch + 20, kInch + 40 - 20 * kBp, kInch + 20 + 20 * kBp, kInch + 40);
    // dvips's device units are not magnified: ps: code is the document's own.
    expectBox(pathBox(fills[1].path), kInch + 20, kInch + 40, kInch + 30, kInch + 50);
}

}  // namespace
}  // namespace morvex::testing
