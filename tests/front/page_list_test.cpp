// The --pages list: its grammar, what each refusal says, and what a list
// selects in a file of a given length.
#include <gtest/gtest.h>

#include "front/page_list.h"
#include "svg/page_name.h"

namespace morvex {
namespace {

std::string selection(const char* text, uint32_t pages) {
    PageListParse parsed = parsePageList(text);
    if (!parsed.list) return "refused: " + parsed.error;
    PageListResolution r = resolvePageList(*parsed.list, pages);
    std::string s;
    for (uint32_t p = 1; p <= pages; ++p)
        if (r.selected[p - 1]) s += (s.empty() ? "" : " ") + std::to_string(p);
    EXPECT_EQ(r.count, static_cast<uint32_t>(std::count(r.selected.begin(), r.selected.end(), true)));
    if (!r.pastTheEnd.empty()) s += " | past: " + r.pastTheEnd;
    return s;
}

TEST(PageList, SelectsPositionsInFileOrderOnce) {
    struct Case {
        const char* list;
        uint32_t pages;
        std::string selected;
    };
    const Case cases[] = {
        {"all", 4, "1 2 3 4"},
        {" all ", 2, "1 2"},
        {"3", 5, "3"},
        {"1-3", 5, "1 2 3"},
        {"4-", 6, "4 5 6"},
        {"-2", 6, "1 2"},
        {"5,1,3", 6, "1 3 5"},
        {"2-4,3-5,4", 6, "2 3 4 5"},
        {"007", 9, "7"},
        {" 1 , 3 ", 3, "1 3"},
        {"6-6", 6, "6"},
        // Past the last page: named as written, the rest kept.
        {"2,9", 4, "2 | past: 9"},
        {"3-8", 4, "3 4 | past: 5-8"},
        {"7-", 4, " | past: 7-"},
        {"5-,1", 4, "1 | past: 5-"},
        {"3-", 4, "3 4"},
        {"-9", 4, "1 2 3 4 | past: 5-9"},
        {"all", 0, ""},
        {"1", 0, " | past: 1"},
    };
    for (const Case& c : cases) EXPECT_EQ(selection(c.list, c.pages), c.selected) << c.list;
}

TEST(PageList, RefusesWhatIsNotAList) {
    struct Case {
        const char* list;
        std::string error;
    };
    const Case cases[] = {
        {"", "the list is empty"},
        {"  ", "the list is empty"},
        {",", "item 1 is empty"},
        {"1,,3", "item 2 is empty"},
        {"1,", "item 2 is empty"},
        {"0", "0 is not a page position (the first page is 1)"},
        {"0-3", "0 is not a page position (the first page is 1)"},
        {"-0", "0 is not a page position (the first page is 1)"},
        {"5-3", "the range 5-3 runs backwards"},
        {"2147483648", "2147483648 is past the largest position, 2147483647"},
        {"1-99999999999999999999", "99999999999999999999 is past the largest position, 2147483647"},
        {"-", "\"-\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"abc", "\"abc\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"+3", "\"+3\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"1-2-3", "\"1-2-3\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"all,2", "\"all\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"1 2", "\"1 2\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"3.5", "\"3.5\" is not a page position, a range (1-5, 7-, -4) or all"},
        {"1;2", "\"1;2\" is not a page position, a range (1-5, 7-, -4) or all"},
    };
    for (const Case& c : cases) {
        PageListParse parsed = parsePageList(c.list);
        EXPECT_FALSE(parsed.list) << c.list;
        EXPECT_EQ(parsed.error, c.error) << c.list;
    }
    EXPECT_TRUE(parsePageList("2147483647").list);
}

TEST(PageName, PercentPIsThePositionAndPercentPercentAPercentSign) {
    struct Case {
        const char* pattern;
        bool each;
        std::string name;  // for position 12
    };
    const Case cases[] = {
        {"page-%p.svg", true, "page-12.svg"},
        {"%p", true, "12"},
        {"a%%b-%p.svg", true, "a%b-12.svg"},
        {"%p-%p.svg", true, "12-12.svg"},
        {"%%p.svg", false, "%p.svg"},
        {"out.svg", false, "out.svg"},
        {"100%.svg", false, "100%.svg"},
        {"x%d%p", true, "x%d12"},
        {"end%", false, "end%"},
        {"%%%p", true, "%12"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(namesEachPage(c.pattern), c.each) << c.pattern;
        EXPECT_EQ(pageFileName(c.pattern, 12), c.name) << c.pattern;
    }
}

}  // namespace
}  // namespace morvex
