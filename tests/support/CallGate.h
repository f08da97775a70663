#pragma once

#include <condition_variable>
#include <mutex>

// Where a call that stands in for a file system that does not answer waits until the test
// opens the gate. Held by shared pointer: an abandoned call still holds it after its test.
class CallGate {
public:
    // Blocks until the gate is open; then counts the call as passed.
    void Wait() {
        std::unique_lock<std::mutex> lock(lock_);
        ++arrived_;
        opened_.wait(lock, [this] { return open_; });
        ++passed_;
    }
    void Open() {
        const std::lock_guard<std::mutex> lock(lock_);
        open_ = true;
        opened_.notify_all();
    }
    // The calls that came to the gate, and those that went on through it.
    int Arrived() const {
        const std::lock_guard<std::mutex> lock(lock_);
        return arrived_;
    }
    int Passed() const {
        const std::lock_guard<std::mutex> lock(lock_);
        return passed_;
    }

private:
    mutable std::mutex lock_;
    std::condition_variable opened_;
    bool open_ = false;
    int arrived_ = 0;
    int passed_ = 0;
};
