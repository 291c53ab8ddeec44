#include "pictures/run_plan.h"

#include <set>

#include "pictures/file_policy.h"

namespace morvex::pictures {

PictureCommand pictureCommand(const std::string& gs, const std::string& program,
                              const std::vector<std::string>& readable, const std::string& privateTemp) {
    PictureCommand c;
    if (!permittable(program)) {
        c.refusal = "the picture program's path cannot be given to Ghostscript: " + program;
        return c;
    }
    if (privateTemp.empty() || privateTemp.front() != '/') {
        c.refusal = "no private temporary directory for Ghostscript";
        return c;
    }
    c.argv = {gs, "-dSAFER", "-dNODISPLAY", "-dNOCACHE", "-q", "-dBATCH", "-dNOPAUSE"};
    std::set<std::string> seen;
    for (const std::string& f : readable) {
        if (!permittable(f)) {
            c.argv.clear();
            c.refusal = "a file Ghostscript cannot be told to read: " + f;
            return c;
        }
        if (seen.insert(f).second) c.argv.push_back("--permit-file-read=" + f);
    }
    c.argv.push_back(program);
    c.unsetEnvironment = {"GS_OPTIONS", "GS_LIB", "GS_FONTPATH", "GS_FONTMAP"};
    c.setEnvironment = {"TMPDIR=" + privateTemp};
    return c;
}

RetryPlan::RetryPlan(const Job& job, int maxRuns) : maxRuns(maxRuns), skipped(job.chunks.size(), false) {
    for (const Chunk& c : job.chunks) kinds.push_back(c.kind);
}

bool RetryPlan::again(const Report& report) {
    ++runs;
    if (report.finished) {
        reason.clear();
        return false;
    }
    if (!report.lastBegun) {
        reason = "the picture program stopped before the first chunk";
        return false;
    }
    const size_t culprit = *report.lastBegun;
    const ChunkKind kind = culprit < kinds.size() ? kinds[culprit] : ChunkKind::Start;
    if (kind == ChunkKind::Start || kind == ChunkKind::PageBegin || kind == ChunkKind::PageEnd) {
        reason = "the page set-up never ended";
        return false;
    }
    if (skipped[culprit]) {
        reason = "a chunk left out began again";
        return false;
    }
    if (runs >= maxRuns) {
        reason = "too many chunks that never ended";
        return false;
    }
    skipped[culprit] = true;
    found.push_back(culprit);
    return true;
}

}  // namespace morvex::pictures
