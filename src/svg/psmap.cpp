#include "svg/psmap.h"

#include "svg/svgfont.h"

namespace morvex {

bool psmap(SvgFontState&, std::FILE*, const std::string&, std::FILE*) { return false; }

}  // namespace morvex
