// Specials reach the handlers of their prefix, the longest where prefixes
// overlap, after leading blanks; the colour handler follows the colour
// stack through specials of any length and leaves cut ones alone.
#include "specials/special_dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "specials/color_handler.h"
#include "support/bytes.h"

namespace morvex {
namespace {

using testing::OutCapture;

struct Recorder : SpecialHandler {
    std::vector<std::string> seen;
    void special(const SpecialEvent& s, bool selected) override {
        seen.push_back(std::string(s.text) + (selected ? "" : " (unselected)"));
    }
};

SpecialEvent event(std::string_view text) { return SpecialEvent{10, 20, text, text.size()}; }

TEST(SpecialDispatcher, EachSpecialGoesToTheHandlerOfItsPrefix) {
    Recorder ps, psLiteral, quote, color;
    SpecialDispatcher d;
    d.add("ps:", ps);
    d.add("ps::", psLiteral);
    d.add("\"", quote);
    d.add("color", color);
    struct Case {
        std::string text;
        Recorder* to;  // null: no handler takes it
    };
    const std::vector<Case> cases = {
        {"ps: 1 0 0 setrgbcolor", &ps},  {"ps::[begin] 10 10 moveto", &psLiteral},
        {" \t\nps:: x", &psLiteral},     {"\" newpath", &quote},
        {"color push Red", &color},      {"ps", nullptr},
        {"PS: upper case", nullptr},     {"html:<a href=\"x\">", nullptr},
        {"", nullptr},                   {"   ", nullptr},
    };
    for (const Case& c : cases) {
        std::vector<size_t> before = {ps.seen.size(), psLiteral.seen.size(), quote.seen.size(), color.seen.size()};
        EXPECT_EQ(d.dispatch(event(c.text), true), c.to != nullptr) << c.text;
        std::vector<size_t> after = {ps.seen.size(), psLiteral.seen.size(), quote.seen.size(), color.seen.size()};
        std::vector<Recorder*> all = {&ps, &psLiteral, &quote, &color};
        for (size_t i = 0; i < all.size(); ++i)
            EXPECT_EQ(after[i] - before[i], all[i] == c.to ? 1u : 0u) << c.text << " handler " << i;
    }
    EXPECT_EQ(psLiteral.seen[1], " \t\nps:: x");  // the whole text, blanks included
    d.dispatch(event("ps: on another page"), false);
    EXPECT_EQ(ps.seen.back(), "ps: on another page (unselected)");
}

// Handlers of one prefix all read its specials, in the order added (the
// preview box and the pictures share "ps::"); a longer prefix still wins.
TEST(SpecialDispatcher, HandlersOfOnePrefixAllReadIt) {
    Recorder first, second, shorter;
    SpecialDispatcher d;
    d.add("ps:", shorter);
    d.add("ps::", first);
    d.add("ps::", second);
    EXPECT_TRUE(d.dispatch(event("ps:: 1 2 3 4 5 6 7"), true));
    EXPECT_EQ(first.seen, std::vector<std::string>{"ps:: 1 2 3 4 5 6 7"});
    EXPECT_EQ(second.seen, first.seen);
    EXPECT_TRUE(shorter.seen.empty());
    EXPECT_TRUE(d.dispatch(event("ps: x"), true));
    EXPECT_EQ(shorter.seen.size(), 1u);
    EXPECT_EQ(first.seen.size(), 1u);
}

// A colour push longer than any buffer of old still counts; a special cut
// short by the end of the file does not.
TEST(ColorHandler, LongSpecialsCountAndCutOnesDoNot) {
    OutCapture log;
    ColorHandler colors(log.f, "Test: ");
    SpecialDispatcher d;
    d.add(ColorHandler::kPrefix, colors);
    const std::string longPush = "color push rgb 0 0 1" + std::string(8000, ' ');
    d.dispatch(event(longPush), true);
    EXPECT_EQ(colors.current(), (Rgb{0, 0, 255}));
    d.dispatch(SpecialEvent{0, 0, "color push rgb 1 0 0", 100}, true);
    EXPECT_EQ(colors.current(), (Rgb{0, 0, 255}));
    d.dispatch(event("color pop"), false);
    EXPECT_EQ(colors.current(), (Rgb{0, 0, 0}));
    d.dispatch(event("colorful words"), true);
    d.dispatch(event("color pop"), true);
    EXPECT_EQ(log.str(), "\nTest: color pop on an empty color stack ignored");
}

}  // namespace
}  // namespace morvex
