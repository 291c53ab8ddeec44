#pragma once
// The colour specials of dvips and of the color and xcolor packages:
// "color push <colour>", "color pop" and "color <colour>", where a colour
// is "rgb R G B", "cmyk C M Y K", "gray G" or one of dvips's named colours.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace morvex {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// A colour in the notation of the specials ("rgb 1 0 0", "Red"); nullopt
// for an unknown model or name, a value that is no number, or a wrong
// count. Values beyond 0..1 are clamped, as PostScript clamps them.
std::optional<Rgb> parseColor(std::string_view text);

// The named colours of dvips (color.pro), as CMYK, by their exact name.
struct NamedColor {
    const char* name;
    double c, m, y, k;
};
const std::vector<NamedColor>& namedColors();

// CMYK to RGB as PostScript converts it: each of R, G, B is one less the
// sum of its complement and black, at least 0.
Rgb cmykToRgb(double c, double m, double y, double k);

enum class ColorCommand {
    NotColor,   // not a colour special: left alone
    Push,       // colour holds the new colour, or nullopt when malformed
    Pop,
    Set,        // colour as for Push
};

struct ColorSpecial {
    ColorCommand command = ColorCommand::NotColor;
    std::optional<Rgb> color;
};

ColorSpecial parseColorSpecial(std::string_view special);

// The colour stack of the pages, kept from one page to the next as dvips
// keeps it. Its depth is bounded: pushes beyond it are only counted, and
// their pops restore the colour in force when the stack became full.
class ColorStack {
public:
    static constexpr std::size_t kMaxDepth = 4096;

    Rgb current() const { return color; }
    void push(Rgb next);
    // False on an empty stack, which changes nothing.
    bool pop();
    // "color <colour>": the stack emptied and the colour set.
    void set(Rgb next);
    std::size_t depth() const { return saved.size() + uncounted; }

private:
    Rgb color;
    std::vector<Rgb> saved;     // the colour before each push kept
    std::size_t uncounted = 0;  // pushes beyond kMaxDepth
    Rgb beforeUncounted;
};

}  // namespace morvex
