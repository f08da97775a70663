#include "InterruptStop.h"

#include "scan/StopRequested.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <semaphore.h>

namespace {

// Posted by the handler (sem_post is safe in a signal handler) and at the end; the thread
// that waits on it needs no signal of its own.
sem_t interrupted;
void (*previousHandler)(int) = SIG_DFL;

// Runs as a signal handler, on whichever thread the system picks: it touches nothing but the
// lock-free stop flag, signal() and the semaphore, all safe there.
extern "C" void StopOnInterrupt(int) {
    StopRequested.store(true);
    std::signal(SIGINT, SIG_DFL);
    sem_post(&interrupted);
}

} // namespace

InterruptStop::InterruptStop(std::function<void()> whenStuck) : whenStuck_(std::move(whenStuck)) {
    sem_init(&interrupted, 0, 0);
    thread_ = std::thread([this] { WaitForInterrupt(); });
    previousHandler = std::signal(SIGINT, StopOnInterrupt);
    // A program started in the background by a shell without job control ignores Ctrl+C
    // on purpose (it was meant for the foreground program); it goes on ignoring it.
    if (previousHandler == SIG_IGN) {
        std::signal(SIGINT, SIG_IGN);
    }
}

InterruptStop::~InterruptStop() {
    std::signal(SIGINT, previousHandler == SIG_ERR ? SIG_DFL : previousHandler);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        over_ = true;
    }
    ended_.notify_all();
    sem_post(&interrupted);
    thread_.join();
    sem_destroy(&interrupted);
}

void InterruptStop::WaitForInterrupt() {
    while (sem_wait(&interrupted) != 0 && errno == EINTR) {
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (ended_.wait_for(lock, std::chrono::milliseconds(StuckAfterMs), [&] { return over_; })) {
        return;
    }
    lock.unlock();
    // The scan's thread is inside a call that does not return; the handler ran elsewhere, or
    // interrupted that call's wait.
    if (whenStuck_) {
        whenStuck_();
    }
}
