#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// While it lives, Ctrl+C (SIGINT) stops the running scan as the window's Stop does: the
// first one sets StopRequested, and from then on the signal's default action is back, so
// that a second Ctrl+C ends the process at once. When the scan has not come back a moment
// after the first, because its thread is inside a call that does not return (a share whose
// server is gone), `whenStuck` runs on a thread of the InterruptStop's own (it prints what
// was found so far and ends the process). The handler that was there before is put back at
// the end; a signal that was ignored stays ignored. One lives at a time.
class InterruptStop {
public:
    explicit InterruptStop(std::function<void()> whenStuck = {});
    // Puts the signal's handling back as it was.
    ~InterruptStop();
    InterruptStop(const InterruptStop&) = delete;
    InterruptStop& operator=(const InterruptStop&) = delete;

    // How long the scan may take to come back after the first Ctrl+C.
    static constexpr int StuckAfterMs = 300;

private:
    void WaitForInterrupt();

    std::function<void()> whenStuck_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool over_ = false;
    std::thread thread_;
};
