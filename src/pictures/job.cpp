#include "pictures/job.h"

#include <algorithm>
#include <set>

namespace morvex::pictures {

std::vector<std::string> Job::files() const {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const Chunk& c : chunks)
        if ((c.kind == ChunkKind::HeaderFile || c.kind == ChunkKind::Figure) && seen.insert(c.path).second)
            out.push_back(c.path);
    return out;
}

namespace {

Chunk chunk(ChunkKind kind, int page) {
    Chunk c;
    c.kind = kind;
    c.page = page;
    return c;
}

}  // namespace

void JobBuilder::headerFile(const std::string& path, const std::string& pre, const std::string& post) {
    if (!pre.empty()) headers.push_back(chunk(ChunkKind::HeaderCode, -1)), headers.back().code = pre;
    headers.push_back(chunk(ChunkKind::HeaderFile, -1)), headers.back().path = path;
    if (!post.empty()) headers.push_back(chunk(ChunkKind::HeaderCode, -1)), headers.back().code = post;
}

void JobBuilder::literal(const std::string& code, uint64_t tag) {
    Chunk c = chunk(ChunkKind::Literal, -1);
    c.code = code;
    c.tag = tag;
    literals.push_back(std::move(c));
}

void JobBuilder::beginPage(int32_t count0) {
    if (inPage) endPage();
    Chunk c = chunk(ChunkKind::PageBegin, pageCount);
    c.count0 = count0;
    pages.push_back(std::move(c));
    inPage = true;
}

void JobBuilder::special(SpecialKind kind, int32_t h, int32_t v, const std::string& code, uint64_t tag) {
    if (!inPage) return;
    Chunk c = chunk(ChunkKind::Special, pageCount);
    c.special = kind;
    c.code = code;
    c.h = h, c.v = v, c.tag = tag;
    pages.push_back(std::move(c));
}

void JobBuilder::figure(int32_t h, int32_t v, const std::string& path, const FigureSection& section,
                        const std::vector<FigureParameter>& parameters, uint64_t tag) {
    if (!inPage) return;
    Chunk c = chunk(ChunkKind::Figure, pageCount);
    c.special = SpecialKind::Figure;
    c.path = path;
    c.code = figureParameterCode(parameters);
    c.section = section;
    c.h = h, c.v = v, c.tag = tag;
    pages.push_back(std::move(c));
}

void JobBuilder::color(int32_t h, int32_t v, double r, double g, double b, uint64_t tag) {
    if (!inPage) return;
    const auto unit = [](double x) { return std::clamp(x, 0.0, 1.0); };
    Chunk c = chunk(ChunkKind::Color, pageCount);
    c.rgb = {unit(r), unit(g), unit(b)};
    c.h = h, c.v = v, c.tag = tag;
    pages.push_back(std::move(c));
}

void JobBuilder::endPage() {
    if (!inPage) return;
    pages.push_back(chunk(ChunkKind::PageEnd, pageCount));
    inPage = false;
    ++pageCount;
}

Job JobBuilder::finish() const {
    JobBuilder done = *this;
    done.endPage();
    Job job;
    job.frame = frame;
    job.chunks = done.headers;
    job.chunks.insert(job.chunks.end(), done.literals.begin(), done.literals.end());
    if (!done.pages.empty()) {
        job.chunks.push_back(chunk(ChunkKind::Start, -1));
        job.chunks.insert(job.chunks.end(), done.pages.begin(), done.pages.end());
    }
    return job;
}

}  // namespace morvex::pictures
