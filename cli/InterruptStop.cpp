#include "InterruptStop.h"

#include "scan/StopRequested.h"

#include <chrono>
#include <csignal>
#include <ctime>
#include <pthread.h>

namespace {

sigset_t InterruptOnly() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    return set;
}

// How often the signal's thread looks whether it is still needed.
constexpr long WaitSliceNs = 50'000'000;

// The handling from before, put back at the end.
struct sigaction previousAction {};

} // namespace

void InterruptStop::TakeArrivedInterrupt() {
    sigset_t pending;
    if (StopRequested.load(std::memory_order_relaxed) || sigpending(&pending) != 0 ||
        sigismember(&pending, SIGINT) != 1) {
        return;
    }
    // The signal's thread takes it as well if it comes first; either way the stop is set.
    StopRequested.store(true);
}

InterruptStop::InterruptStop(std::function<void()> whenStuck) : whenStuck_(std::move(whenStuck)) {
    sigaction(SIGINT, nullptr, &previousAction);
    // A program started in the background by a shell without job control ignores Ctrl+C
    // on purpose (it was meant for the foreground program); it goes on ignoring it.
    ignored_ = previousAction.sa_handler == SIG_IGN;
    if (ignored_) {
        return;
    }
    const sigset_t interrupt = InterruptOnly();
    pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
    thread_ = std::thread([this] { WaitForInterrupt(); });
}

InterruptStop::~InterruptStop() {
    if (ignored_) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        over_ = true;
        if (waitingForSignal_) {
            // Ends its wait now rather than at the end of its slice, which would hold up the
            // end of every run: it takes this signal, sees the scan over and returns.
            pthread_kill(thread_.native_handle(), SIGINT);
        }
    }
    ended_.notify_all();
    thread_.join();
    // A Ctrl+C that came after the scan is pending; it meets the handling from before.
    sigaction(SIGINT, &previousAction, nullptr);
    const sigset_t interrupt = InterruptOnly();
    pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
}

void InterruptStop::WaitForInterrupt() {
    const sigset_t interrupt = InterruptOnly();
    const timespec slice{0, WaitSliceNs};
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (over_) {
                return;
            }
        }
        if (sigtimedwait(&interrupt, nullptr, &slice) == SIGINT) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (over_) {
                return;
            }
            // From here on the signal ends the process: the end of the scan sends none.
            waitingForSignal_ = false;
            break;
        }
    }
    StopRequested.store(true);
    // A second Ctrl+C ends the process: this thread takes it with the default action.
    std::signal(SIGINT, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
    std::unique_lock<std::mutex> lock(mutex_);
    if (ended_.wait_for(lock, std::chrono::milliseconds(StuckAfterMs), [&] { return over_; })) {
        return;
    }
    lock.unlock();
    // The scan's thread is inside a call that does not return.
    if (whenStuck_) {
        whenStuck_();
    }
}
