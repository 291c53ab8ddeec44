#pragma once
// Reads back what a --paths document draws: each glyph use and rule with
// the map from its own units to the document's (the transforms of the
// groups around it composed) and the fill it gets.
#include <cmath>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace morvex::testing {

// An affine map a b c d e f, as SVG's matrix(a b c d e f).
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Affine then(const Affine& outer) const {
        return {outer.a * a + outer.c * b, outer.b * a + outer.d * b, outer.a * c + outer.c * d,
                outer.b * c + outer.d * d, outer.a * e + outer.c * f + outer.e, outer.b * e + outer.d * f + outer.f};
    }
    std::pair<double, double> apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
};

inline std::vector<double> numbersIn(const std::string& s) {
    std::vector<double> v;
    static const std::regex kNumber(R"(-?[0-9]+(\.[0-9]+)?)");
    for (std::sregex_iterator it(s.begin(), s.end(), kNumber), end; it != end; ++it) v.push_back(std::stod(it->str()));
    return v;
}

// The transform attribute of an element (matrix, scale with one or two
// numbers, translate), and for a use its x and y; ok false when a
// transform cannot be read.
inline Affine transformOf(const std::string& element, bool* ok = nullptr) {
    Affine t;
    std::smatch m;
    static const std::regex kTransform(R"re(transform="(matrix|scale|translate)\(([^)]*)\)")re");
    if (ok != nullptr) *ok = true;
    if (std::regex_search(element, m, kTransform)) {
        std::vector<double> n = numbersIn(m[2]);
        if (m[1] == "matrix" && n.size() == 6)
            t = {n[0], n[1], n[2], n[3], n[4], n[5]};
        else if (m[1] == "scale" && n.size() == 1)
            t = {n[0], 0, 0, n[0], 0, 0};
        else if (m[1] == "scale" && n.size() == 2)
            t = {n[0], 0, 0, n[1], 0, 0};
        else if (m[1] == "translate" && n.size() == 2)
            t = {1, 0, 0, 1, n[0], n[1]};
        else if (ok != nullptr)
            *ok = false;
    }
    static const std::regex kX(R"re( x="([-0-9.]+)")re"), kY(R"re( y="([-0-9.]+)")re");
    if (element.rfind("<use", 0) == 0) {
        Affine at;
        if (std::regex_search(element, m, kX)) at.e = std::stod(m[1]);
        if (std::regex_search(element, m, kY)) at.f = std::stod(m[1]);
        t = t.then(at);
    }
    return t;
}

struct DrawnElement {
    std::string element;  // the use or rect
    Affine toDocument;    // its units to the document's
    std::string fill;     // of the innermost group with one, "none" outside
};

// The uses and rects outside the definitions, in document order.
inline std::vector<DrawnElement> drawnElements(const std::string& svg) {
    struct Group {
        Affine t;
        std::string fill;
    };
    std::vector<Group> stack{{{}, "none"}};
    std::vector<DrawnElement> out;
    bool inDefs = false;
    static const std::regex kTag(R"(<(/?)(g|use|rect|defs)\b[^>]*>)");
    static const std::regex kFill(R"re(fill="([^"]*)")re");
    for (std::sregex_iterator it(svg.begin(), svg.end(), kTag), end; it != end; ++it) {
        const std::string tag = it->str();
        if (tag == "<defs>" || tag == "</defs>") {
            inDefs = tag == "<defs>";
        } else if (inDefs) {
            continue;
        } else if (tag == "</g>") {
            if (stack.size() > 1) stack.pop_back();
        } else if (tag.rfind("<g", 0) == 0) {
            Group g{transformOf(tag).then(stack.back().t), stack.back().fill};
            std::smatch m;
            if (std::regex_search(tag, m, kFill)) g.fill = m[1];
            if (tag[tag.size() - 2] != '/') stack.push_back(g);
        } else {
            out.push_back({tag, transformOf(tag).then(stack.back().t), stack.back().fill});
        }
    }
    return out;
}

// The fill of each rule the document draws, in order.
inline std::vector<std::string> ruleFills(const std::string& svg) {
    std::vector<std::string> fills;
    for (const DrawnElement& e : drawnElements(svg))
        if (e.element.rfind("<rect", 0) == 0) fills.push_back(e.fill);
    return fills;
}

}  // namespace morvex::testing
