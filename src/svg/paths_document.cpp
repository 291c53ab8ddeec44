#include "svg/paths_document.h"

namespace morvex {

PathsDocument::PathsDocument(FileHandle svg, std::FILE* log, std::FILE* out)
    : svg(std::move(svg)), log(log), out(out) {}

void PathsDocument::head() {}
void PathsDocument::prologue(const DviFrame&, int32_t) {}
void PathsDocument::end(const std::map<std::string, FontOutlines>&) {}

bool PathsDocument::close() { return closeChecked(svg); }

void PathsDocument::pageBegin(int32_t) {}
void PathsDocument::pageEnd() {}
void PathsDocument::fontSelect(int32_t) {}
void PathsDocument::character(const CharEvent&) {}
void PathsDocument::rule(const RuleEvent&) {}
void PathsDocument::movement(int32_t, int32_t) {}
void PathsDocument::special(std::string_view, uint64_t) {}
void PathsDocument::plain(PlainCommand) {}

}  // namespace morvex
