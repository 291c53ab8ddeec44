#pragma once
// The invisible text of a --paths document as a plain search sees it: the
// content of its text elements, tags dropped and entities undone, one space
// between elements.
#include <string>
#include <utility>
#include <vector>

namespace morvex::testing {

inline std::string invisibleText(const std::string& svg) {
    // Found by plain search: a regular expression over a page's text
    // recurses once per character in libstdc++ and can run out of stack.
    std::string text;
    for (size_t at = svg.find("<text "); at != std::string::npos; at = svg.find("<text ", at)) {
        const size_t end = svg.find("</text>", at);
        if (end == std::string::npos) break;
        bool inTag = false;
        for (size_t i = at; i < end; ++i) {
            if (svg[i] == '<') inTag = true;
            if (!inTag) text += svg[i];
            if (svg[i] == '>') inTag = false;
        }
        text += " ";
        at = end;
    }
    for (const auto& [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    return text;
}

}  // namespace morvex::testing
