// Ctrl+C as a terminal sends it to the whole process, taken on a thread of its own: POSIX
// processes and signals.
#include "tests/cli/InterruptScenario.h"

#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"
#include "tests/scan/RecordingWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(InterruptStop, CtrlCStopsTheWalkKeepsTheListAndLeavesTheSecondToTheSystem) {
    CheckCtrlCStopsTheWalk([] {
        // As a terminal sends it: to the process, not to this thread.
        kill(getpid(), SIGINT);
        for (int i = 0; i < 400 && !StopRequested; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (int i = 0; i < 100 && CurrentInterruptHandler() != SIG_DFL; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return CurrentInterruptHandler();
    });
}

// A child whose main thread is stuck in a call that never returns, as a scan's thread in a
// file system that does not answer; `whenStuck` runs when Ctrl+C finds it so. Returns the
// child's wait status after `interrupts` Ctrl+C, and what it wrote.
struct StuckRun {
    int Status = 0;
    std::string Output;
    std::chrono::milliseconds Took{0};
};
StuckRun InterruptStuckChild(int interrupts, bool stuckPrintsAndEnds) {
    int output[2];
    int never[2];
    EXPECT_EQ(pipe(output), 0);
    EXPECT_EQ(pipe(never), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(output[0]);
        InterruptStop interrupt([&] {
            (void)!write(output[1], "printed", 7);
            if (stuckPrintsAndEnds)
                _exit(3);
            for (;;)
                pause();
        });
        (void)!write(output[1], "ready ", 6);
        char byte;
        (void)!read(never[0], &byte, 1);
        _exit(0);
    }
    close(output[1]);
    char buffer[64];
    StuckRun run;
    const ssize_t ready = read(output[0], buffer, 6);
    run.Output.assign(buffer, ready > 0 ? static_cast<std::size_t>(ready) : 0);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < interrupts; ++i) {
        kill(child, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(InterruptStop::StuckAfterMs + 200));
    }
    for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
        run.Output.append(buffer, static_cast<std::size_t>(got));
        if (!stuckPrintsAndEnds)
            break;
    }
    waitpid(child, &run.Status, 0);
    run.Took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    close(output[0]);
    close(never[0]);
    close(never[1]);
    return run;
}

TEST(InterruptStop, CtrlCIsTakenWhileTheScanIsStuckAndASecondOneEndsTheProcess) {
    const StuckRun printed = InterruptStuckChild(1, true);
    EXPECT_EQ(printed.Output, "ready printed");
    ASSERT_TRUE(WIFEXITED(printed.Status));
    EXPECT_EQ(WEXITSTATUS(printed.Status), 3);

    // The second Ctrl+C ends the process even while the first is still being answered.
    const StuckRun killed = InterruptStuckChild(2, false);
    EXPECT_EQ(killed.Output, "ready printed");
    ASSERT_TRUE(WIFSIGNALED(killed.Status));
    EXPECT_EQ(WTERMSIG(killed.Status), SIGINT);
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
