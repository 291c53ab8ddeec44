#include "fonts/ghostscript_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "base/file_handle.h"
#include "base/memory_stream.h"
#include "base/printable.h"
#include "fonts/ghostscript_command.h"
#include "process/ghostscript_permit.h"

namespace morvex {

namespace {

// Ghostscript reads GS_OPTIONS and GS_LIB before its command line:
// GS_OPTIONS could switch SAFER off or add files to run, GS_LIB could put
// other init files first. It also permits its temporary directory whatever
// the permits say: that is the run's private directory, not the shared one.
const std::vector<std::string> kReplacedEnvironment = {"GS_OPTIONS", "GS_LIB", "TMPDIR"};

// The job lists lie among the links of the inputs, where no generated font
// can be written over them: one, or one for each part of a batch.
constexpr const char* kJobListDir = "in";
constexpr const char* kJobList = "in/jobs.ps";

// A font file is a program: each run is bounded in time and in memory, and
// one past either bound is a failed run.
RunSpec ghostscriptRun(const GsCommand& command, const std::string& workDir, const GhostscriptLimits& limits) {
    RunSpec run;
    run.argv = command.argv;
    run.environment = inheritedEnvironment(kReplacedEnvironment);
    run.environment.push_back("TMPDIR=" + workDir);
    run.workDir = workDir;
    run.timeLimit = limits.timeLimit;
    if (limits.memoryLimit != 0) run.memoryLimit = limits.memoryLimit;
    return run;
}

// The generated font a run left in workDir, read and removed: whatever
// it left is no longer needed once read, and is not a font when it fails.
// A font is the request's only when it names itself so.
std::optional<GeneratedFont> takeGeneratedFont(const std::string& workDir, const GlyphRequest& request) {
    const std::string path = workDir + "/" + request.name;
    std::optional<std::string> text = readWholeFile(path);
    std::remove(path.c_str());
    if (!text) return std::nullopt;
    std::optional<GeneratedFont> font = parseGeneratedFont(*text, request.codes);
    if (font && font->id != request.name) return std::nullopt;
    return font;
}

std::string failedMessage(const std::string& name, const std::string& why) {
    return "\nGhostscript failed on font " + name + " (" + why + ").\n";
}

// The glyph program says so when it cannot write a font's file: the
// private directory's file system is full or cannot be written.
void noteWriteFailure(const RunOutcome& outcome, const std::string& workDir, GlyphReport& report) {
    if (outcome.out.find(": cannot write ") != std::string::npos) report.cannotWrite(workDir);
}

// What one font's run said and made, reported as request index.
void reportRun(const GlyphRequest& request, size_t index, const RunOutcome& outcome, const std::string& workDir,
               int timeLimit, GlyphReport& report) {
    report.say(outcome.out);
    report.sayError(outcome.err);
    noteWriteFailure(outcome, workDir, report);
    std::optional<GeneratedFont> font;
    if (outcome.succeeded())
        font = takeGeneratedFont(workDir, request);
    else
        std::remove((workDir + "/" + request.name).c_str());  // whatever it left is not a font
    if (!font) {
        const std::string why = outcome.succeeded() ? "no glyphs written" : outcome.failure(timeLimit);
        report.say(outcome.spawnError != 0 ? "\nCan not run Ghostscript for font " + request.name + ": " + why + ".\n"
                                           : failedMessage(request.name, why));
        report.failed(index);
        return;
    }
    report.made(index, std::move(*font));
}

// Whether a batch's output holds the line with which the glyph program
// reports that a font of its failed ("tarnevik.ps: NAME: why").
bool failedItself(const std::string& out, const std::string& name) {
    const std::string line = "tarnevik.ps: " + name + ": ";
    return out.compare(0, line.size(), line) == 0 || out.find("\n" + line) != std::string::npos;
}

// What the runs of some of a batch's requests report, as those requests'.
class SubsetReport final : public GlyphReport {
public:
    SubsetReport(GlyphReport& report, const std::vector<size_t>& requestOf) : report(report), requestOf(requestOf) {}

