#pragma once
// Reads the positions that dvitype reports for every character of a DVI
// file (its full listing, -output-level=4), as the reference for ours.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace morvex::testing {

struct DvitypeChar {
    int page = 0;       // \count0 of the page
    int pageIndex = 0;  // 0 for the first page of the file, 1 for the next, ...
    int code = 0;
    long h = 0;  // h before the character, DVI units
    long v = 0;
    bool put = false;
    int sinceBop = 0;  // characters set on this page before this one
};

namespace detail {
inline bool numberAfter(const std::string& line, const std::string& key, long& value, size_t from = 0) {
    size_t p = line.find(key, from);
    if (p == std::string::npos) return false;
    value = std::strtol(line.c_str() + p + key.size(), nullptr, 10);
    return true;
}
}  // namespace detail

inline std::vector<DvitypeChar> dvitypeChars(const std::string& dviPath) {
    std::vector<DvitypeChar> chars;
    std::string cmd = "dvitype -output-level=4 '" + dviPath + "'";
    std::FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return chars;
    long h = 0, v = 0, value = 0;
    int page = 0, pageIndex = -1, sinceBop = 0;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, p) != nullptr) {
        std::string line(buf);
        if (detail::numberAfter(line, "beginning of page ", value)) {
            page = static_cast<int>(value);
            ++pageIndex;
            sinceBop = 0;
            h = v = 0;
            continue;
        }
        if (line.rfind("level ", 0) == 0) {
            detail::numberAfter(line, "(h=", h);
            detail::numberAfter(line, ",v=", v);
            continue;
        }
        // A setrule prints its h:= on a line of its own, without a colon.
        size_t colon = line.find(": ");
        std::string cmdText = colon == std::string::npos ? std::string() : line.substr(colon + 2);
        bool set = cmdText.rfind("setchar", 0) == 0 || cmdText.rfind("set1 ", 0) == 0;
        bool put = cmdText.rfind("put1 ", 0) == 0;
        if (set || put) {
            DvitypeChar c;
            c.page = page;
            c.pageIndex = pageIndex;
            c.code = cmdText.rfind("setchar", 0) == 0 ? std::atoi(cmdText.c_str() + 7)
                                                       : std::atoi(cmdText.c_str() + 5);
            c.h = h;
            c.v = v;
            c.put = put;
            c.sinceBop = sinceBop++;
            chars.push_back(c);
        }
        // " h:=A+B=C" and " v:=A+B=C" give the new value after the last '='.
        size_t hp = line.find(" h:=");
        if (hp != std::string::npos) {
            size_t eq = line.find('=', hp + 4);
            if (eq != std::string::npos) h = std::strtol(line.c_str() + eq + 1, nullptr, 10);
        }
        size_t vp = line.find(" v:=");
        if (vp != std::string::npos) {
            size_t eq = line.find('=', vp + 4);
            if (eq != std::string::npos) v = std::strtol(line.c_str() + eq + 1, nullptr, 10);
        }
    }
    pclose(p);
    return chars;
}

}  // namespace morvex::testing
