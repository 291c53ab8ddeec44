#include "front/page_list.h"

#include <algorithm>

namespace morvex {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view s) {
    const size_t from = s.find_first_not_of(kBlanks);
    if (from == std::string_view::npos) return {};
    return s.substr(from, s.find_last_not_of(kBlanks) - from + 1);
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A position of an item; error set when it is not one.
std::optional<uint32_t> position(std::string_view digits, std::string& error) {
    uint64_t value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > kMaxPagePosition) {
            error = std::string(digits) + " is past the largest position, " + std::to_string(kMaxPagePosition);
            return std::nullopt;
        }
    }
    if (value == 0) {
        error = "0 is not a page position (the first page is 1)";
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<PageRange> item(std::string_view text, std::string& error) {
    const auto notAnItem = [&] {
        error = "\"" + std::string(text) + "\" is not a page position, a range (1-5, 7-, -4) or all";
        return std::nullopt;
    };
    const size_t dash = text.find('-');
    const std::string_view from = dash == std::string_view::npos ? text : text.substr(0, dash);
    const std::string_view to = dash == std::string_view::npos ? std::string_view() : text.substr(dash + 1);
    if (dash == std::string_view::npos) {
        if (!allDigits(text)) return notAnItem();
        auto p = position(text, error);
        if (!p) return std::nullopt;
        return PageRange{*p, *p, false};
    }
    if ((from.empty() && to.empty()) || (!from.empty() && !allDigits(from)) || (!to.empty() && !allDigits(to)))
        return notAnItem();
    PageRange range;
    if (!from.empty()) {
        auto p = position(from, error);
        if (!p) return std::nullopt;
        range.first = *p;
    }
    if (to.empty()) {
        range.openEnd = true;
        return range;
    }
    auto p = position(to, error);
    if (!p) return std::nullopt;
    range.last = *p;
    if (range.last < range.first) {
        error = "the range " + std::string(text) + " runs backwards";
        return std::nullopt;
    }
    return range;
}

void appendSpan(std::string& text, uint64_t first, uint64_t last, bool openEnd) {
    if (!text.empty()) text += ", ";
    text += std::to_string(first);
    if (openEnd)
        text += "-";
    else if (last != first)
        text += "-" + std::to_string(last);
}

}  // namespace

PageListParse parsePageList(std::string_view text) {
    PageListParse result;
    if (trimmed(text).empty()) {
        result.error = "the list is empty";
        return result;
    }
    if (trimmed(text) == "all") {
        result.list = PageList{{PageRange{1, kMaxPagePosition, true}}, true};
        return result;
    }
    PageList list;
    size_t number = 0;
    for (size_t at = 0; at <= text.size();) {
        size_t comma = text.find(',', at);
        if (comma == std::string_view::npos) comma = text.size();
        const std::string_view piece = trimmed(text.substr(at, comma - at));
        ++number;
        if (piece.empty()) {
            result.error = "item " + std::to_string(number) + " is empty";
            return result;
        }
        std::optional<PageRange> range = item(piece, result.error);
        if (!range) return result;
        list.ranges.push_back(*range);
        at = comma + 1;
    }
    result.list = std::move(list);
    return result;
}

PageListResolution resolvePageList(const PageList& list, uint32_t pageCount) {
    PageListResolution r;
    r.selected.assign(pageCount, false);
    for (const PageRange& range : list.ranges) {
        const uint32_t last = std::min(range.last, pageCount);
        for (uint32_t p = range.first; p <= last; ++p) r.selected[p - 1] = true;
        // What lies past the end, said as it was written: an open range
        // only when it starts there.
        if (list.all)
            continue;
        if (range.first > pageCount)
            appendSpan(r.pastTheEnd, range.first, range.last, range.openEnd);
        else if (!range.openEnd && range.last > pageCount)
            appendSpan(r.pastTheEnd, uint64_t{pageCount} + 1, range.last, false);
    }
    r.count = static_cast<uint32_t>(std::count(r.selected.begin(), r.selected.end(), true));
    return r;
}

}  // namespace morvex
