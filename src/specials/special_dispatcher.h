#pragma once
// Specials handed to the handler of their prefix: a writer registers one
// handler per kind of special it acts on (colour, and whatever comes next:
// PostScript, page size, links), each by the prefix that names its kind.
#include <string>
#include <string_view>
#include <vector>

#include "base/page_events.h"

namespace morvex {

class SpecialHandler {
public:
    virtual ~SpecialHandler() = default;
    // A special that begins with the handler's prefix; selected tells
    // whether its page is one the document shows.
    virtual void special(const SpecialEvent& special, bool selected) = 0;
};

class SpecialDispatcher {
public:
    // Specials that begin with prefix, after any leading blanks, go to
    // handler; where prefixes overlap ("ps:" and "ps::") the longest wins,
    // and handlers of the same prefix all read it, in the order added.
    // The handler must outlive the dispatcher.
    void add(std::string prefix, SpecialHandler& handler);

    // Hands the special to its handler; false when none takes it.
    bool dispatch(const SpecialEvent& special, bool selected) const;

private:
    std::vector<std::pair<std::string, SpecialHandler*>> handlers;
};

}  // namespace morvex
