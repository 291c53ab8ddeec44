#pragma once
// Runs the picture program of the build (config/pictures.ps) on a job
// through the real Ghostscript, as morvex runs it: the command and the
// environment of pictureCommand, a private TMPDIR, a time limit.
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "pictures/file_policy.h"
#include "pictures/job_writer.h"
#include "pictures/report.h"
#include "pictures/run_plan.h"
#include "support/process.h"

namespace morvex::testing {

struct PictureRun {
    pictures::Report report;
    std::string nonce;
    std::string out, err;
    int exitCode = -1;
    double seconds = 0;
};

inline std::string pictureProgram() { return std::string(MORVEX_TEST_CONFIG_DIR) + "/pictures.ps"; }

// The prologues dvips always loads for a page with specials.
inline const std::vector<std::string>& dvipsPrologues() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> found;
        for (const char* name : {"tex.pro", "texps.pro", "special.pro", "color.pro"})
            if (std::optional<std::string> path = pictures::findPrologue(name)) found.push_back(*path);
        return found;
    }();
    return files;
}

// A builder with the prologues in place, for a page of letter size.
inline pictures::JobBuilder jobWithPrologues(const pictures::JobFrame& frame = {}) {
    pictures::JobBuilder b(frame);
    for (const std::string& p : dvipsPrologues()) b.headerFile(p);
    return b;
}

inline PictureRun runPictures(const pictures::Job& job, int timeLimit = 60, const std::vector<bool>& skip = {}) {
    // Ghostscript may end before it has read the whole job (a special that
    // stops it): the job's pipe must not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    PictureRun run;
    run.nonce = pictures::makeNonce();
    TempDir tmp;
    pictures::PictureCommand cmd = pictures::pictureCommand("gs", pictureProgram(), job.files(), tmp.path);
    if (!cmd.ok()) {
        run.err = cmd.refusal;
        return run;
    }
    std::vector<std::string> argv = {"timeout", "-s", "KILL", std::to_string(timeLimit), "env"};
    for (const std::string& name : cmd.unsetEnvironment) argv.insert(argv.end(), {"-u", name});
    argv.insert(argv.end(), cmd.setEnvironment.begin(), cmd.setEnvironment.end());
    argv.insert(argv.end(), cmd.argv.begin(), cmd.argv.end());
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = runProcess(argv, tmp.path, {}, true, pictures::writeJob(job, run.nonce, skip));
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.out = r.out;
    run.err = r.err;
    run.exitCode = r.exitCode;
    run.report = pictures::parseReport(r.out, run.nonce, job.chunks.size());
    return run;
}

// The first chunk of the job's first page that is a special, a figure or
// a colour: where a page's own chunks begin.
inline size_t firstPageChunk(const pictures::Job& job) {
    for (size_t i = 0; i < job.chunks.size(); ++i)
        if (job.chunks[i].kind == pictures::ChunkKind::PageBegin) return i + 1;
    return job.chunks.size();
}

}  // namespace morvex::testing
