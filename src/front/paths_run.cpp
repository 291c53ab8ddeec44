// The --paths run: two passes over the pages with one extraction of all
// their glyphs between them. The first pass, silent, gathers what every
// page must know before it is drawn (its glyphs, its box); the second
// traces, shows its progress and writes each page.
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "base/dvi_frame.h"
#include "fonts/page_glyphs.h"
#include "process/interrupt.h"
#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "front/page_choice.h"
#include "front/run_parts.h"
#include "text/glyph_list.h"
#include "svg/glyph_table.h"
#include "svg/page_gathering.h"
#include "svg/page_name.h"
#include "svg/paths_document.h"

namespace morvex {

namespace {

class PathsRun {
public:
    PathsRun(FileHandle svg, FileHandle dvi, FileHandle log, const Settings& settings, std::FILE* out)
        : svg(std::move(svg)), dvi(std::move(dvi)), log(std::move(log)), settings(settings), out(out) {}

    int run();

private:
    Result gather(const PageChoice& choice, PageGathering& gathering);
    Result extract(std::map<std::string, GeneratedFont>& glyphs);
    std::unique_ptr<PathsDocument> writer(const GlyphTable& table, std::vector<PlacedBox> placed,
                                          std::vector<uint64_t> named, AnchorIndex anchors);
    Result draw(const PageChoice& choice, PathsDocument& document, int& selected);
    int finish(Step step, const Result& result, PathsDocument* document);
    int finish(int code, PathsDocument* document);

