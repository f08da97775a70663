#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// The folder handles the read-ahead workers may hold at once: a share of what the walk leaves
// free, so that a worker never takes the handle the walk needs next. When the walk runs
// short all the same, it takes them all back and goes on alone, as under any open-file limit
// it completes on its own. Shared by the walk and its workers.
//
// A worker takes and gives a handle for every folder it reads, so that happens without a
// lock; only the walk's taking them back waits under one.
class WorkerHandles {
public:
    explicit WorkerHandles(int count) : count_(count) {}

    // For a worker about to open a folder. False when none is left: the folder is left to
    // the walk.
    bool TryTake() {
        if (takenBack_.load()) {
            return false;
        }
        // Counted first and the taking back looked at again afterwards: either this sees it,
        // or TakeAllBack sees the handle held and waits for it.
        if (held_.fetch_add(1) >= count_ || takenBack_.load()) {
            Give();
            return false;
        }
        return true;
    }

    // A worker has closed the handle it took.
    void Give() {
        if (held_.fetch_sub(1) == 1 && takenBack_.load()) {
            std::lock_guard<std::mutex> lock(mutex_);
            noneHeld_.notify_all();
        }
    }

    // For the walk, out of handles: no worker takes one from now on. Waits until the
    // workers hold none, but not longer than `wait` (a worker may be stuck in a call). True
    // when they hold none.
    bool TakeAllBack(std::chrono::milliseconds wait) {
        takenBack_.store(true);
        std::unique_lock<std::mutex> lock(mutex_);
        return noneHeld_.wait_for(lock, wait, [&] { return held_.load() == 0; });
    }

private:
    const int count_;
    std::atomic<int> held_{0};
    std::atomic<bool> takenBack_{false};
    std::mutex mutex_;
    std::condition_variable noneHeld_;
};
