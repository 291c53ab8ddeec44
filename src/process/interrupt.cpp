#include "process/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>

namespace morvex {

namespace {

// A signal handler can only reach static storage: the one piece of
// process-wide state, written by the handler and read by the waiting code.
volatile sig_atomic_t noted = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

extern "C" void noteSignal(int sig) {
    if (noted == 0) noted = sig;
}

}  // namespace

InterruptGuard::InterruptGuard() {
    noted = 0;
    struct sigaction sa {};
    sa.sa_handler = noteSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocking wait returns with EINTR
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &sa, &previous[i]);
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous[i], nullptr);
}

int interruptSignal() { return noted; }

void endWithSignal(int sig) {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);
}

}  // namespace morvex
