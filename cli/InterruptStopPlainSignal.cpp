#include "InterruptStop.h"

#include "scan/StopRequested.h"

#include <csignal>

// Where there is no signal thread to take it (Windows, whose console runs its Ctrl+C on a
// thread of its own anyway), Ctrl+C is taken by a plain handler; `whenStuck` is not used.

namespace {

void (*previousHandler)(int) = SIG_DFL;

// Runs as a signal handler: it touches nothing but the lock-free stop flag and signal(),
// both safe there.
extern "C" void StopOnInterrupt(int) {
    StopRequested.store(true);
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

void InterruptStop::TakeArrivedInterrupt() {
    // The handler runs on the scan's thread here: nothing has come that it has not taken.
}

InterruptStop::InterruptStop(std::function<void()> whenStuck) : whenStuck_(std::move(whenStuck)) {
    previousHandler = std::signal(SIGINT, StopOnInterrupt);
    // A program started in the background by a shell without job control ignores Ctrl+C
    // on purpose (it was meant for the foreground program); it goes on ignoring it.
    if (previousHandler == SIG_IGN) {
        std::signal(SIGINT, SIG_IGN);
    }
}

InterruptStop::~InterruptStop() {
    std::signal(SIGINT, previousHandler == SIG_ERR ? SIG_DFL : previousHandler);
}
