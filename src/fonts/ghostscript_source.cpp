#include "fonts/ghostscript_source.h"

#include <algorithm>
#include <optional>

#include "base/file_handle.h"
#include "fonts/ghostscript_command.h"
#include "fonts/work_dir.h"

namespace morvex {

namespace {

// Ghostscript reads these before its command line: GS_OPTIONS could switch
// SAFER off or add files to run, GS_LIB could put other init files first.
const std::vector<std::string> kUnsafeEnvironment = {"GS_OPTIONS", "GS_LIB"};

RunSpec ghostscriptRun(const GsCommand& command, const std::string& workDir, int timeLimit) {
    RunSpec run;
    run.argv = command.argv;
    run.environment = inheritedEnvironment(kUnsafeEnvironment);
    run.workDir = workDir;
    run.timeLimit = timeLimit;
    return run;
}

// The generated font a run left in workDir, read and removed: whatever
// it left is no longer needed once read, and is not a font when it fails.
std::optional<GeneratedFont> takeGeneratedFont(const std::string& workDir, const GlyphRequest& request) {
    const std::string path = workDir + "/" + request.name;
    std::optional<std::string> text = readWholeFile(path);
    std::remove(path.c_str());
    if (!text) return std::nullopt;
    return parseGeneratedFont(*text, request.codes);
}

std::string failedMessage(const std::string& name, const std::string& why) {
    return "\nGhostscript failed on font " + name + " (" + why + ").\n";
}

// The glyph program says so when it cannot write a font's file: the
// private directory's file system is full or cannot be written.
void noteWriteFailure(const RunOutcome& outcome, const std::string& workDir, GlyphReport& report) {
    if (outcome.out.find(": cannot write ") != std::string::npos) report.cannotWrite(workDir);
}

}  // namespace

GhostscriptSource::GhostscriptSource(const ConfigFiles& config, const GhostscriptLimits& limits,
                                     const std::string& workDir)
    : config(config), limits(limits), workDir(workDir) {}

void GhostscriptSource::add(const GlyphRequest& request, std::FILE* log) {
    std::string symbols;
    for (int c = 0; c < 256; ++c)
        if (request.codes[static_cast<size_t>(c)]) symbols += std::to_string(c) + " ";
    const GsCommand command = ghostscriptCommand(request.files, request.entry, symbols, request.name, config);
    std::fprintf(log, "\n%s", command.line.c_str());
    requests.push_back(request);
    runs.push_back(ghostscriptRun(command, workDir, limits.timeLimit));
}

int GhostscriptSource::make(GlyphReport& report) {
    return runAll(runs, limits.parallel, [&](size_t r, const RunOutcome& outcome) {
        const GlyphRequest& request = requests[r];
        report.lookupsThrough(r);
        report.say(outcome.out);
        report.sayError(outcome.err);
        noteWriteFailure(outcome, workDir, report);
        std::optional<GeneratedFont> font;
        if (outcome.succeeded())
            font = takeGeneratedFont(workDir, request);
        else
            std::remove((workDir + "/" + request.name).c_str());  // whatever it left is not a font
        if (!font) {
            const std::string why = outcome.succeeded() ? "no glyphs written" : outcome.failure(limits.timeLimit);
            report.say(outcome.spawnError != 0
                           ? "\nCan not run Ghostscript for font " + request.name + ": " + why + ".\n"
                           : failedMessage(request.name, why));
            report.failed(r);
            return;
        }
        if (!request.files.encVectorPath.empty())
            if (std::optional<EncodingVector> names = readEncodingVector(request.files.encVectorPath))
                report.trace(notdefTrace(*font, *names));
        report.made(r, std::move(*font));
    });
}

GhostscriptBatch::GhostscriptBatch(const ConfigFiles& config, const GhostscriptLimits& limits,
                                   const std::string& workDir, int parts)
    : config(config), limits(limits), workDir(workDir), parts(parts < 1 ? 1 : parts) {}

void GhostscriptBatch::add(const GlyphRequest& request, std::FILE*) { requests.push_back(request); }

int GhostscriptBatch::make(GlyphReport& report) {
    if (requests.empty()) return 0;
    WorkDir jobs;
    if (!jobs.create()) {
        report.cannotWrite(jobs.error);
        return 0;
    }
    // Parts of consecutive requests, so that the parts reported in order
    // report the requests in order.
    const size_t count = std::min(static_cast<size_t>(parts), requests.size());
    std::vector<RunSpec> runs;
    std::vector<size_t> firstOf;
    for (size_t p = 0; p < count; ++p) {
        const size_t first = p * requests.size() / count, end = (p + 1) * requests.size() / count;
        const std::vector<GlyphRequest> part(requests.begin() + static_cast<long>(first),
                                             requests.begin() + static_cast<long>(end));
        const std::string jobsPath = jobs.path + "/jobs" + std::to_string(p) + ".ps";
        std::vector<std::string> reads, names;
        for (const GlyphRequest& r : part) {
            reads.push_back(r.files.type1Path);
            if (!r.files.encVectorPath.empty()) reads.push_back(r.files.encVectorPath);
            names.push_back(r.name);
        }
        if (!writeWholeFile(jobsPath, jobList(part))) {
            report.cannotWrite(jobsPath);
            return 0;
        }
        const GsCommand command = batchCommand(jobsPath, reads, names, config);
        report.trace("\n" + command.line);
        runs.push_back(ghostscriptRun(command, workDir, limits.timeLimit));
        firstOf.push_back(first);
    }
    firstOf.push_back(requests.size());
    report.allLookups();
    return runAll(runs, limits.parallel, [&](size_t p, const RunOutcome& outcome) {
        report.say(outcome.out);
        report.sayError(outcome.err);
        noteWriteFailure(outcome, workDir, report);
        for (size_t r = firstOf[p]; r < firstOf[p + 1]; ++r) {
            std::optional<GeneratedFont> font = takeGeneratedFont(workDir, requests[r]);
            if (font) {
                report.made(r, std::move(*font));
                continue;
            }
            report.say(failedMessage(requests[r].name, outcome.succeeded() ? "no glyphs written"
                                                                              : outcome.failure(limits.timeLimit)));
            report.failed(r);
        }
    });
}

}  // namespace morvex
