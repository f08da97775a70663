#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// While it lives, Ctrl+C (SIGINT) stops the running scan as the window's Stop does. The
// signal is taken on a thread of its own, so that it is handled even while the scan's thread
// is inside a call that does not return (a share whose server is gone): the first Ctrl+C sets
// StopRequested, and when the scan has not come back a moment later, `whenStuck` runs on that
// thread (it prints what was found so far and ends the process). From the first Ctrl+C on,
// the signal's default action is back, so that a second one ends the process at once. A
// signal that was ignored (a program started in the background) stays ignored, and nothing
// else changes then.
//
// Construct it before the scan starts any thread: the threads started afterwards leave the
// signal to this one. One lives at a time.
class InterruptStop {
public:
    explicit InterruptStop(std::function<void()> whenStuck = {});
    // Puts the signal's handling back as it was.
    ~InterruptStop();
    InterruptStop(const InterruptStop&) = delete;
    InterruptStop& operator=(const InterruptStop&) = delete;

    // How long the scan may take to come back after the first Ctrl+C.
    static constexpr int StuckAfterMs = 300;

    // For the scan's thread, now and then: takes a Ctrl+C that has come but that the signal's
    // thread has not taken yet (it was not scheduled since), and sets StopRequested for it.
    // So a stop never depends on how soon the other thread runs.
    static void TakeArrivedInterrupt();

private:
    void WaitForInterrupt();

    std::function<void()> whenStuck_;
    bool ignored_ = false;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool over_ = false;
    // The signal's thread waits for the first Ctrl+C.
    bool waitingForSignal_ = true;
    std::thread thread_;
};
