#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// The folder handles the read-ahead workers may hold at once: a share of what the walk leaves
// free, so that a worker never takes the handle the walk needs next. When the walk runs
// short all the same, it takes them all back and goes on alone, as under any open-file limit
// it completes on its own. Shared by the walk and its workers.
class WorkerHandles {
public:
    explicit WorkerHandles(int count) : left_(count) {}

    // For a worker about to open a folder. False when none is left: the folder is left to
    // the walk.
    bool TryTake() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (left_ <= 0) {
            return false;
        }
        --left_;
        ++held_;
        return true;
    }

    // A worker has closed the handle it took.
    void Give() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++left_;
        --held_;
        if (held_ == 0) {
            noneHeld_.notify_all();
        }
    }

    // For the walk, out of handles: no worker takes one from now on. Waits until the
    // workers hold none, but not longer than `wait` (a worker may be stuck in a call). True
    // when they hold none.
    bool TakeAllBack(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        left_ = -(1 << 20);
        return noneHeld_.wait_for(lock, wait, [&] { return held_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable noneHeld_;
    int left_ = 0;
    int held_ = 0;
};
