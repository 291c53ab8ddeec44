#pragma once

namespace morvex {

// Tells kpathsea that it serves morvex. kpathsea derives its SELFAUTO*
// directories from the invocation path and ends the process when it cannot
// find "morvex" on PATH (a binary run from its build tree), so the running
// executable's own link is given as that path; the program name stays
// morvex. Done once per process: kpathsea never frees an earlier call's names.
void setKpseProgramName();

}  // namespace morvex
