// The colour specials of dvips and the color/xcolor packages: what each form
// reads as, the named colours against the installed dvipsnam.def, and the
// colour stack.
#include "specials/color_special.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "support/process.h"

namespace morvex {
namespace {

using testing::readFile;
using testing::runProcess;

std::string show(const std::optional<Rgb>& c) {
    if (!c) return "none";
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x", c->r, c->g, c->b);
    return buf;
}

const char* show(ColorCommand c) {
    switch (c) {
        case ColorCommand::NotColor: return "not";
        case ColorCommand::Push: return "push";
        case ColorCommand::Pop: return "pop";
        case ColorCommand::Set: return "set";
    }
    return "?";
}

TEST(ColorSpecial, FormsAndValues) {
    struct Case {
        const char* special;
        ColorCommand command;
        const char* color;  // rrggbb, or "none" for a colour that cannot be read
    };
    const Case cases[] = {
        {"color push rgb 1 0 0", ColorCommand::Push, "ff0000"},
        {"color push cmyk 0 1 1 0", ColorCommand::Push, "ff0000"},
        // PostScript's conversion: each channel one less its complement
        // and black, at least 0.
        {"color push cmyk 0.64 0 0.95 0.40", ColorCommand::Push, "009900"},
        {"color push gray 0.5", ColorCommand::Push, "808080"},
        {"color push Red", ColorCommand::Push, "ff0000"},
        {"color push OliveGreen", ColorCommand::Push, "009900"},
        {"color push Black", ColorCommand::Push, "000000"},
        {"color pop", ColorCommand::Pop, "none"},
        {"color rgb 0 0 1", ColorCommand::Set, "0000ff"},
        {"color Blue", ColorCommand::Set, "0000ff"},
        {"  color \t push  rgb  0 .5 +1 ", ColorCommand::Push, "0080ff"},
        // Beyond 0..1 clamped, as setrgbcolor clamps.
        {"color push rgb 1.5 -1 0.5", ColorCommand::Push, "ff0080"},
        // Malformed colours: the command stands, the colour does not.
        {"color push rgb 1 0", ColorCommand::Push, "none"},
        {"color push rgb 1 0 0 0", ColorCommand::Push, "none"},
        {"color push rgb a b c", ColorCommand::Push, "none"},
        {"color push rgb nan 0 0", ColorCommand::Push, "none"},
        {"color push rgb inf 0 0", ColorCommand::Push, "none"},
        {"color push rgb 1e999 0 0", ColorCommand::Push, "none"},
        {"color push rgb 0x1 0 0", ColorCommand::Push, "none"},
        {"color push rgb 1..0 0 0", ColorCommand::Push, "none"},
        {"color push Crimson", ColorCommand::Push, "none"},
        {"color push red", ColorCommand::Push, "none"},
        {"color push Red 1", ColorCommand::Push, "none"},
        {"color push", ColorCommand::Push, "none"},
        {"color push hsb 0 1 1", ColorCommand::Push, "none"},
        {"color", ColorCommand::Set, "none"},
        {"color gray", ColorCommand::Set, "none"},
        // Not colour specials at all.
        {"colorful", ColorCommand::NotColor, "none"},
        {"background rgb 1 0 0", ColorCommand::NotColor, "none"},
        {"ps: 1 0 0 setrgbcolor", ColorCommand::NotColor, "none"},
        {"", ColorCommand::NotColor, "none"},
        {"Color push rgb 1 0 0", ColorCommand::NotColor, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.special);
        ColorSpecial s = parseColorSpecial(c.special);
        EXPECT_STREQ(show(s.command), show(c.command));
        EXPECT_EQ(show(s.color), c.color);
    }
    // A zero byte is no white space: the special is not a colour.
    EXPECT_EQ(parseColorSpecial(std::string_view("color\0push rgb 1 0 0", 20)).command, ColorCommand::NotColor);
}

// The names and CMYK values of dvips's colours, as the LaTeX installation's
// dvipsnam.def defines them for the color package.
TEST(ColorSpecial, NamedColorsAreThoseOfTheInstalledDvipsnamDef) {
    auto found = runProcess({"kpsewhich", "dvipsnam.def"}, "/");
    ASSERT_EQ(found.exitCode, 0) << "kpsewhich finds no dvipsnam.def";
    std::string path = found.out.substr(0, found.out.find('\n'));
    const std::string text = readFile(path);
    static const std::regex kDefinition(
        R"re(\\DefineNamedColor\{named\}\{([A-Za-z]+)\}\s*\{cmyk\}\{([0-9.]+),([0-9.]+),([0-9.]+),([0-9.]+)\})re");
    std::map<std::string, std::array<double, 4>> installed;
    for (std::sregex_iterator it(text.begin(), text.end(), kDefinition), end; it != end; ++it)
        installed[(*it)[1]] = {std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4]), std::stod((*it)[5])};
    ASSERT_GE(installed.size(), 60u) << "the definitions of " << path << " were not read";

    std::map<std::string, std::array<double, 4>> ours;
    for (const NamedColor& n : namedColors()) ours[n.name] = {n.c, n.m, n.y, n.k};
    EXPECT_EQ(ours.size(), namedColors().size()) << "a name stands twice";
    for (const auto& [name, cmyk] : installed) {
        SCOPED_TRACE(name);
        auto it = ours.find(name);
        ASSERT_NE(it, ours.end()) << "missing";
        for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(it->second[i], cmyk[i]);
        EXPECT_EQ(show(parseColor(name)), show(cmykToRgb(cmyk[0], cmyk[1], cmyk[2], cmyk[3])));
    }
    for (const auto& [name, cmyk] : ours) EXPECT_TRUE(installed.count(name)) << name << " is not in " << path;
}

TEST(ColorStack, PushPopAndSet) {
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, black{};
    ColorStack s;
    EXPECT_EQ(s.current(), black);
    s.push(red);
    s.push(green);
    EXPECT_EQ(s.current(), green);
    EXPECT_EQ(s.depth(), 2u);
    EXPECT_TRUE(s.pop());
    EXPECT_EQ(s.current(), red);
    // A set empties the stack: a pop after it finds nothing.
    s.set(blue);
    EXPECT_EQ(s.depth(), 0u);
    EXPECT_FALSE(s.pop());
    EXPECT_EQ(s.current(), blue);
    s.push(red);
    EXPECT_TRUE(s.pop());
    EXPECT_EQ(s.current(), blue);
    EXPECT_FALSE(s.pop());
    EXPECT_EQ(s.current(), blue);
}

TEST(ColorStack, DepthIsBoundedAndPopsStillMatch) {
    const Rgb red{255, 0, 0}, green{0, 255, 0}, black{};
    ColorStack s;
    for (size_t i = 0; i < ColorStack::kMaxDepth; ++i) s.push(red);
    s.push(green);
    for (int i = 0; i < 100000; ++i) s.push(green);
    EXPECT_EQ(s.depth(), ColorStack::kMaxDepth + 100001);
    EXPECT_EQ(s.current(), green);
    // The pushes beyond the bound come back to the colour in force when the
    // stack became full, then every kept push comes back in order.
    for (int i = 0; i < 100001; ++i) ASSERT_TRUE(s.pop());
    EXPECT_EQ(s.current(), red);
    for (size_t i = 0; i < ColorStack::kMaxDepth; ++i) ASSERT_TRUE(s.pop());
    EXPECT_EQ(s.current(), black);
    EXPECT_FALSE(s.pop());
}

}  // namespace
}  // namespace morvex
