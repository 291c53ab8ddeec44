#pragma once
// Which addresses a document may link to: http, https, mailto and ftp, and
// relative ones (no scheme). A browser reads the scheme after dropping
// leading blanks and controls and every tab and line end, in either case:
// " JaVa\tScript:" is javascript. Others (javascript, data, vbscript,
// file, ...) could run code or reach the reader's files from a page that
// only meant to show a document; they are left out.
#include <string_view>

namespace morvex {

// Whether an address as written may be linked to. One with a control
// character anywhere is not: no document could hold it as written.
bool linkableAddress(std::string_view target);

}  // namespace morvex
