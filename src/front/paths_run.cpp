// The --paths run: two passes over the pages with one extraction of all
// their glyphs between them. The first pass, silent, gathers what every
// page must know before it is drawn (its glyphs, its box); the second
// traces, shows its progress and writes each page.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "base/dvi_frame.h"
#include "fonts/page_glyphs.h"
#include "process/interrupt.h"
#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "front/page_choice.h"
#include "front/picture_run.h"
#include "front/run_parts.h"
#include "pictures/pdf_text.h"
#include "text/glyph_list.h"
#include "svg/glyph_table.h"
#include "svg/page_gathering.h"
#include "svg/page_name.h"
#include "svg/paths_document.h"
#include "svg/picture_layer.h"

namespace morvex {

namespace {

class PathsRun {
public:
    PathsRun(FileHandle svg, FileHandle dvi, FileHandle log, const Settings& settings, std::FILE* out)
        : svg(std::move(svg)), dvi(std::move(dvi)), log(std::move(log)), settings(settings), out(out) {}

    int run();

private:
    Result gather(const PageChoice& choice, PageGathering& gathering, PictureCollector& collector);
    void preparePictures(PictureCollector& collector);
    void takePictures(PageGathering& gathering);
    Result measurePictures(const PageChoice& choice, PageGathering& gathering);
    [[noreturn]] void endBy(int sig);
    Result extract(std::map<std::string, GeneratedFont>& glyphs, int& sig);
    std::unique_ptr<PathsDocument> writer(const GlyphTable& table, std::vector<PlacedBox> placed,
                                          std::vector<uint64_t> named, AnchorIndex anchors);
    Result draw(const PageChoice& choice, PathsDocument& document, int& selected);
    pictures::JobFrame jobFrame() const;
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
    // The pictures' run: its job, what it reported, the chunk of each
    // picture special of the selected pages.
    std::optional<pictures::Job> pictureJob;
    PictureOutcome pictureOutcome;
    std::vector<std::optional<size_t>> chunkOf;
    std::vector<uint64_t> picturePages;  // the file position of each of the job's pages
    bool picturesIncomplete = false;
    bool ownDocuments = false;  // each page in a document of its own
    // The documents' title, when the pages give one (hyperref's pdftitle
    // through the dvips driver; hypertex has none).
    std::optional<std::string> documentTitle;
};

// Beyond this a magnification makes no page any renderer draws.
constexpr uint32_t kMaxMag = 1000000;

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
    ownDocuments = !svg;
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
    PictureCollector collector(pictures::FileAccess::forDvi(settings.dviName, settings.figureDirs), jobFrame());
    gathering.add(collector);
    const Result gathered = gather(choice, gathering, collector);
    if (gathered.ok()) preparePictures(collector);

