#pragma once
// The link layer of a --paths page, drawn over everything else so that it
// changes nothing of what is drawn: each link area an <a> around an
// invisible rectangle that takes the pointer, each named place an empty
// rectangle with an id.
//
// A place's id is "mvx-", the DVI file's name (without directory and
// ".dvi"), "_-" and the place's name, both with letters, digits, '-' and
// '.' kept and every other byte as _XX: the place "section.1" of
// paper.dvi is "mvx-paper_-section.1". Documents of other DVI files
// pasted into one HTML page do not share ids, and no place's id is a
// glyph's (those never hold "_-").
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "svg/page_model.h"

namespace morvex {

// The named places of the pages written: the position of the first page
// that names each.
class AnchorIndex {
public:
    void add(const std::string& name, uint64_t position) { pages.try_emplace(name, position); }
    std::optional<uint64_t> find(const std::string& name) const {
        auto it = pages.find(name);
        if (it == pages.end()) return std::nullopt;
        return it->second;
    }

private:
    std::unordered_map<std::string, uint64_t> pages;
};

// The part of the ids that names the document: the DVI file's name
// without its directory and a final ".dvi".
std::string idStemOf(std::string_view dviPath);
std::string anchorId(std::string_view stem, std::string_view name);

// How a document of a page refers to the document of another page, both
// named as written: the name relative to the first's directory, its bytes
// other than letters, digits, "-._~/" as %XX; none when no relative name
// can say it (the first's directory leaves by "..").
std::optional<std::string> pageReference(std::string_view from, std::string_view to);

// What the run's documents share for their links.
struct LinkSettings {
    std::string idStem;
    AnchorIndex anchors;
    std::string pattern;     // the page documents' names; "": one document holds all pages
    std::FILE* err = nullptr;  // refused addresses are told here
};

class LinkLayer {
public:
    LinkLayer(const LinkSettings& settings, std::FILE* log) : settings(settings), log(log) {}

    // Appends the page's places and links to line, in TeX points moved by
    // (x, y) from the DVI origin.
    void write(std::string& line, const PageModel& page, double x, double y);

private:
    std::optional<std::string> href(const LinkArea& link, const PageModel& page);
    std::optional<std::string> destination(const LinkArea& link, const PageModel& page);

    const LinkSettings& settings;
    std::FILE* const log;
};

}  // namespace morvex
