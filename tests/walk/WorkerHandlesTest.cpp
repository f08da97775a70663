#include "walk/WorkerHandles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(WorkerHandles, WorkersNeverHoldMoreThanTheirShareAndTakingBackWaitsForTheLast) {
    WorkerHandles handles(3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(handles.TryTake());
    }
    EXPECT_FALSE(handles.TryTake());
    for (int i = 0; i < 3; ++i) {
        handles.Give();
    }
    std::atomic<int> holding{0};
    std::atomic<int> mostHeld{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 6; ++i) {
        workers.emplace_back([&] {
            for (int round = 0; round < 20000; ++round) {
                if (!handles.TryTake()) {
                    continue;
                }
                const int now = ++holding;
                int most = mostHeld.load();
                while (now > most && !mostHeld.compare_exchange_weak(most, now)) {
                }
                --holding;
                handles.Give();
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_LE(mostHeld.load(), 3);

    // One handle still held: taking back waits for it, and refuses every new one meanwhile.
    ASSERT_TRUE(handles.TryTake());
    EXPECT_FALSE(handles.TakeAllBack(std::chrono::milliseconds(20)));
    EXPECT_FALSE(handles.TryTake());
    std::thread giver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        handles.Give();
    });
    EXPECT_TRUE(handles.TakeAllBack(std::chrono::seconds(10)));
    giver.join();
    EXPECT_FALSE(handles.TryTake());
}

} // namespace
