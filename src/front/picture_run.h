#pragma once
// The one Ghostscript run of the picture program for a --paths conversion:
// the job on standard input, -dSAFER, a cleaned environment, a private
// temporary directory, the glyph runs' time and memory limits; run again
// without a special that never ended. Its messages name the page and the
// first bytes of each special that was not drawn whole.
#include <cstdio>
#include <string>
#include <vector>

#include "fonts/work_dir.h"
#include "front/front.h"
#include "pictures/job.h"
#include "pictures/report.h"
#include "process/run.h"

namespace morvex {

struct PictureOutcome {
    pictures::Report report;
    bool incomplete = false;  // a special was not drawn whole, or the run failed
    int signal = 0;           // an interrupt ended the run
    std::string messages;     // for standard output
    std::string trace;        // for the trace log
};

// The run of one job. Made on the main thread (its private directory, the
// command and the environment, which the environment's readers may not
// share with a thread); run() may then go on beside the glyph runs, on a
// thread of its own: it writes nothing itself, and ends its Ghostscript
// at an interrupt that an InterruptGuard of the caller notes.
class PictureRun {
public:
    PictureRun(const pictures::Job& job, const Settings& settings);
    PictureRun(const PictureRun&) = delete;
    PictureRun& operator=(const PictureRun&) = delete;

    PictureOutcome run();

private:
    const pictures::Job& job;
    const int timeLimit;
    WorkDir work;
    RunSpec spec;              // all but its input
    std::string refusal;       // why no run can be made, for a message
};

}  // namespace morvex
