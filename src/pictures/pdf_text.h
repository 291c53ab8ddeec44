#pragma once
// The text strings of PDF marks (a document's title, say) as UTF-8: a
// string that starts with the byte order mark FE FF is UTF-16BE (hyperref
// writes its pdftitle so), any other is in PDFDocEncoding.
#include <string>
#include <string_view>

namespace morvex::pictures {

// Control characters become spaces (tab, line ends) or go; a lone
// surrogate and a code PDFDocEncoding leaves undefined become U+FFFD.
std::string pdfTextToUtf8(std::string_view text);

}  // namespace morvex::pictures
