#pragma once
// The hypertex specials ("html:" and an HTML tag), as hyperref's hypertex
// driver and plain TeX macros write them: <a href="..."> starts a link,
// <a name="..."> names a place, </a> ends either. The tag and attribute
// names are read in either case, with blanks around the parts, the value
// in double or single quotes or none; the value is kept as written.
#include <optional>
#include <string>
#include <string_view>

namespace morvex {

enum class HypertexTag {
    Open,   // <a ...>: a link, a place, both or neither
    Close,  // </a>
    Other,  // any other tag, or text that is not one
};

struct HypertexSpecial {
    HypertexTag tag = HypertexTag::Other;
    std::optional<std::string> href;  // Open: the link's target as written
    std::optional<std::string> name;  // Open: the place's name
};

// Reads the special's text from its "html:" on (leading blanks and the
// prefix in either case skipped).
HypertexSpecial readHypertexSpecial(std::string_view special);

}  // namespace morvex