    // A run the pages cut short extracts no glyph; the second pass
    // reports the stop. The pictures' Ghostscript runs beside the glyphs'.
    std::map<std::string, GeneratedFont> glyphs;
    Result glyphsResult;
    {
        InterruptGuard guard;
        std::optional<PictureRun> pictures;
        std::thread pictureRun;
        if (pictureJob) {
            pictures.emplace(*pictureJob, settings);
            pictureRun = std::thread([this, &pictures] { pictureOutcome = pictures->run(); });
        }
        int sig = 0;
        if (gathered.ok()) glyphsResult = extract(glyphs, sig);
        if (pictureRun.joinable()) pictureRun.join();
        pictures.reset();  // its private directory goes before a signal ends the process
        if (sig == 0) sig = pictureOutcome.signal;
        if (sig != 0) endBy(sig);
    }
    if (pictureJob) {
        takePictures(gathering);
        if (settings.bbox == BoxKind::Min) measurePictures(choice, gathering);
    }
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
    if (picturesIncomplete) return finish(kExitPictures, document.get());
    if (selected == 0) {
        sayNoPage(settings, out);
        return finish(kExitNoSuchPage, document.get());
    }
    return finish(kExitOk, document.get());
}

// The silent pass: neither trace nor progress, which the second pass gives.
Result PathsRun::gather(const PageChoice& choice, PageGathering& gathering, PictureCollector& collector) {
    FileHandle quietLog = discardingStream();
    FileHandle quietOut = discardingStream();
    PageInterpreter pages(choice.selector, frame.stackCapacity, quietLog.get(), quietOut.get());
    PageBuilder builder(registry, gathering, quietLog.get(), {settings.bbox == BoxKind::Min, false},
                        ptPerDviOf(frame));
    gathering.attach(builder);
    collector.attach(builder);
    const Result r = pages.dvipage(dvi.get(), builder);
    builder.finish();
    return r;
}

// The page box the picture program sets up: the postamble's, the DVI
// origin one inch in from its top left corner as in the documents.
pictures::JobFrame PathsRun::jobFrame() const {
    pictures::JobFrame job;
    job.ptPerDvi = static_cast<float>(ptPerDviOf(frame));
    // dvips scales figures and " specials by the magnification.
    job.mag = frame.mag >= 1 && frame.mag <= kMaxMag ? static_cast<int32_t>(frame.mag) : 1000;
    const PageBox box = postambleBox(frame);
    job.widthBp = std::max(box.width, 1.0) * 72 / 72.27;
    job.heightBp = std::max(box.height, 1.0) * 72 / 72.27;
    return job;
}

// What cannot be run is told, and the job made, when a selected page
// has a picture special to run.
void PathsRun::preparePictures(PictureCollector& collector) {
    for (const std::string& problem : collector.problems()) {
        std::fprintf(out, "\nA picture special is not drawn: %s.\n", problem.c_str());
        std::fprintf(log.get(), "\nPictures: not drawn: %s", problem.c_str());
    }
    picturesIncomplete = !collector.problems().empty();
    if (collector.any()) pictureJob = collector.job(chunkOf);
    picturePages = collector.positions();
}

// After the run: its messages, the document's title, and the places its
// marks name (hyperref's destinations), so that links to them resolve
// from any page's document.
void PathsRun::takePictures(PageGathering& gathering) {
    std::fputs(pictureOutcome.messages.c_str(), out);
    std::fputs(pictureOutcome.trace.c_str(), log.get());
    picturesIncomplete = picturesIncomplete || pictureOutcome.incomplete;
    if (pictureOutcome.report.title) documentTitle = pictures::pdfTextToUtf8(*pictureOutcome.report.title);
    const std::vector<pictures::ChunkReport>& reported = pictureOutcome.report.chunks;
    for (size_t i = 0; i < reported.size() && i < pictureJob->chunks.size(); ++i) {
        const int page = pictureJob->chunks[i].page;
        if (page < 0 || static_cast<size_t>(page) >= picturePages.size()) continue;
        for (const pictures::Destination& d : reported[i].destinations)
            gathering.addAnchor(d.name, picturePages[static_cast<size_t>(page)]);
    }
}

// Each page's ink again, for boxes that are the ink's: its pictures' paint,
// cut down to its clips, and its glyphs and rules where their frames put
// them. A third pass, quiet, only when the pages have pictures.
Result PathsRun::measurePictures(const PageChoice& choice, PageGathering& gathering) {
    struct Measure final : PageConsumer {
        PageGathering& gathering;
        explicit Measure(PageGathering& g) : gathering(g) {}
        void page(PageModel& page) override { gathering.setInk(page.position, PageInk(page)); }
    } measure(gathering);
    if (std::fseek(dvi.get(), firstPage, SEEK_SET) != 0) return {kExitSeek, "\nCan not seek dvi file\n"};
    FileHandle quietLog = discardingStream();
    FileHandle quietOut = discardingStream();
    PageInterpreter pages(choice.selector, frame.stackCapacity, quietLog.get(), quietOut.get());
    PageBuilder builder(registry, measure, quietLog.get(), {true, false}, ptPerDviOf(frame));
    PictureMarkup markup(pictureOutcome.report, pictureJob->frame.widthBp * 72.27 / 72,
                         pictureJob->frame.heightBp * 72.27 / 72);
    PictureDrawer drawer(*pictureJob, pictureOutcome.report, chunkOf, markup, true, quietLog.get());
    drawer.attach(builder);
    const Result r = pages.dvipage(dvi.get(), builder);
    builder.finish();
    return r;
}

// Ends the process as the signal would have, the runs ended and their
// private directories gone.
void PathsRun::endBy(int sig) {
    svg.reset();
    log.reset();
    std::fflush(out);
    endWithSignal(sig);
}

// The glyphs of every page's fonts at once; a font whose glyphs could not
// be made is told of, and its characters draw nothing.
Result PathsRun::extract(std::map<std::string, GeneratedFont>& glyphs, int& sig) {
    InterruptGuard guard;
    const std::vector<FontUse> used = registry.uses();
    // All the pages' fonts at once: a few Ghostscript runs side by side.
    GlyphSettings fonts = glyphSettings(settings);
    fonts.batch = true;
    Result r = pageGlyphs(fonts, used, glyphs, log.get(), out);
    // The runs are ended and the private directory is gone; the process
    // ends as the signal would have ended it, once the pictures' run has.
    sig = interruptSignal();
    if (sig != 0) return r;
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
    std::optional<PictureMarkup> markup;
    std::optional<PictureDrawer> drawer;
    if (pictureJob) {
        const pictures::JobFrame& jf = pictureJob->frame;
        markup.emplace(pictureOutcome.report, jf.widthBp * 72.27 / 72, jf.heightBp * 72.27 / 72);
        drawer.emplace(*pictureJob, pictureOutcome.report, chunkOf, *markup, ownDocuments, log.get());
        drawer->attach(builder);
    }
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
