#pragma once
// The specials of a DVI file with their positions, as dvitype lists them
// (its full listing, -output-level=4): the test side's reader, apart from
// morvex's own.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/process.h"

namespace morvex::testing {

struct DviSpecial {
    int pageIndex = 0;  // 0 for the file's first page
    int32_t h = 0, v = 0;
    std::string text;
};

struct DviSpecials {
    float ptPerDvi = 0;
    int32_t mag = 1000;
    int32_t maxH = 0, maxV = 0;  // the postamble's widest and tallest page
    std::vector<int32_t> count0;  // by page
    std::vector<DviSpecial> specials;
    std::string error;
};

namespace detail {
// The number after the last "=" of "key=...=value" at from, or after "key=".
inline bool valueAfter(const std::string& line, const std::string& key, long& value) {
    size_t p = line.find(key);
    if (p == std::string::npos) return false;
    size_t end = line.find_first_of(",) ", p + key.size());
    std::string part = line.substr(p + key.size(), end == std::string::npos ? std::string::npos : end - p - key.size());
    size_t eq = part.rfind('=');
    value = std::strtol(part.c_str() + (eq == std::string::npos ? 0 : eq + 1), nullptr, 10);
    return true;
}
}  // namespace detail

inline DviSpecials readDviSpecials(const std::string& dvi) {
    DviSpecials out;
    ProcessResult r = runProcess({"dvitype", "-output-level=4", dvi}, "/");
    if (r.exitCode != 0) {
        out.error = r.out + r.err;
        return out;
    }
    long num = 0, den = 0, value = 0;
    long h = 0, v = 0;
    size_t at = 0;
    while (at < r.out.size()) {
        size_t end = r.out.find('\n', at);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        if (line.rfind("numerator/denominator=", 0) == 0) {
            std::sscanf(line.c_str(), "numerator/denominator=%ld/%ld", &num, &den);
        } else if (line.rfind("magnification=", 0) == 0) {
            out.mag = std::atoi(line.c_str() + 14);
        } else if (line.rfind("maxv=", 0) == 0) {
            long mv = 0, mh = 0;
            std::sscanf(line.c_str(), "maxv=%ld, maxh=%ld", &mv, &mh);
            out.maxV = static_cast<int32_t>(mv), out.maxH = static_cast<int32_t>(mh);
        } else if (line.find(": beginning of page ") != std::string::npos) {
            out.count0.push_back(std::atoi(line.c_str() + line.find("page ") + 5));
            h = v = 0;
        } else if (line.rfind("level ", 0) == 0) {
            detail::valueAfter(line, "(h=", h);
            detail::valueAfter(line, ",v=", v);
        } else if (size_t x = line.find(": xxx '"); x != std::string::npos) {
            size_t close = line.rfind('\'');
            out.specials.push_back({static_cast<int>(out.count0.size()) - 1, static_cast<int32_t>(h),
                                    static_cast<int32_t>(v), line.substr(x + 7, close - x - 7)});
        } else {
            if (line.find(" h:=") != std::string::npos && detail::valueAfter(line, " h:=", value)) h = value;
            if (line.find(" v:=") != std::string::npos && detail::valueAfter(line, " v:=", value)) v = value;
        }
    }
    // TeX points per DVI unit, as the preamble gives it with the magnification.
    out.ptPerDvi = static_cast<float>(num) / static_cast<float>(den) * 72.27f / 254000.0f * out.mag / 1000.0f;
    return out;
}

}  // namespace morvex::testing
