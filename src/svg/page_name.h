#pragma once
// One document per page: in the -o name of a --paths run, %p stands for the
// page's position and %% for a percent sign. A name without %p is one
// document for all pages and is taken as it is written.
#include <cstdint>
#include <string>
#include <string_view>

namespace morvex {

// Whether the name holds %p (a %% pair is a percent sign, not the start of
// a %p).
bool namesEachPage(std::string_view pattern);

// The name of the document of the page at position; a % before anything
// but p or % stays as it is.
std::string pageFileName(std::string_view pattern, uint32_t position);

}  // namespace morvex
