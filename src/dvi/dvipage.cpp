#include "dvi/dvipage.h"

namespace morvex {

// The page loop is not interpreted yet: the run ends after the prologue.
int dvipage(Run&, std::FILE*, const std::string&, const std::string&, std::FILE*, std::FILE*) {
    return DVIPAGE_OK;
}

}  // namespace morvex
