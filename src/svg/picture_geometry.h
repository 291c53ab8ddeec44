#pragma once
// The numbers of the picture markup: paths in SVG's short relative syntax,
// matrices, extents, all moved from the report's page coordinates (the
// DVI origin one inch in) to TeX points from the DVI origin.
#include <string>

#include "base/extent.h"
#include "pictures/report.h"

namespace morvex {

// The DVI origin in the report's page coordinates, TeX points.
constexpr double kPictureOrigin = 72.27;

// m followed by the move of the page's coordinates to the DVI origin's.
pictures::Affine fromPage(const pictures::Affine& m);
pictures::Affine multiply(const pictures::Affine& first, const pictures::Affine& then);
// The size one unit of m's space has on the page, on average.
double scaleOf(const pictures::Affine& m);
// The most one unit of m's space grows to on the page, in any direction.
double largestScaleOf(const pictures::Affine& m);
// How far a stroke's ink reaches beyond its path, in half its width: one,
// more at square caps and at the miter joins within the limit.
double strokeReach(const pictures::Stroke& s);
// Decimals for coordinates in m's space: a hundredth of a TeX point on the page.
int placesFor(const pictures::Affine& m);

// d's text: absolute start, relative after, numbers rounded to places
// (the rounding does not add up along the path).
void appendPathData(std::string& out, const pictures::Path& path, double dx, double dy, int places);
void appendMatrix(std::string& out, const pictures::Affine& m);

// The points of path (control points included) through m.
Extent pathExtent(const pictures::Path& path, const pictures::Affine& m);
Extent grow(const Extent& e, double by);
Extent intersect(const Extent& a, const Extent& b);

}  // namespace morvex