    FileHandle svg;
    FileHandle dvi;
    FileHandle log;
    const Settings& settings;
    std::FILE* const out;
    DviFrame frame;
    long firstPage = 0;
    FontRegistry registry;
    // The documents' title, when the pages give one (hyperref's pdftitle
    // through the dvips driver; hypertex has none).
    std::optional<std::string> documentTitle;
};

double ptPerDviOf(const DviFrame& frame) {
    return std::isfinite(frame.ptPerDvi) ? static_cast<double>(frame.ptPerDvi) : 0.0;
}

// The box of the default document: the postamble's widest and tallest
// page with one inch of margin at the left and the top.
PageBox postambleBox(const DviFrame& frame) {
    PageBox box;
    box.width = frame.u * ptPerDviOf(frame) + box.originX;
    box.height = frame.l * ptPerDviOf(frame) + box.originY;
    return box;
}

int PathsRun::run() {
    const Result base = dvibase(frame, dvi.get(), log.get(), out);
    if (!base.ok()) {
        if (base.code != kDvibaseBadFntDef && base.code != kDvibaseNoBop) frame = DviFrame{};
        GlyphTable none(registry, nullptr, nullptr);
        std::unique_ptr<PathsDocument> document = writer(none, {}, {}, {});
        return finish(Step::Frame, base, document.get());
    }
    firstPage = std::ftell(dvi.get());
    const PageChoice choice = choosePages(settings, frame, out);
    PageGathering gathering(settings.bbox == BoxKind::Min);
    const Result gathered = gather(choice, gathering);

    // A run the pages cut short extracts no glyph; the second pass
    // reports the stop.
    std::map<std::string, GeneratedFont> glyphs;
    const Result glyphsResult = gathered.ok() ? extract(glyphs) : Result{};
    std::optional<GlyphList> names;
    if (!glyphs.empty()) {
        names = GlyphList::load();
        if (!names) std::fputs("\nPaths: glyphlist.txt not found; the text is that of the codes", log.get());
    }
    const GlyphTable table(registry, gathered.ok() ? &glyphs : nullptr, names ? &*names : nullptr);
    table.trace(registry, log.get());
    std::unique_ptr<PathsDocument> document =
        writer(table, gathering.boxes(settings.bbox, table, ptPerDviOf(frame), postambleBox(frame)), choice.positions,
               gathering.anchors());

    int selected = 0;
    const Result drawn = draw(choice, *document, selected);
    if (!drawn.ok()) return finish(Step::Pages, drawn, document.get());
    if (!glyphsResult.ok()) return finish(Step::Glyphs, glyphsResult, document.get());
    if (selected == 0) {
        sayNoPage(settings, out);
        return finish(kExitNoSuchPage, document.get());
    }
    return finish(kExitOk, document.get());
}

// The silent pass: neither trace nor progress, which the second pass gives.
Result PathsRun::gather(const PageChoice& choice, PageGathering& gathering) {
    FileHandle quietLog = discardingStream();
    FileHandle quietOut = discardingStream();
    PageInterpreter pages(choice.selector, frame.stackCapacity, quietLog.get(), quietOut.get());
    PageBuilder builder(registry, gathering, quietLog.get(), {settings.bbox == BoxKind::Min, false},
                        ptPerDviOf(frame));
    gathering.attach(builder);
    const Result r = pages.dvipage(dvi.get(), builder);
    builder.finish();
    return r;
}

// The glyphs of every page's fonts at once; a font whose glyphs could not
// be made is told of, and its characters draw nothing.
Result PathsRun::extract(std::map<std::string, GeneratedFont>& glyphs) {
    InterruptGuard guard;
    const std::vector<FontUse> used = registry.uses();
    // All the pages' fonts at once: a few Ghostscript runs side by side.
    GlyphSettings fonts = glyphSettings(settings);
    fonts.batch = true;
    Result r = pageGlyphs(fonts, used, glyphs, log.get(), out);
    if (int sig = interruptSignal(); sig != 0) {
        // The runs are ended and the private directory is gone; the
        // process ends as the signal would have ended it.
        svg.reset();
        log.reset();
        std::fflush(out);
        endWithSignal(sig);
    }
    if (r.ok()) {
        r = missingGlyphs(used, glyphs);
        if (r.ok()) std::fputc('\n', out);
    }
    return r;
}

// Refused link targets are told on standard error: the document is
// converted, but the reader should know what it lost.
std::unique_ptr<PathsDocument> PathsRun::writer(const GlyphTable& table, std::vector<PlacedBox> placed,
                                                std::vector<uint64_t> named, AnchorIndex anchors) {
    const double ptPerDvi = ptPerDviOf(frame);
    DocumentExtras extras;
    extras.title = documentTitle;
    extras.links.idStem = idStemOf(settings.dviName);
    extras.links.anchors = std::move(anchors);
    extras.links.err = stderr;
    if (!svg)
        return std::make_unique<PathsDocument>(settings.svgPath, std::move(named), table, std::move(placed),
                                               postambleBox(frame), ptPerDvi, log.get(), out, std::move(extras));
    return std::make_unique<PathsDocument>(std::move(svg), settings.svgPath, table, registry, std::move(placed),
                                           postambleBox(frame), ptPerDvi, log.get(), out, std::move(extras));
}

Result PathsRun::draw(const PageChoice& choice, PathsDocument& document, int& selected) {
    if (std::fseek(dvi.get(), firstPage, SEEK_SET) != 0) return {kExitSeek, "\nCan not seek dvi file\n"};
    PageInterpreter pages(choice.selector, frame.stackCapacity, log.get(), out);
    PageBuilder builder(registry, document, log.get(), {true, true}, ptPerDviOf(frame));
    const Result r = pages.dvipage(dvi.get(), builder);
    builder.finish();
    selected = pages.selectedPages();
    if (r.ok()) pages.dvipagefontfree();
    return r;
}

int PathsRun::finish(Step step, const Result& result, PathsDocument* document) {
    std::fputs(result.message.c_str(), out);
    return finish(exitCode(step, result), document);
}

// Closes the documents and the log; a lost write becomes the exit code
// unless the run already ends with another, and is told either way.
int PathsRun::finish(int code, PathsDocument* document) {
    dvi.reset();
    bool written = true, created = true;
    if (document != nullptr && !document->close()) {
        written = false;
        created = !document->failedToCreate();
    }
    const bool logWritten = closeChecked(log);
    if (!logWritten) std::fprintf(out, "\nCan not write %s: the trace log is incomplete.\n", settings.logPath.c_str());
    if (code != kExitOk) return code;
    if (!created) return kExitSvgOpen;
    if (!written) return kExitSvgWrite;
    if (!logWritten) return kExitLogWrite;
    return kExitOk;
}

}  // namespace

int runPaths(FileHandle svg, FileHandle dvi, FileHandle log, const Settings& settings, std::FILE* out) {
    PathsRun run(std::move(svg), std::move(dvi), std::move(log), settings, out);
    return run.run();
}

std::vector<std::string> pageDocumentNames(const Settings& settings, std::FILE* dvi) {
    FileHandle quiet = discardingStream();
    DviFrame frame;
    const Result base = dvibase(frame, dvi, quiet.get(), quiet.get());
    std::rewind(dvi);
    std::vector<std::string> names;
    if (!base.ok()) return names;
    for (uint64_t p : choosePages(settings, frame, nullptr).positions)
        names.push_back(pageFileName(settings.svgPath, static_cast<uint32_t>(p)));
    return names;
}

}  // namespace morvex
