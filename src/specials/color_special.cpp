#include "specials/color_special.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace morvex {

namespace {

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t from = text.find_first_not_of(" \t\r\n", at);
        if (from == std::string_view::npos) break;
        size_t to = text.find_first_of(" \t\r\n", from);
        if (to == std::string_view::npos) to = text.size();
        out.push_back(text.substr(from, to - from));
        at = to;
    }
    return out;
}

// A number as PostScript writes one ("1", "0.5", ".5", "-0.2", "+1"),
// finite, clamped to 0..1.
std::optional<double> unitValue(std::string_view word) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    if (word.empty()) return std::nullopt;
    for (char c : word)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E')) return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v)) return std::nullopt;
    return std::clamp(v, 0.0, 1.0);
}

uint8_t channel(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

}  // namespace

Rgb cmykToRgb(double c, double m, double y, double k) {
    return {channel(1.0 - std::min(1.0, c + k)), channel(1.0 - std::min(1.0, m + k)),
            channel(1.0 - std::min(1.0, y + k))};
}

const std::vector<NamedColor>& namedColors() {
    static const std::vector<NamedColor> kColors = {
        {"GreenYellow", 0.15, 0, 0.69, 0},   {"Yellow", 0, 0, 1, 0},
        {"Goldenrod", 0, 0.10, 0.84, 0},     {"Dandelion", 0, 0.29, 0.84, 0},
        {"Apricot", 0, 0.32, 0.52, 0},       {"Peach", 0, 0.50, 0.70, 0},
        {"Melon", 0, 0.46, 0.50, 0},         {"YellowOrange", 0, 0.42, 1, 0},
        {"Orange", 0, 0.61, 0.87, 0},        {"BurntOrange", 0, 0.51, 1, 0},
        {"Bittersweet", 0, 0.75, 1, 0.24},   {"RedOrange", 0, 0.77, 0.87, 0},
        {"Mahogany", 0, 0.85, 0.87, 0.35},   {"Maroon", 0, 0.87, 0.68, 0.32},
        {"BrickRed", 0, 0.89, 0.94, 0.28},   {"Red", 0, 1, 1, 0},
        {"OrangeRed", 0, 1, 0.50, 0},        {"RubineRed", 0, 1, 0.13, 0},
        {"WildStrawberry", 0, 0.96, 0.39, 0}, {"Salmon", 0, 0.53, 0.38, 0},
        {"CarnationPink", 0, 0.63, 0, 0},    {"Magenta", 0, 1, 0, 0},
        {"VioletRed", 0, 0.81, 0, 0},        {"Rhodamine", 0, 0.82, 0, 0},
        {"Mulberry", 0.34, 0.90, 0, 0.02},   {"RedViolet", 0.07, 0.90, 0, 0.34},
        {"Fuchsia", 0.47, 0.91, 0, 0.08},    {"Lavender", 0, 0.48, 0, 0},
        {"Thistle", 0.12, 0.59, 0, 0},       {"Orchid", 0.32, 0.64, 0, 0},
        {"DarkOrchid", 0.40, 0.80, 0.20, 0}, {"Purple", 0.45, 0.86, 0, 0},
        {"Plum", 0.50, 1, 0, 0},             {"Violet", 0.79, 0.88, 0, 0},
        {"RoyalPurple", 0.75, 0.90, 0, 0},   {"BlueViolet", 0.86, 0.91, 0, 0.04},
        {"Periwinkle", 0.57, 0.55, 0, 0},    {"CadetBlue", 0.62, 0.57, 0.23, 0},
        {"CornflowerBlue", 0.65, 0.13, 0, 0}, {"MidnightBlue", 0.98, 0.13, 0, 0.43},
        {"NavyBlue", 0.94, 0.54, 0, 0},      {"RoyalBlue", 1, 0.50, 0, 0},
        {"Blue", 1, 1, 0, 0},                {"Cerulean", 0.94, 0.11, 0, 0},
        {"Cyan", 1, 0, 0, 0},                {"ProcessBlue", 0.96, 0, 0, 0},
        {"SkyBlue", 0.62, 0, 0.12, 0},       {"Turquoise", 0.85, 0, 0.20, 0},
        {"TealBlue", 0.86, 0, 0.34, 0.02},   {"Aquamarine", 0.82, 0, 0.30, 0},
        {"BlueGreen", 0.85, 0, 0.33, 0},     {"Emerald", 1, 0, 0.50, 0},
        {"JungleGreen", 0.99, 0, 0.52, 0},   {"SeaGreen", 0.69, 0, 0.50, 0},
        {"Green", 1, 0, 1, 0},               {"ForestGreen", 0.91, 0, 0.88, 0.12},
        {"PineGreen", 0.92, 0, 0.59, 0.25},  {"LimeGreen", 0.50, 0, 1, 0},
        {"YellowGreen", 0.44, 0, 0.74, 0},   {"SpringGreen", 0.26, 0, 0.76, 0},
        {"OliveGreen", 0.64, 0, 0.95, 0.40}, {"RawSienna", 0, 0.72, 1, 0.45},
        {"Sepia", 0, 0.83, 1, 0.70},         {"Brown", 0, 0.81, 1, 0.60},
        {"Tan", 0.14, 0.42, 0.56, 0},        {"Gray", 0, 0, 0, 0.50},
        {"Black", 0, 0, 0, 1},               {"White", 0, 0, 0, 0},
    };
    return kColors;
}

