#pragma once
// A box that ink extends over, in whatever units its maker says; empty
// until something is added.
#include <algorithm>
#include <limits>

namespace morvex {

struct Extent {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool empty() const { return !(minX <= maxX && minY <= maxY); }
    void add(double x, double y) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    void add(const Extent& e) {
        if (e.empty()) return;
        add(e.minX, e.minY);
        add(e.maxX, e.maxY);
    }
};

}  // namespace morvex