    void lookupsThrough(size_t) override {}  // the batch has shown them all
    void allLookups() override {}
    void say(std::string_view text) override { report.say(text); }
    void sayError(std::string_view text) override { report.sayError(text); }
    void trace(std::string_view text) override { report.trace(text); }
    void made(size_t i, GeneratedFont font) override { report.made(requestOf[i], std::move(font)); }
    void failed(size_t i) override { report.failed(requestOf[i]); }
    void cannotWrite(std::string_view where) override { report.cannotWrite(where); }

private:
    GlyphReport& report;
    const std::vector<size_t>& requestOf;
};

// The requests of a batch as its job list gives them to Ghostscript; those
// whose files no permit can name are reported failed.
struct BatchJobs {
    std::optional<ConfigFiles> config;  // as Ghostscript is given it
    std::vector<GlyphRequest> jobs;     // the requests with their files as Ghostscript is given them
    std::vector<size_t> requestOf;
    std::vector<std::string> reads, names;
};

BatchJobs batchJobs(const std::vector<GlyphRequest>& requests, const ConfigFiles& config, GhostscriptInputs& inputs,
                    GlyphReport& report) {
    BatchJobs b;
    std::string failedPath, why;
    b.config = inputs.config(config, failedPath, why);
    for (size_t r = 0; r < requests.size(); ++r) {
        std::optional<FontFiles> files = b.config ? inputs.files(requests[r].files, failedPath, why) : std::nullopt;
        if (!files || !permittableRelative(requests[r].name)) {
            report.say(inputRefusedMessage(requests[r].name, files ? requests[r].name : failedPath,
                                           files ? "a name no permit can give" : why));
            report.failed(r);
            continue;
        }
        b.jobs.push_back(requests[r]);
        b.jobs.back().files = *files;
        b.requestOf.push_back(r);
        b.reads.push_back(files->type1Path);
        if (!files->encVectorPath.empty()) b.reads.push_back(files->encVectorPath);
        b.names.push_back(requests[r].name);
    }
    return b;
}

}  // namespace

GhostscriptSource::GhostscriptSource(const ConfigFiles& config, const GhostscriptLimits& limits,
                                     const std::string& workDir)
    : config(config), limits(limits), workDir(workDir), inputs(workDir) {}

void GhostscriptSource::add(const GlyphRequest& request, std::FILE* log) {
    requests.push_back(request);
    std::string failedPath, why;
    std::optional<ConfigFiles> givenConfig = inputs.config(config, failedPath, why);
    std::optional<FontFiles> givenFiles =
        givenConfig ? inputs.files(request.files, failedPath, why) : std::optional<FontFiles>();
    if (!givenFiles || !permittableRelative(request.name)) {
        refusals.push_back(givenFiles ? inputRefusedMessage(request.name, request.name, "a name no permit can give")
                                      : inputRefusedMessage(request.name, failedPath, why));
        return;
    }
    refusals.push_back(std::nullopt);
    std::string symbols;
    for (int c = 0; c < 256; ++c)
        if (request.codes[static_cast<size_t>(c)]) symbols += std::to_string(c) + " ";
    const GsCommand command = ghostscriptCommand(*givenFiles, request.entry, symbols, request.name, *givenConfig);
    std::fprintf(log, "\n%s", command.line.c_str());
    requestOfRun.push_back(requests.size() - 1);
    runs.push_back(ghostscriptRun(command, workDir, limits));
}

int GhostscriptSource::make(GlyphReport& report) {
    size_t next = 0;  // the first request not reported
    // The requests refused before any run, reported in their turn.
    const auto refusedBefore = [&](size_t end) {
        for (; next < end; ++next) {
            report.lookupsThrough(next);
            report.say(*refusals[next]);
            report.failed(next);
        }
    };
    const int sig = runAll(runs, limits.parallel, [&](size_t run, const RunOutcome& outcome) {
        const size_t r = requestOfRun[run];
        refusedBefore(r);
        report.lookupsThrough(r);
        reportRun(requests[r], r, outcome, workDir, limits.timeLimit, report);
        next = r + 1;
    });
    if (sig != 0) return sig;
    refusedBefore(requests.size());
    return 0;
}

// A run of some of a batch's jobs: those from first to end.
struct GhostscriptBatch::Part {
    size_t first = 0, end = 0;
    RunSpec run;
};

GhostscriptBatch::GhostscriptBatch(const ConfigFiles& config, const GhostscriptLimits& limits,
                                   const std::string& workDir, int parts)
    : config(config), limits(limits), workDir(workDir), partCount(parts < 1 ? 1 : parts), inputs(workDir) {}

void GhostscriptBatch::add(const GlyphRequest& request, std::FILE*) { requests.push_back(request); }

// The job lists of the parts, consecutive jobs each, so that the parts
// reported in order report the fonts in order; false when a list cannot
// be written.
bool GhostscriptBatch::prepareParts(const std::vector<GlyphRequest>& jobs, const ConfigFiles& given,
                                    std::vector<Part>& parts, GlyphReport& report) {
    const size_t count = std::min(static_cast<size_t>(partCount), jobs.size());
    for (size_t p = 0; p < count; ++p) {
        Part part;
        part.first = p * jobs.size() / count;
        part.end = (p + 1) * jobs.size() / count;
        const std::vector<GlyphRequest> mine(jobs.begin() + static_cast<long>(part.first),
                                             jobs.begin() + static_cast<long>(part.end));
        std::vector<std::string> reads, names;
        for (const GlyphRequest& job : mine) {
            reads.push_back(job.files.type1Path);
            if (!job.files.encVectorPath.empty()) reads.push_back(job.files.encVectorPath);
            names.push_back(job.name);
        }
        const std::string list = count == 1 ? kJobList : kJobListDir + std::string("/jobs") + std::to_string(p) + ".ps";
        if (!writeWholeFile(workDir + "/" + list, jobList(mine))) {
            report.cannotWrite(workDir + "/" + list);
            return false;
        }
        const GsCommand command = batchCommand(list, reads, names, given);
        report.trace("\n" + command.line);
        part.run = ghostscriptRun(command, workDir, limits);
        parts.push_back(std::move(part));
    }
    return true;
}

int GhostscriptBatch::make(GlyphReport& report) {
    if (requests.empty()) return 0;
    report.allLookups();
    const BatchJobs b = batchJobs(requests, config, inputs, report);
    const std::vector<GlyphRequest>& jobs = b.jobs;
    const std::vector<size_t>& requestOf = b.requestOf;
    if (jobs.empty()) return 0;
    std::vector<Part> parts;
    const bool listed = mkdir((workDir + "/" + kJobListDir).c_str(), 0700) == 0 || errno == EEXIST;
    if (!listed) report.cannotWrite(workDir + "/" + kJobListDir);
    if (!listed || !prepareParts(jobs, *b.config, parts, report)) {
        for (size_t r : requestOf) report.failed(r);
        return 0;
    }
    std::vector<RunSpec> runs;
    for (const Part& part : parts) runs.push_back(part.run);
    std::vector<std::pair<size_t, std::string>> failed;  // fonts that failed themselves, and why
    std::vector<size_t> cut;                              // fonts the end of a run of several took with it
    std::string failure;                                  // why a run of several ended
    const int sig = runAll(runs, limits.parallel, [&](size_t p, const RunOutcome& outcome) {
        report.say(outcome.out);
        report.sayError(outcome.err);
        noteWriteFailure(outcome, workDir, report);
        const std::string why = outcome.succeeded() ? "" : outcome.failure(limits.timeLimit);
        const bool several = parts[p].end - parts[p].first > 1;
        for (size_t j = parts[p].first; j < parts[p].end; ++j) {
            if (std::optional<GeneratedFont> font = takeGeneratedFont(workDir, jobs[j]))
                report.made(requestOf[j], std::move(*font));
            else if (why.empty() || !several || failedItself(outcome.out, jobs[j].name))
                failed.emplace_back(requestOf[j], why.empty() ? "no glyphs written" : why);
            else
                cut.push_back(requestOf[j]);
        }
        if (several && !why.empty()) failure = why;
    });
    if (sig != 0) return sig;
    for (const auto& [r, why] : failed) {
        report.say(failedMessage(requests[r].name, why));
        report.failed(r);
    }
    if (cut.empty()) return 0;
    // One font that loops or crashes Ghostscript ends its whole run: each
    // font the run did not reach is made alone, so that only the bad one fails.
    report.trace("\nthe run of several fonts failed (" + failure + "); each font it did not write runs alone\n");
    return makeAlone(cut, report);
}

int GhostscriptBatch::makeAlone(const std::vector<size_t>& which, GlyphReport& report) {
    GhostscriptSource alone(config, limits, workDir);
    MemoryStream commands;
    for (size_t r : which) alone.add(requests[r], commands.get());
    report.trace(commands.text());
    SubsetReport subset(report, which);
    return alone.make(subset);
}

}  // namespace morvex
