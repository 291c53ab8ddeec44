#include "svg/svgfont.h"

namespace morvex {

int svgfontbuild(SvgFontState&, const std::string&, const std::string&, const std::string&,
                 const FontTable&, std::FILE*, std::FILE*) {
    return 0;
}

}  // namespace morvex
