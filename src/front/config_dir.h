#pragma once
// Where a run without -c finds its configuration directory.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace morvex {

// The directories a run without -c looks in, in this order: the default;
// then the one that belongs to this executable, <prefix>/share/texmf/morvex
// beside the bin directory it was installed into; then, for a binary in
// its build tree, the build's config/ named by the file CMake writes beside
// it. Every directory is listed once.
std::vector<std::string> configCandidates();

// What keeps dir from holding the configuration (tarnevik.ps, tarnevik.enc
// and morvex.map, readable regular files); empty when it holds it.
std::string configLack(const std::string& dir);

// The first candidate that holds the configuration. None: a message on out
// names every directory tried, what it lacks, and how to name one.
std::optional<std::string> findConfigDir(const std::vector<std::string>& candidates, const char* program,
                                         std::FILE* out);

}  // namespace morvex
