// The hypertex specials: the tags as hyperref's hypertex driver and plain
// TeX macros write them, in the spellings the old convention allows, and
// the handler's account of which link is open through unbalanced, nested,
// cut and unselected specials.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "specials/hypertex_handler.h"
#include "specials/hypertex_special.h"
#include "specials/special_dispatcher.h"
#include "support/bytes.h"

namespace morvex {
namespace {

using testing::Bytes;
using testing::OutCapture;

TEST(HypertexSpecial, ReadsTheTagsInTheirSpellings) {
    struct Case {
        std::string special;
        HypertexTag tag;
        const char* href;  // null: none
        const char* name;
    };
    const std::vector<Case> cases = {
        // As hypertex.def writes them.
        {"html:<a href=\"https://example.org/a?b=1&c=2\">", HypertexTag::Open, "https://example.org/a?b=1&c=2",
         nullptr},
        {"html:<a href=\"#section.1\">", HypertexTag::Open, "#section.1", nullptr},
        {"html:<a name=\"page.1\">", HypertexTag::Open, nullptr, "page.1"},
        {"html:</a>", HypertexTag::Close, nullptr, nullptr},
        // Case, blanks, quotes.
        {"HTML:<A HREF=\"x.html\">", HypertexTag::Open, "x.html", nullptr},
        {"  html: < a  href = 'x y.html' > ", HypertexTag::Open, "x y.html", nullptr},
        {"html:<a href=plain.html>", HypertexTag::Open, "plain.html", nullptr},
        {"html:<a NAME=\"n\" href=\"#m\">", HypertexTag::Open, "#m", "n"},
        {"html:<a href=\"a>b\" title=\"t\">", HypertexTag::Open, "a>b", nullptr},
        {"html:<a href=\"\">", HypertexTag::Open, "", nullptr},
        {"html:<a href=\"first\" href=\"second\">", HypertexTag::Open, "first", nullptr},
        {"html:<a>", HypertexTag::Open, nullptr, nullptr},
        {"html:<a href=\"x\"", HypertexTag::Open, "x", nullptr},
        {"html:< / A >", HypertexTag::Close, nullptr, nullptr},
        {"html:</a", HypertexTag::Close, nullptr, nullptr},
        // Not these tags.
        {"html:<base href=\"http://tug.org/\">", HypertexTag::Other, nullptr, nullptr},
        {"html:<img src=\"x.png\">", HypertexTag::Other, nullptr, nullptr},
        {"html:<abbr>", HypertexTag::Other, nullptr, nullptr},
        {"html:<ahref=\"x\">", HypertexTag::Other, nullptr, nullptr},
        {"html:<a href=\"unclosed>", HypertexTag::Other, nullptr, nullptr},
        {"html:<a href>", HypertexTag::Other, nullptr, nullptr},
        {"html:<a href=\"x\"> text after", HypertexTag::Other, nullptr, nullptr},
        {"html:</a> text", HypertexTag::Other, nullptr, nullptr},
        {"html:</b>", HypertexTag::Other, nullptr, nullptr},
        {"html:", HypertexTag::Other, nullptr, nullptr},
        {"html:a href=\"x\"", HypertexTag::Other, nullptr, nullptr},
        {"ps:<a href=\"x\">", HypertexTag::Other, nullptr, nullptr},
        {"", HypertexTag::Other, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const HypertexSpecial s = readHypertexSpecial(c.special);
        EXPECT_EQ(s.tag, c.tag) << c.special;
        if (s.tag != HypertexTag::Open) continue;
        EXPECT_EQ(s.href.has_value(), c.href != nullptr) << c.special;
        if (s.href && c.href) {
            EXPECT_EQ(*s.href, c.href) << c.special;
        }
        EXPECT_EQ(s.name.has_value(), c.name != nullptr) << c.special;
        if (s.name && c.name) {
            EXPECT_EQ(*s.name, c.name) << c.special;
        }
    }
}

TEST(HypertexSpecial, KeepsAnyBytesOfAValue) {
    const std::string value = std::string("a\0b\xff\x01<&'", 9) + std::string(5000, 'x');
    Bytes special;
    special.text("html:<a href=\"").text(value).text("\">");
    const HypertexSpecial s = readHypertexSpecial(special.str());
    ASSERT_EQ(s.tag, HypertexTag::Open);
    ASSERT_TRUE(s.href);
    EXPECT_EQ(*s.href, value);
}

// What the handler tells, one line an event.
struct Listener final : HypertexListener {
    std::vector<std::string> events;
    void linkStarts(const HypertexLink& link) override {
        events.push_back(std::string(link.internal ? "internal " : "address ") + link.target);
    }
    void linkEnds() override { events.push_back("end"); }
    void place(std::string_view name, int32_t h, int32_t v) override {
        events.push_back("place " + std::string(name) + " " + std::to_string(h) + "," + std::to_string(v));
    }
};

struct HandlerRun {
    OutCapture log;
    Listener listener;
    HypertexHandler handler{listener, log.f, "Paths: "};
    SpecialDispatcher dispatcher;
    HandlerRun() {
        dispatcher.add(HypertexHandler::kPrefix, handler);
        dispatcher.add(HypertexHandler::kUpperPrefix, handler);
    }
    // Each special at (10, 20), on a converted page unless it says "off:".
    std::vector<std::string> play(const std::vector<std::string>& specials) {
        for (const std::string& s : specials) {
            const bool selected = s.rfind("off:", 0) != 0;
            const std::string text = selected ? s : s.substr(4);
            dispatcher.dispatch({10, 20, text, text.size()}, selected);
        }
        return listener.events;
    }
};

TEST(HypertexHandler, FollowsTheOpenLinkThroughAnyOrderOfTags) {
    struct Case {
        const char* what;
        std::vector<std::string> specials;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"a link and a place",
         {"html:<a href=\"http://x.org/\">", "html:</a>", "html:<a name=\"p\">", "html:</a>"},
         {"address http://x.org/", "end", "place p 10,20"}},
        {"an internal link loses its #", {"html:<a href=\"#sec\">", "html:</a>"}, {"internal sec", "end"}},
        {"a lone # is the place without a name", {"html:<a href=\"#\">", "html:</a>"}, {"internal ", "end"}},
        {"an end with nothing open", {"html:</a>", "html:</a>"}, {}},
        {"a link while one is open ends it",
         {"html:<a href=\"a\">", "html:<a href=\"b\">", "html:</a>", "html:</a>"},
         {"address a", "end", "address b", "end"}},
        {"a place inside a link: its end does not end the link",
         {"html:<a href=\"a\">", "html:<a name=\"p\">", "html:</a>", "html:</a>"},
         {"address a", "place p 10,20", "end"}},
        {"a link inside a place",
         {"html:<a name=\"p\">", "html:<a href=\"a\">", "html:</a>", "html:</a>", "html:</a>"},
         {"place p 10,20", "address a", "end"}},
        {"a tag with both",
         {"html:<a name=\"p\" href=\"#q\">", "html:</a>"},
         {"place p 10,20", "internal q", "end"}},
        {"an empty <a> is matched by its end",
         {"html:<a href=\"a\">", "html:<a>", "html:</a>", "html:</a>"},
         {"address a", "end"}},
        {"other tags are ignored", {"html:<base href=\"x\">", "html:<img src=\"y\">"}, {}},
        {"a link opened on a page not converted goes on",
         {"off:html:<a href=\"a\">", "html:</a>"},
         {"address a", "end"}},
        {"a place on a page not converted is not told",
         {"off:html:<a name=\"p\">", "off:html:</a>", "html:</a>"},
         {}},
        {"the upper case prefix", {"HTML:<A HREF=\"a\">", "HTML:</A>"}, {"address a", "end"}},
    };
    for (const Case& c : cases) {
        HandlerRun run;
        EXPECT_EQ(run.play(c.specials), c.events) << c.what;
    }
}

TEST(HypertexHandler, TracesWhatItIgnoresAndLeavesCutSpecialsAlone) {
    HandlerRun run;
    const std::string cut = "html:<a href=\"a\">";
    run.handler.special({0, 0, cut, cut.size() + 5}, true);
    EXPECT_TRUE(run.listener.events.empty());
    const std::string longTag = "html:<img src=\"" + std::string(300, 'y') + "\x01\">";
    run.play({"html:</a>", longTag});
    const std::string trace = run.log.str();
    EXPECT_NE(trace.find("Paths: html special ignored (an end with nothing open): html:</a>"), std::string::npos)
        << trace;
    // Bounded and printable.
    EXPECT_NE(trace.find("html:<img src=\"yyyy"), std::string::npos) << trace;
    EXPECT_EQ(trace.find(std::string(100, 'y')), std::string::npos) << trace;
    EXPECT_NE(trace.find("..."), std::string::npos) << trace;
}

}  // namespace
}  // namespace morvex
