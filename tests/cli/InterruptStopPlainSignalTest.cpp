// Ctrl+C taken by a plain handler on the scan's own thread, where no signal thread takes it.
#include "cli/InterruptStop.h"

#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"
#include "tests/scan/RecordingWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>

namespace {

// Which handler SIGINT has now, without changing it.
using Handler = void (*)(int);
Handler CurrentInterruptHandler() {
    const Handler current = std::signal(SIGINT, SIG_DFL);
    std::signal(SIGINT, current);
    return current;
}

extern "C" void HandlerForTest(int) {}

TEST(InterruptStop, CtrlCStopsTheWalkKeepsTheListAndLeavesTheSecondToTheSystem) {
    TempTree tree;
    for (int folder = 0; folder < 10; ++folder) {
        for (int file = 0; file < 10; ++file) {
            ASSERT_TRUE(
                tree.File("d" + std::to_string(folder) + "/f" + std::to_string(file), 1000 + file));
        }
    }
    StopRequested = false;
    const Handler before = std::signal(SIGINT, HandlerForTest);

    RecordingWindow window;
    Handler handlerAfterInterrupt = nullptr;
    window.OnProcess = [&](int call) {
        if (call == 30) {
            std::raise(SIGINT);
            handlerAfterInterrupt = CurrentInterruptHandler();
        }
    };
    FixedIcons icons;
    ScanEngine engine(window, icons);
    {
        InterruptStop interrupt;
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
    EXPECT_EQ(CurrentInterruptHandler(), HandlerForTest) << "the handler from before is back";
    std::signal(SIGINT, before);
}

} // namespace
