#pragma once
// Pages typeset by plain tex at test time for the rendering tests.
#include <fstream>
#include <string>

#include "support/process.h"

namespace morvex::testing {

// Writes NAME.tex with `source` into `dir` and runs plain tex on it. The
// DVI file's path, or "" with tex's output in *log.
inline std::string texPage(const TempDir& dir, const std::string& name, const std::string& source, std::string* log) {
    {
        std::ofstream tex(dir.file(name + ".tex"), std::ios::binary);
        tex << source;
    }
    ProcessResult r = runProcess({"tex", "-interaction=nonstopmode", "-halt-on-error", name + ".tex"}, dir.path);
    if (r.exitCode != 0) {
        if (log != nullptr) *log = r.out + r.err;
        return "";
    }
    return dir.file(name + ".dvi");
}

// `text` with its only occurrence of `from` replaced by `to`; "" when
// `from` does not occur exactly once, so that a page edit cannot miss.
inline std::string replaceOnce(const std::string& text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (from.empty() || at == std::string::npos || text.find(from, at + 1) != std::string::npos) return "";
    return text.substr(0, at) + to + text.substr(at + from.size());
}

}  // namespace morvex::testing
