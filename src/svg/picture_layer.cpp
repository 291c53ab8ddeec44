#include "svg/picture_layer.h"

#include "base/printable.h"
#include "pictures/job_assembly.h"
#include "specials/preview_special.h"

namespace morvex {

namespace {

// How much of a special a message shows.
constexpr size_t kExcerptBytes = 40;

bool sameState(const pictures::EndState& x, const pictures::EndState& y) {
    const pictures::Affine& p = x.transform;
    const pictures::Affine& q = y.transform;
    return p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d && p.e == q.e && p.f == q.f && x.clip == y.clip &&
           x.invisible == y.invisible && x.alpha == y.alpha;
}

bool isHeader(const pictures::ParsedSpecial& parsed) {
    return parsed.special && (parsed.special->kind == pictures::SpecialKind::Header ||
                              parsed.special->kind == pictures::SpecialKind::Literal);
}

// Both passes number the specials of the selected pages alike: headers
// are not among them.
bool isHeader(std::string_view text) { return isHeader(pictures::parsePictureSpecial(text)); }

std::string pageName(int32_t count0) { return "page " + std::to_string(count0); }

}  // namespace

std::string specialExcerpt(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    std::string shown = printable(text.substr(0, kExcerptBytes));
    if (text.size() > kExcerptBytes) shown += "...";
    return shown;
}

PictureCollector::PictureCollector(pictures::FileAccess access, const pictures::JobFrame& frame)
    : access(std::move(access)), builder(frame) {
    for (const std::string& missing : pictures::addPrologues(builder))
        refused.push_back("the prologue " + missing + " is not in the TeX installation");
}

void PictureCollector::attach(PageBuilder& b) {
    pages = &b;
    for (const char* prefix : kPicturePrefixes) b.specials().add(prefix, *this);
}

void PictureCollector::header(const pictures::PictureSpecial& special) {
    // dvips writes the literal headers one after another into one block
    // of its prologue, where one may go on into the next (the preview
    // package opens a string in one and closes it two later).
    if (special.kind == pictures::SpecialKind::Literal) {
        literals += special.code;
        literals += '\n';
        return;
    }
    if (std::string why = pictures::addHeaderSpecial(builder, special, access); !why.empty())
        refused.push_back(printable(why));
}

void PictureCollector::special(const SpecialEvent& event, bool selected) {
    const pictures::ParsedSpecial parsed = pictures::parsePictureSpecial(event.text);
    // Headers of every page, in order, as dvips puts them in its prologue.
    if (isHeader(parsed)) {
        if (event.complete()) header(*parsed.special);
        return;
    }
    if (!selected) return;
    const uint64_t number = specials++;
    if (!event.complete()) return;
    if (!parsed.special) {
        if (!parsed.problem.empty()) refused.push_back(printable(parsed.problem));
        return;
    }
    // The preview package's box is the page box's, not a picture.
    if (readPreviewSpecial(event.text)) return;
    pending.push_back({*parsed.special, event.h, event.v, pages ? pages->currentColor() : Rgb{}, number});
}

void PictureCollector::page(PageModel& model) {
    if (pending.empty()) return;
    ++pagesWithPictures;
    pagePositions.push_back(model.position);
    builder.beginPage(model.count0);
    std::optional<Rgb> color;
    for (const Pending& p : pending) {
        if (!color || !(*color == p.color)) {
            color = p.color;
            builder.color(p.h, p.v, p.color.r / 255.0, p.color.g / 255.0, p.color.b / 255.0);
        }
        if (std::string why = pictures::addPageSpecial(builder, p.special, p.h, p.v, access, p.number + 1);
            !why.empty())
            refused.push_back(pageName(model.count0) + ": " + printable(why));
    }
    builder.endPage();
    pending.clear();
}

pictures::Job PictureCollector::job(std::vector<std::optional<size_t>>& chunkOf) const {
    pictures::JobBuilder all = builder;
    if (!literals.empty()) all.literal(literals);
    pictures::Job job = all.finish();
    chunkOf.assign(specials, std::nullopt);
    for (size_t i = 0; i < job.chunks.size(); ++i) {
        const pictures::Chunk& c = job.chunks[i];
        if ((c.kind == pictures::ChunkKind::Special || c.kind == pictures::ChunkKind::Figure) && c.tag > 0 &&
            c.tag <= specials)
            chunkOf[c.tag - 1] = i;
    }
    return job;
}

PictureDrawer::PictureDrawer(const pictures::Job& job, const pictures::Report& report,
                             std::vector<std::optional<size_t>> chunkOf, PictureMarkup& markup, bool ownDocuments,
                             std::FILE* log)
    : job(job), report(report), chunkOf(std::move(chunkOf)), markup(markup), ownDocuments(ownDocuments), log(log) {}

void PictureDrawer::attach(PageBuilder& b) {
    pages = &b;
    for (const char* prefix : kPicturePrefixes) b.specials().add(prefix, *this);
}

// pdfmark's links and destinations, in TeX points from the DVI origin.
void PictureDrawer::marks(const pictures::ChunkReport& r) {
    for (const pictures::Link& l : r.links) {
        if (l.kind != 'D' && l.kind != 'U') {
            std::fprintf(log, "\nPictures: a link of no kind the document can follow is left out");
            continue;
        }
        LinkArea area;
        area.area.add(l.x0 - kPictureOrigin, l.y0 - kPictureOrigin);
        area.area.add(l.x1 - kPictureOrigin, l.y1 - kPictureOrigin);
        area.kind = l.kind == 'D' ? LinkKind::Destination : LinkKind::Address;
        area.target = l.target;
        pages->addLink(std::move(area));
    }
    for (const pictures::Destination& d : r.destinations) {
        std::optional<std::pair<double, double>> where;
        if (d.placed) where.emplace(d.x - kPictureOrigin, d.y - kPictureOrigin);
        pages->addAnchor(Anchor{d.name, where});
    }
}

void PictureDrawer::special(const SpecialEvent& event, bool selected) {
    if (!selected || pages == nullptr || isHeader(event.text)) return;
    const uint64_t number = specials++;
    if (number >= chunkOf.size() || !chunkOf[number]) return;
    const size_t chunk = *chunkOf[number];
    if (chunk >= report.chunks.size() || chunk >= job.chunks.size()) return;
    if (job.chunks[chunk].page != page) {
        page = job.chunks[chunk].page;
        markup.beginPage(ownDocuments);
        state.reset();
    }
    const pictures::ChunkReport& r = report.chunks[chunk];
    marks(r);
    DrawnMarkup drawn = markup.paints(r.paints);
    // The paint is drawn outside the glyphs' frame, which opens again after it.
    const bool drew = !drawn.elements.empty();
    pages->addMarkup(std::move(drawn));
    // A chunk that did not end (left out, or cut short) leaves the frame as it was.
    const bool changed = r.end && !(state && sameState(*state, *r.end));
    if (changed) state = *r.end;
    if (!changed && !drew) return;
    if (!state) return;
    DrawnMarkup defs;
    ItemFrame next = markup.frame(*state, defs.elements);
    pages->addMarkup(std::move(defs));
    // Set again after paint, even plain: the frame before it has ended.
    pages->setFrame(std::move(next));
}

}  // namespace morvex
