// The picture program's images, shadings and patterns on small pages of
// specials run through the real Ghostscript: the samples as read from any
// kind of source, the matrices that place them, gradients with their
// stops, sampled shadings, and pattern cells.
#include <gtest/gtest.h>

#include "pictures/page_fixture.h"

namespace morvex::testing {
namespace {

using pictures::Gradient;
using pictures::Image;
using pictures::ImageMask;
using pictures::SpecialKind;

std::string bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s += static_cast<char>(b);
    return s;
}

TEST(PictureProgram, ImagesFromEverySource) {
    PictureRun run = runPage({
        // Operand form, a procedure returning a string, scaled by its matrix.
        {SpecialKind::Ps, "2 2 8 [0.1 0 0 0.1 0 0] {<00ff80c0>} image"},
        // A string source repeated; colorimage with one source of RGB.
        {SpecialKind::Ps, "2 1 8 [1 0 0 1 0 0] <ff0000> false 3 colorimage"},
        // Inline data read from the special itself, as EPS files hold it.
        {SpecialKind::Quote, "/picstr 2 string def 2 2 8 [2 0 0 2 0 0] {currentfile picstr readhexstring pop} image\n"
                             "0102\n0304\n 0 0 1 1 rectfill"},
        // Dictionary form in an Indexed colour space, and with several sources.
        {SpecialKind::Ps,
         "[/Indexed /DeviceRGB 1 <ff000000ff00>] setcolorspace << /ImageType 1 /Width 2 /Height 1 "
         "/BitsPerComponent 1 /ImageMatrix [1 0 0 1 0 0] /Decode [0 1] /DataSource <40> >> image"},
        {SpecialKind::Ps, "1 2 8 [1 0 0 1 0 0] {<0a0b>} {<1a1b>} {<2a2b>} true 3 colorimage"},
        // A mask painting its 1 bits in the current colour, flipped by its matrix.
        {SpecialKind::Ps, "0 0 1 setrgbcolor 8 2 true [1 0 0 -1 0 2] {<f00f>} imagemask"},
    });
    expectClean(run);
    std::vector<Image> images = paintsOf<Image>(run);
    ASSERT_EQ(images.size(), 5u);
    EXPECT_EQ(images[0].planes, std::vector<std::string>{bytes({0, 255, 128, 192})});
    EXPECT_EQ(images[0].kind, 'g');
    EXPECT_EQ(images[0].decode, (std::vector<double>{0, 1}));
    // The unit square covers 20 by 20 points at the DVI origin.
    expectBox(pathBox(pictures::Path{{pictures::PathOp::Move, pictures::PathOp::Line},
                                     {0, 0, 1, 1}},
                      images[0].matrix),
              kInch, kInch, kInch + 20, kInch + 20);
    EXPECT_EQ(images[1].kind, 'r');
    EXPECT_EQ(images[1].planes, std::vector<std::string>{bytes({255, 0, 0, 255, 0, 0})});
    EXPECT_EQ(images[2].planes, std::vector<std::string>{bytes({1, 2, 3, 4})});
    EXPECT_NEAR(images[2].matrix.a, kBp, 0.001);  // a sample a big point: 2 samples, 1 bp
    EXPECT_EQ(images[3].kind, 'x');
    EXPECT_EQ(images[3].palette, bytes({255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(images[3].planes, std::vector<std::string>{bytes({0x40})});
    EXPECT_EQ(images[4].planes,
              (std::vector<std::string>{bytes({0x0a, 0x0b}), bytes({0x1a, 0x1b}), bytes({0x2a, 0x2b})}));
    // The inline data was read by the image, not run: the fill after it came.
    EXPECT_EQ(paintsOf<pictures::Fill>(run).size(), 1u);
    std::vector<ImageMask> masks = paintsOf<ImageMask>(run);
    ASSERT_EQ(masks.size(), 1u);
    EXPECT_EQ(masks[0].bits, bytes({0xf0, 0x0f}));
    EXPECT_EQ(masks[0].paintBit, 1);
    EXPECT_EQ(masks[0].color, (pictures::Rgb8{0, 0, 255}));
    EXPECT_NEAR(masks[0].matrix.d, -2, kTol);
    EXPECT_NEAR(masks[0].matrix.f, kInch + 2, kTol);
}

// The gradients as pgf writes them: an axial shading pattern filling a
// path (a clip of the path and the gradient), its stitched colours jumping
// at the bounds; a radial shading by shfill with its extend flags.
TEST(PictureProgram, AxialAndRadialGradients) {
    pictures::Job job = pageJob({
        {SpecialKind::Ps,
         "newpath 0 0 moveto 100 0 rlineto 0 50 rlineto closepath "
         "<< /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceRGB /Domain [0 100] /Coords [0 0 100 0] "
         "/Function << /FunctionType 3 /Domain [0 100] /Functions [ "
         "<< /FunctionType 2 /Domain [0 100] /C0 [0 0 1] /C1 [0 0 1] /N 1 >> "
         "<< /FunctionType 2 /Domain [0 100] /C0 [0 0 1] /C1 [1 0 0] /N 1 >> "
         "<< /FunctionType 2 /Domain [0 100] /C0 [0 1 0] /C1 [0 1 0] /N 1 >> ] "
         "/Bounds [25 75] /Encode [0 1 0 1 0 1] >> >> >> matrix makepattern setpattern fill"},
        {SpecialKind::Quote,
         "<< /ShadingType 3 /ColorSpace /DeviceGray /Coords [50 50 0 50 50 40] /Extend [true false] "
         "/Function << /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 2 >> >> shfill"},
    });
    PictureRun run = runPictures(job);
    expectClean(run);
    std::vector<Gradient> gradients = paintsOf<Gradient>(run);
    ASSERT_EQ(gradients.size(), 2u);
    const Gradient& axial = gradients[0];
    EXPECT_FALSE(axial.radial);
    ASSERT_EQ(run.report.clips.count(axial.clip), 1u);
    expectBox(pathBox(run.report.clips[axial.clip].path), kInch, kInch, kInch + 100, kInch + 50);
    // Blue to the first bound, blue to red, then green: a jump at 0.75.
    std::vector<std::pair<double, pictures::Rgb8>> stops;
    for (const pictures::GradientStop& s : axial.stops) stops.push_back({s.offset, s.color});
    using C = pictures::Rgb8;
    EXPECT_EQ(stops, (std::vector<std::pair<double, C>>{{0, C{0, 0, 255}},
                                                         {0.25, C{0, 0, 255}},
                                                         {0.25, C{0, 0, 255}},
                                                         {0.75, C{255, 0, 0}},
                                                         {0.75, C{0, 255, 0}},
                                                         {1, C{0, 255, 0}}}));
    const auto at = [](const pictures::Affine& m, double x, double y) {
        return std::pair{m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f};
    };
    auto [x1, y1] = at(axial.matrix, axial.coords[2], axial.coords[3]);
    EXPECT_NEAR(x1, kInch + 100, kTol);
    EXPECT_NEAR(y1, kInch, kTol);

    const Gradient& radial = gradients[1];
    EXPECT_TRUE(radial.radial);
    EXPECT_TRUE(radial.extendStart);
    EXPECT_FALSE(radial.extendEnd);
    EXPECT_EQ(radial.clip, 0u);
    auto [cx, cy] = at(radial.matrix, radial.coords[3], radial.coords[4]);
    EXPECT_NEAR(cx, kInch + 50 * kBp, kTol);
    EXPECT_NEAR(cy, kInch - 50 * kBp, kTol);  // y up in a " special
    EXPECT_NEAR(radial.coords[5] * std::sqrt(std::fabs(radial.matrix.a * radial.matrix.d)), 40 * kBp, kTol);
    // t^2 sampled finely enough that no stop lies off a straight line by 1/255.
    ASSERT_GE(radial.stops.size(), 5u);
    for (const pictures::GradientStop& s : radial.stops) EXPECT_NEAR(s.color.r, 255 * s.offset * s.offset, 2.5);
    EXPECT_EQ(radial.stops.back().color, (C{255, 255, 255}));
}

// A function-based shading with a sampled function (pgf's functional
// shadings) is the image of its samples; meshes are told of, not drawn.
TEST(PictureProgram, SampledShadingsAndMeshes) {
    PictureRun run = runPage({
        {SpecialKind::Ps,
         "<< /ShadingType 1 /ColorSpace /DeviceRGB /Domain [0 10 0 20] /Matrix [1 0 0 1 5 5] "
         "/Function << /FunctionType 0 /Domain [0 10 0 20] /Range [0 1 0 1 0 1] /Size [2 2] /BitsPerSample 8 "
         "/DataSource <ff0000 00ff00 0000ff ffffff> >> >> shfill"},
        {SpecialKind::Ps,
         "<< /ShadingType 4 /ColorSpace /DeviceGray /DataSource [0 0 0 0 10 0 1 0 10 0.5] >> shfill 0 0 1 1 rectfill"},
        // A function whose outputs are not the colour space's: told of, the
        // stacks as they were, the special going on.
        {SpecialKind::Ps,
         "1 2 << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 0] /Function << /FunctionType 2 /Domain [0 1] "
         "/C0 [0] /C1 [1] /N 1 >> >> shfill add 0 0 3 -1 roll dup rectfill"},
    });
    expectClean(run);
    std::vector<Image> images = paintsOf<Image>(run);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].kind, 'r');
    EXPECT_EQ(images[0].width, 2);
    EXPECT_EQ(images[0].planes[0], bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
    EXPECT_NEAR(images[0].matrix.a, 10, kTol);
    EXPECT_NEAR(images[0].matrix.d, 20, kTol);
    EXPECT_NEAR(images[0].matrix.e, kInch + 5, kTol);
    size_t warnings = 0;
    for (const auto& c : run.report.chunks) warnings += c.warnings.size();
    EXPECT_EQ(warnings, 2u);
    EXPECT_TRUE(paintsOf<Gradient>(run).empty());
    std::vector<pictures::Fill> fills = paintsOf<pictures::Fill>(run);
    ASSERT_EQ(fills.size(), 2u);
    expectBox(pathBox(fills[1].path), kInch, kInch, kInch + 3, kInch + 3);
}

// A tiling pattern's cell once, in its own space; each fill a clip and a
// paint naming the cell, with the colour of an uncoloured pattern.
TEST(PictureProgram, TilingPatterns) {
    PictureRun run = runPage({
        {SpecialKind::Ps,
         "/pat << /PatternType 1 /PaintType 2 /TilingType 1 /BBox [0 0 4 4] /XStep 4 /YStep 4 "
         "/PaintProc { pop 0 0 moveto 4 4 lineto stroke } >> matrix makepattern def "
         "[/Pattern /DeviceRGB] setcolorspace 1 0 0 pat setcolor 0 0 20 10 rectfill "
         "0 0 1 pat setcolor 30 0 10 10 rectfill"},
    });
    expectClean(run);
    ASSERT_EQ(run.report.cells.size(), 1u);
    const pictures::Cell& cell = run.report.cells.begin()->second;
    EXPECT_EQ(cell.paintType, 2);
    EXPECT_NEAR(cell.xStep, 4, 0.001);
    ASSERT_EQ(cell.paints.size(), 1u);
    const auto& stroke = std::get<pictures::Stroke>(cell.paints[0]);
    expectBox(pathBox(stroke.path, stroke.matrix), 0, 0, 4, 4);
    std::vector<pictures::PatternPaint> fills = paintsOf<pictures::PatternPaint>(run);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].cell, cell.id);
    EXPECT_EQ(fills[0].color, (pictures::Rgb8{255, 0, 0}));
    EXPECT_EQ(fills[1].color, (pictures::Rgb8{0, 0, 255}));
    expectBox(pathBox(run.report.clips[fills[1].clip].path), kInch + 30, kInch, kInch + 40, kInch + 10);
    // The cell's space lies on the page as makepattern found it.
    EXPECT_NEAR(cell.matrix.e, kInch, kTol);
    EXPECT_TRUE(paintsOf<pictures::Stroke>(run).empty());
}

}  // namespace
}  // namespace morvex::testing
