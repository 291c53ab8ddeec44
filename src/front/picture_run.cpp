#include "front/picture_run.h"

#include <cstdint>

#include "base/printable.h"
#include "pictures/job_writer.h"
#include "pictures/run_plan.h"
#include "process/run.h"
#include "svg/picture_layer.h"

namespace morvex {

namespace {

constexpr const char* kProgram = "pictures.ps";
constexpr const char* kGhostscript = "gs";

// The special as dvips would have read it, for a message.
std::string chunkText(const pictures::Chunk& c) {
    if (c.kind == pictures::ChunkKind::Figure) return "PSfile=" + c.path;
    if (c.kind == pictures::ChunkKind::HeaderFile) return "header=" + c.path;
    if (c.kind == pictures::ChunkKind::Literal) return "!" + c.code;
    if (c.kind != pictures::ChunkKind::Special) return c.code;
    switch (c.special) {
    case pictures::SpecialKind::Ps: return "ps:" + c.code;
    case pictures::SpecialKind::PsBegin: return "ps::[begin]" + c.code;
    case pictures::SpecialKind::PsRaw: return "ps::" + c.code;
    case pictures::SpecialKind::Quote: return "\"" + c.code;
    default: return c.code;
    }
}

// Where a chunk stands, for a message: its page, or the prologue.
std::string placeOf(const pictures::Job& job, size_t chunk) {
    const pictures::Chunk& c = job.chunks[chunk];
    if (c.page < 0) return "in the prologue";
    for (size_t i = chunk + 1; i-- > 0;)
        if (job.chunks[i].kind == pictures::ChunkKind::PageBegin)
            return "on page " + std::to_string(job.chunks[i].count0);
    return "on a page";
}

RunSpec pictureRun(const pictures::PictureCommand& command, const std::string& work, const Settings& settings) {
    RunSpec run;
    run.argv = command.argv;
    std::vector<std::string> dropped = command.unsetEnvironment;
    for (const std::string& set : command.setEnvironment) dropped.push_back(set.substr(0, set.find('=')));
    run.environment = inheritedEnvironment(dropped);
    run.environment.insert(run.environment.end(), command.setEnvironment.begin(), command.setEnvironment.end());
    run.workDir = work;
    run.timeLimit = settings.gsTimeLimit;
    if (settings.gsMemoryLimit > 0) run.memoryLimit = static_cast<uint64_t>(settings.gsMemoryLimit) << 20;
    return run;
}

template <class... Args>
void say(std::string& to, const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return;
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.pop_back();
    to += text;
}

// One message for each error a chunk reported; true when there was one.
bool tellErrors(const pictures::Job& job, const pictures::Report& report, std::string& out) {
    bool any = false;
    for (size_t i = 0; i < report.chunks.size() && i < job.chunks.size(); ++i) {
        for (const pictures::ChunkError& e : report.chunks[i].errors) {
            any = true;
            say(out, "\nPostScript error %s (%s in %s) in the special \"%s\"; the rest of the page is drawn.\n",
                         placeOf(job, i).c_str(), printable(e.name).c_str(), printable(e.command).c_str(),
                         specialExcerpt(chunkText(job.chunks[i])).c_str());
        }
    }
    return any;
}

void traceReport(const pictures::Report& report, std::string& log) {
    for (const pictures::ChunkReport& c : report.chunks)
        for (const std::string& w : c.warnings) say(log, "\nPictures: warning: %s", printable(w).c_str());
    if (report.rejectedLines > 0) say(log, "\nPictures: %zu records not read", report.rejectedLines);
}

}  // namespace

PictureRun::PictureRun(const pictures::Job& job, const Settings& settings)
    : job(job), timeLimit(settings.gsTimeLimit) {
    if (!work.create()) {
        refusal = "no private directory for them (" + work.error + ")";
        return;
    }
    const pictures::PictureCommand command =
        pictures::pictureCommand(kGhostscript, absolutePath(settings.configDir + "/" + kProgram), job.files(), work.path);
    if (!command.ok()) {
        refusal = printable(command.refusal);
        return;
    }
    spec = pictureRun(command, work.path, settings);
}

PictureOutcome PictureRun::run() {
    PictureOutcome outcome;
    std::string& out = outcome.messages;
    if (!refusal.empty()) {
        say(out, "\nThe pictures are not drawn: %s.\n", refusal.c_str());
        outcome.incomplete = true;
        return outcome;
    }
    pictures::RetryPlan plan(job);
    RunOutcome last;
    for (;;) {
        const std::string nonce = pictures::makeNonce();
        if (nonce.empty()) {
            say(out, "\nThe pictures are not drawn: no random source for the run.\n");
            outcome.incomplete = true;
            return outcome;
        }
        std::vector<RunSpec> runs = {spec};
        runs[0].input = pictures::writeJob(job, nonce, plan.skip());
        outcome.signal = runAll(runs, 1, [&last](size_t, const RunOutcome& o) { last = o; });
        if (outcome.signal != 0) return outcome;
        outcome.report = pictures::parseReport(last.out, nonce, job.chunks.size());
        say(outcome.trace, "\nPictures: Ghostscript ran %zu chunks%s", job.chunks.size(),
            outcome.report.finished ? "" : ", not to the end");
        if (!plan.again(outcome.report)) break;
        const size_t culprit = plan.culprits().back();
        say(out, "\nA special %s did not end (%s) and is left out: \"%s\".\n", placeOf(job, culprit).c_str(),
            last.failure(timeLimit).c_str(), specialExcerpt(chunkText(job.chunks[culprit])).c_str());
        outcome.incomplete = true;
    }
    traceReport(outcome.report, outcome.trace);
    if (tellErrors(job, outcome.report, out)) outcome.incomplete = true;
    if (!outcome.report.finished) {
        say(out, "\nThe picture program did not finish (%s: %s); the pictures are incomplete.\n",
            last.succeeded() ? "no end" : last.failure(timeLimit).c_str(), printable(plan.gaveUp()).c_str());
        outcome.incomplete = true;
    }
    if (outcome.report.fatal) outcome.incomplete = true;
    return outcome;
}

}  // namespace morvex
