#pragma once
// The true extent of a glyph outline: the extremes of its lines and curves,
// not the hull of their control points.
#include <optional>
#include <string_view>

#include "base/extent.h"

namespace morvex {

// The extent of SVG path data made of moves, lines, quadratic and cubic
// curves and closes (M L H V Q C Z, absolute or relative, with repeated
// operands), in the data's own units. An empty extent for data that draws
// nothing; none for data it cannot read (another command, a number
// missing), whose extent it does not know.
std::optional<Extent> outlineExtent(std::string_view pathData);

}  // namespace morvex
