#include "fonts/ghostscript_source.h"

#include <sys/stat.h>

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

// The job list lies among the links of the inputs, where no generated font
// can be written over it.
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

// What one font's run said and made, reported as request index.
void reportRun(const GlyphRequest& request, size_t index, const RunOutcome& outcome, const std::string& workDir,
               int timeLimit, GlyphReport& report) {
    report.say(outcome.out);
    report.sayError(outcome.err);
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

GhostscriptBatch::GhostscriptBatch(const ConfigFiles& config, const GhostscriptLimits& limits,
                                   const std::string& workDir)
    : config(config), limits(limits), workDir(workDir), inputs(workDir) {}

void GhostscriptBatch::add(const GlyphRequest& request, std::FILE*) { requests.push_back(request); }

int GhostscriptBatch::make(GlyphReport& report) {
    if (requests.empty()) return 0;
    report.allLookups();
    const BatchJobs b = batchJobs(requests, config, inputs, report);
    const std::vector<GlyphRequest>& jobs = b.jobs;
    const std::vector<size_t>& requestOf = b.requestOf;
    if (jobs.empty()) return 0;
    if ((mkdir((workDir + "/in").c_str(), 0700) != 0 && errno != EEXIST) ||
        !writeWholeFile(workDir + "/" + kJobList, jobList(jobs))) {
        report.say("\nCan not write the list of fonts for Ghostscript.\n");
        for (size_t r : requestOf) report.failed(r);
        return 0;
    }
    const GsCommand command = batchCommand(kJobList, b.reads, b.names, *b.config);
    report.trace("\n" + command.line);
    std::vector<size_t> failed, cut;  // fonts that failed themselves, fonts the run's end took with it
    std::string failure;
    const int sig = runAll({ghostscriptRun(command, workDir, limits)}, 1, [&](size_t, const RunOutcome& outcome) {
        report.say(outcome.out);
        report.sayError(outcome.err);
        if (!outcome.succeeded()) failure = outcome.failure(limits.timeLimit);
        for (size_t j = 0; j < jobs.size(); ++j) {
            if (std::optional<GeneratedFont> font = takeGeneratedFont(workDir, jobs[j]))
                report.made(requestOf[j], std::move(*font));
            else if (failure.empty() || failedItself(outcome.out, jobs[j].name))
                failed.push_back(requestOf[j]);
            else
                cut.push_back(requestOf[j]);
        }
    });
    if (sig != 0) return sig;
    for (size_t r : failed) {
        report.say(failedMessage(requests[r].name, failure.empty() ? "no glyphs written" : failure));
        report.failed(r);
    }
    if (cut.empty()) return 0;
    // One font that loops or crashes Ghostscript ends the whole run: each
    // font it did not reach is made alone, so that only the bad one fails.
    if (jobs.size() > 1) {
        report.trace("\nthe run of several fonts failed (" + failure + "); each font it did not write runs alone\n");
        return makeAlone(cut, report);
    }
    report.say(failedMessage(requests[cut[0]].name, failure));
    report.failed(cut[0]);
    return 0;
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
