#pragma once
// The text of an SVG document read back: each character of its runs as the
// code it stands for, with the font of its span.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "text/conv.h"

namespace morvex::testing {

// The code whose document text starts text at i; advances i.
inline int nextCode(const std::string& text, size_t& i) {
    static const std::map<std::string, int> codeOf = [] {
        std::map<std::string, int> m;
        for (int c = 0; c < 256; ++c) m[convCode(static_cast<unsigned char>(c))] = c;
        return m;
    }();
    for (size_t n = 1; n <= 5 && i + n <= text.size(); ++n) {
        auto it = codeOf.find(text.substr(i, n));
        if (it != codeOf.end()) {
            i += n;
            return it->second;
        }
    }
    return -1;
}

struct DocChar {
    std::string font;
    int code;
    bool operator==(const DocChar&) const = default;
};

inline void PrintTo(const DocChar& c, std::ostream* os) { *os << c.font << ":" << c.code; }

// The characters of the document's runs with the font of their span.
inline std::vector<DocChar> documentChars(const std::string& svg) {
    std::map<std::string, std::string> entityFont;
    static const std::regex kEntity(R"re(<!ENTITY (st[0-9]+) "font-family:([^;"]+);)re");
    for (std::sregex_iterator it(svg.begin(), svg.end(), kEntity), end; it != end; ++it)
        entityFont[(*it)[1]] = (*it)[2];
    std::vector<DocChar> chars;
    static const std::regex kTspan(R"re(<tspan style="&(st[0-9]+);">|<tspan x="[^"]*" y="[^"]*">([^<]*)</tspan>)re");
    std::string font;
    for (std::sregex_iterator it(svg.begin(), svg.end(), kTspan), end; it != end; ++it) {
        if ((*it)[1].matched) {
            font = entityFont[(*it)[1]];
            continue;
        }
        const std::string text = (*it)[2];
        for (size_t i = 0; i < text.size();) {
            int code = nextCode(text, i);
            EXPECT_GE(code, 0) << "undecodable text " << text;
            if (code < 0) break;
            chars.push_back({font, code});
        }
    }
    return chars;
}

}  // namespace morvex::testing
