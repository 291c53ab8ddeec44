#pragma once
// SIGINT, SIGTERM and SIGHUP while child processes run: the handler only
// notes the signal, so that the code that waits for the children can end
// them, remove what it made, and let the process end with the signal after.

namespace morvex {

class InterruptGuard {
public:
    // Installs the handlers; the earlier ones come back with the guard's end.
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The signal noted since the guard began, 0 when none.
int interruptSignal();

// Ends the process with sig as if it had not been caught.
[[noreturn]] void endWithSignal(int sig);

}  // namespace morvex
