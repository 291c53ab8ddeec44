#pragma once
// The trace log, bounded: a run writes every pending run of characters
// again at each character, so a long line could make a log a thousand times
// the size of its DVI file. Past the bound one line says so and the rest of
// the trace is dropped.
#include <cstdint>
#include <string>

#include "base/file_handle.h"

namespace morvex {

// The bound for a DVI file of the given size.
uint64_t traceLimit(uint64_t dviSize);

// Creates (or truncates) the log at path; no stream when it cannot. Write
// errors of the file show on the stream (ferror, closeChecked).
FileHandle openBoundedLog(const std::string& path, uint64_t limit);

}  // namespace morvex
