#pragma once
// How the picture program is run: Ghostscript's command and environment,
// and what to do when a run does not reach the job's end (a special that
// never ends meets the time limit; one that ends Ghostscript).
//
// The caller starts the command through the project's process module with
// the job's bytes on standard input, the environment changed as said, its
// time and memory limits, and parses standard output with parseReport.
#include <cstddef>
#include <string>
#include <vector>

#include "pictures/job.h"
#include "pictures/report.h"

namespace morvex::pictures {

struct PictureCommand {
    std::vector<std::string> argv;
    // Ghostscript reads these before its command line: GS_OPTIONS could
    // switch SAFER off, GS_LIB put other init files first, GS_FONTPATH add
    // directories it may read.
    std::vector<std::string> unsetEnvironment;
    // Ghostscript lets PostScript read and write its temporary directory
    // whatever the permits say: TMPDIR is a private, empty directory.
    std::vector<std::string> setEnvironment;
    std::string refusal;  // why no command can be given; empty when argv holds one

    bool ok() const { return refusal.empty(); }
};

// gs: the Ghostscript program; program: pictures.ps, an absolute path;
// readable: the files the job names (Job::files); privateTemp: an empty
// directory of the run's own.
PictureCommand pictureCommand(const std::string& gs, const std::string& program,
                              const std::vector<std::string>& readable, const std::string& privateTemp);

// The runs of one job: after a run that did not reach the job's end, the
// chunk that began last (which never ended, or ended Ghostscript) is left
// out and the job run again, so that the rest of its page is drawn.
class RetryPlan {
public:
    explicit RetryPlan(const Job& job, int maxRuns = 4);

    // The chunks to leave out of the next run (for writeJob).
    const std::vector<bool>& skip() const { return skipped; }
    // After a run: true when it should be made again (without one more
    // chunk); false when the report is final.
    bool again(const Report& report);
    // The chunks left out, in the order they were found.
    const std::vector<size_t>& culprits() const { return found; }
    // Why no further run is made although the last did not finish; empty
    // when it finished.
    const std::string& gaveUp() const { return reason; }

private:
    std::vector<ChunkKind> kinds;
    int maxRuns;
    int runs = 0;
    std::vector<bool> skipped;
    std::vector<size_t> found;
    std::string reason;
};

}  // namespace morvex::pictures
