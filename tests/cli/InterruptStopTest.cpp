#include "tests/cli/InterruptScenario.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

namespace {

TEST(InterruptStop, AnIgnoredInterruptStaysIgnored) {
    const InterruptHandler before = std::signal(SIGINT, SIG_IGN);
    {
        InterruptStop interrupt;
        EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    }
    EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    std::signal(SIGINT, before);
}

TEST(InterruptStop, EndingWithoutAnInterruptLeavesNoStopNorSignalBehind) {
    // The end wakes the signal's thread with a signal of its own; it must neither stop the
    // next scan nor reach the program's own handling, whenever that thread is.
    StopRequested = false;
    const InterruptHandler before = std::signal(SIGINT, InterruptHandlerForTest);
    for (int round = 0; round < 50; ++round) {
        InterruptStop interrupt;
        if (round % 2 == 1) {
            std::this_thread::yield();
        }
    }
    EXPECT_FALSE(StopRequested);
    EXPECT_EQ(CurrentInterruptHandler(), InterruptHandlerForTest);
    sigset_t pending;
    ASSERT_EQ(sigpending(&pending), 0);
    EXPECT_EQ(sigismember(&pending, SIGINT), 0);
    std::signal(SIGINT, before);
}

} // namespace