std::optional<Rgb> parseColor(std::string_view text) {
    std::vector<std::string_view> w = words(text);
    if (w.empty()) return std::nullopt;
    std::vector<double> values;
    for (size_t i = 1; i < w.size(); ++i) {
        std::optional<double> v = unitValue(w[i]);
        if (!v) return std::nullopt;
        values.push_back(*v);
    }
    const std::string_view model = w[0];
    if (model == "rgb" && values.size() == 3) return Rgb{channel(values[0]), channel(values[1]), channel(values[2])};
    if (model == "cmyk" && values.size() == 4) return cmykToRgb(values[0], values[1], values[2], values[3]);
    if (model == "gray" && values.size() == 1) return Rgb{channel(values[0]), channel(values[0]), channel(values[0])};
    if (values.empty() && w.size() == 1)
        for (const NamedColor& n : namedColors())
            if (model == n.name) return cmykToRgb(n.c, n.m, n.y, n.k);
    return std::nullopt;
}

ColorSpecial parseColorSpecial(std::string_view special) {
    ColorSpecial s;
    size_t from = special.find_first_not_of(" \t\r\n");
    if (from == std::string_view::npos) return s;
    special.remove_prefix(from);
    constexpr std::string_view kColor = "color";
    if (special.substr(0, kColor.size()) != kColor) return s;
    std::string_view rest = special.substr(kColor.size());
    if (!rest.empty() && rest.find_first_of(" \t\r\n") != 0) return s;  // "colorful ..."
    std::vector<std::string_view> w = words(rest);
    if (!w.empty() && w[0] == "pop") {
        // "color pop" takes nothing more; anything after it is ignored, as
        // dvips ignores it.
        s.command = ColorCommand::Pop;
        return s;
    }
    if (!w.empty() && w[0] == "push") {
        s.command = ColorCommand::Push;
        rest.remove_prefix(rest.find("push") + 4);
    } else {
        s.command = ColorCommand::Set;
    }
    s.color = parseColor(rest);
    return s;
}

void ColorStack::push(Rgb next) {
    if (saved.size() < kMaxDepth) {
        saved.push_back(color);
    } else {
        if (uncounted == 0) beforeUncounted = color;
        ++uncounted;
    }
    color = next;
}

bool ColorStack::pop() {
    if (uncounted > 0) {
        --uncounted;
        color = beforeUncounted;
        return true;
    }
    if (saved.empty()) return false;
    color = saved.back();
    saved.pop_back();
    return true;
}

void ColorStack::set(Rgb next) {
    saved.clear();
    uncounted = 0;
    color = next;
}

}  // namespace morvex
