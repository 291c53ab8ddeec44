// The run sequence: the files, the DVI frame, the pages into the document
// writer, the SVG fonts, and the one place where results become exit codes.
#include <sys/stat.h>

#include <optional>
#include <vector>

#include "base/bounded_log.h"
#include "base/dvi_frame.h"
#include "base/file_handle.h"
#include "base/printable.h"
#include "base/result.h"
#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "fonts/svgfont.h"
#include "front/config_dir.h"
#include "front/front.h"
#include "front/output_files.h"
#include "process/interrupt.h"
#include "process/run.h"
#include "front/page_choice.h"
#include "front/run_parts.h"
#include "svg/page_name.h"
#include "svg/text_document.h"

namespace morvex {

namespace {

// The outputs once they are open: closed in the run's order (DVI, SVG
// document, trace log) on every way out, and a lost write turned into an
// exit code of its own, so that a run that says 0 left its files whole.
template <class Document>
class OpenFiles {
public:
    OpenFiles(FileHandle dvi, Document& document, FileHandle log, std::FILE* out)
        : dvi(std::move(dvi)), document(document), log(std::move(log)), out(out) {}

    std::FILE* dviStream() const { return dvi.get(); }
    std::FILE* logStream() const { return log.get(); }

    // Ends the run with a step's result: its message, then the files.
    int stop(Step step, const Result& result, const Settings& settings) {
        std::fputs(result.message.c_str(), out);
        return finish(exitCode(step, result), settings);
    }

    int finish(int code, const Settings& settings) {
        dvi.reset();
        const bool svgWritten = document.close();
        const bool logWritten = closeChecked(log);
        if (!svgWritten)
            std::fprintf(out, "\nCan not write %s: the SVG document is incomplete.\n", settings.svgPath.c_str());
        if (!logWritten)
            std::fprintf(out, "\nCan not write %s: the trace log is incomplete.\n", settings.logPath.c_str());
        if (code != kExitOk) return code;
        if (!svgWritten) return kExitSvgWrite;
        if (!logWritten) return kExitLogWrite;
        return kExitOk;
    }

private:
    FileHandle dvi;
    Document& document;
    FileHandle log;
    std::FILE* out;
};

// The default document: the pages' text, then the SVG fonts file.
int runText(TextDocument& document, FileHandle dvi, FileHandle log, const Settings& settings, std::FILE* out) {
    OpenFiles<TextDocument> files(std::move(dvi), document, std::move(log), out);
    std::FILE* const logStream = files.logStream();
    document.head();

    DviFrame frame;
    const Result base = dvibase(frame, files.dviStream(), logStream, out);
    if (base.ok() || base.code == kDvibaseBadFntDef || base.code == kDvibaseNoBop)
        document.prologue(frame, settings.fontsPath);
    if (!base.ok()) return files.stop(Step::Frame, base, settings);

    // A stop inside the pages is passed on as the exit code: the SVG
    // document is then cut short and must not pass for a complete one.
    PageInterpreter pages(choosePages(settings, frame, out).selector, frame.stackCapacity, logStream, out);
    const Result paged = pages.dvipage(files.dviStream(), document);
    if (!paged.ok()) return files.stop(Step::Pages, paged, settings);

    Result fontsResult;
    {
        InterruptGuard guard;
        document.end();
        fontsResult = svgfontbuild(glyphSettings(settings), settings.fontsPath, pages.usedFonts(), logStream, out);
        if (int sig = interruptSignal(); sig != 0) {
            // The runs are ended and the private directory is gone; what
            // was written stays, and the process ends as the signal would
            // have ended it.
            files.finish(kExitOk, settings);
            std::fflush(out);
            endWithSignal(sig);
        }
    }
    pages.dvipagefontfree();
    if (!fontsResult.ok()) return files.stop(Step::Glyphs, fontsResult, settings);
    if (pages.selectedPages() == 0) {
        sayNoPage(settings, out);
        return files.finish(kExitNoSuchPage, settings);
    }
    return files.finish(kExitOk, settings);
}

}  // namespace

int exitCode(Step step, const Result& result) {
    if (result.ok()) return kExitOk;
    return step == Step::Glyphs ? kExitSvgFontBase + result.code : result.code;
}

GlyphSettings glyphSettings(const Settings& settings) {
    GlyphSettings glyphs;
    glyphs.configDir = settings.configDir;
    glyphs.parallel = processorCount();
    glyphs.timeLimit = settings.gsTimeLimit;
    glyphs.memoryLimit = settings.gsMemoryLimit;
    glyphs.cache = settings.cache;
    glyphs.cacheDir = settings.cacheDir;
    return glyphs;
}

int convert(const Settings& given, const char* program, std::FILE* out) {
    Settings settings = given;
    const std::string& dviName = settings.dviName;
    OpenFailure failure;
    FileHandle dvi = openRegularFile(dviName, failure);
    if (failure == OpenFailure::Missing) {
        std::fprintf(out, "%s: File %s doesn't exists.\n", program, dviName.c_str());
        return kExitNoDvi;
    }
    if (failure == OpenFailure::NotRegular) {
        // A pipe or a device: a DVI file is read from its end first.
        std::fprintf(out, "%s: %s is not a regular file; a DVI file is read from its end.\n", program,
                     dviName.c_str());
        return kExitSeek;
    }
    // Before any output is made: a run without its configuration could
    // convert the pages but never their fonts.
    if (!settings.configSearch.empty()) {
        std::optional<std::string> found = findConfigDir(settings.configSearch, program, out);
        if (!found) return kExitNoConfig;
        settings.configDir = *found;
    }
    const bool eachPage = settings.paths && namesEachPage(settings.svgPath);
    std::vector<NamedFile> files = {{"DVI file", dviName}, {"trace log", settings.logPath}};
    if (eachPage)
        for (const std::string& name : pageDocumentNames(settings, dvi.get())) files.push_back({"SVG document", name});
    else
        files.push_back({"SVG document", settings.svgPath});
    if (!settings.paths) files.push_back({"SVG fonts file", settings.fontsPath});
    if (auto clash = findClash(files)) {
        std::fprintf(out, "%s: the %s %s and the %s %s are the same file; nothing was written.\n", program,
                     clash->second.role.c_str(), clash->second.path.c_str(), clash->first.role.c_str(),
                     clash->first.path.c_str());
        return kExitSameFile;
    }
    struct stat st;
    const uint64_t dviSize = fstat(fileno(dvi.get()), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    FileHandle log = openBoundedLog(settings.logPath, traceLimit(dviSize));
    if (!log) {
        std::fprintf(out, "%s: Can not open %s as output file.\n", program, settings.logPath.c_str());
        return kExitLogOpen;
    }
    FileHandle svg = eachPage ? nullptr : openFile(settings.svgPath.c_str(), "wb");
    if (!svg && !eachPage) {
        std::fprintf(out, "%s: Can not open %s as output file.\n", program, settings.svgPath.c_str());
        return kExitSvgOpen;
    }
    std::fprintf(out, "Opening files: %s (r) %s %s (w).\n", dviName.c_str(), settings.logPath.c_str(),
                 settings.svgPath.c_str());
    std::FILE* const logStream = log.get();
    if (settings.paths) return runPaths(std::move(svg), std::move(dvi), std::move(log), settings, out);
    TextDocument document(std::move(svg), logStream, out);
    return runText(document, std::move(dvi), std::move(log), settings, out);
}

}  // namespace morvex
