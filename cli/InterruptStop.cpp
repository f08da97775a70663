#include "InterruptStop.h"

#include "scan/StopRequested.h"

#include <csignal>

namespace {

// Runs as a signal handler: it touches nothing but the lock-free stop flag and signal(),
// both safe there.
extern "C" void StopOnInterrupt(int) {
    StopRequested.store(true);
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

InterruptStop::InterruptStop() : previous_(std::signal(SIGINT, StopOnInterrupt)) {
    // A program started in the background by a shell without job control ignores Ctrl+C
    // on purpose (it was meant for the foreground program); it goes on ignoring it.
    if (previous_ == SIG_IGN) {
        std::signal(SIGINT, SIG_IGN);
    }
}

InterruptStop::~InterruptStop() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}
