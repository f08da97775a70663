#pragma once

#include "cli/InterruptStop.h"

#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"
#include "tests/scan/RecordingWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <string>

// Which handler SIGINT has now, without changing it.
using InterruptHandler = void (*)(int);
inline InterruptHandler CurrentInterruptHandler() {
    const InterruptHandler current = std::signal(SIGINT, SIG_DFL);
    std::signal(SIGINT, current);
    return current;
}

extern "C" inline void InterruptHandlerForTest(int) {}

// A scan of 100 files under InterruptStop, interrupted by `interrupt` midway, which sends
// Ctrl+C the platform's way and returns the handler SIGINT has once the stop is seen. The
// walk must stop with the list found so far, leave a second Ctrl+C to the system, and give
// back the handler from before.
inline void CheckCtrlCStopsTheWalk(const std::function<InterruptHandler()>& interrupt) {
    TempTree tree;
    for (int folder = 0; folder < 10; ++folder) {
        for (int file = 0; file < 10; ++file) {
            ASSERT_TRUE(
                tree.File("d" + std::to_string(folder) + "/f" + std::to_string(file), 1000 + file));
        }
    }
    StopRequested = false;
    const InterruptHandler before = std::signal(SIGINT, InterruptHandlerForTest);

    RecordingWindow window;
    InterruptHandler handlerAfterInterrupt = nullptr;
    window.OnProcess = [&](int call) {
        if (call == 30)
            handlerAfterInterrupt = interrupt();
    };
    FixedIcons icons;
    ScanEngine engine(window, icons);
    {
        InterruptStop stop;
        engine.StartScan(tree.Root().string());
    }

    EXPECT_EQ(std::count(window.Lines.begin(), window.Lines.end(), "report 1"), 0)
        << "the scan ran to its end despite the interrupt";
    EXPECT_LT(engine.State().FileCount, 100u);
    EXPECT_GT(engine.List().Count(), 0);
    EXPECT_EQ(engine.List().Count(), static_cast<int>(engine.State().FileCount));
    EXPECT_FALSE(StopRequested) << "the scan's closing steps clear the flag";
    // A second Ctrl+C ends the program: the system's default action is back.
    EXPECT_EQ(handlerAfterInterrupt, SIG_DFL);
    EXPECT_EQ(CurrentInterruptHandler(), InterruptHandlerForTest)
        << "the handler from before is back";
    std::signal(SIGINT, before);
}
