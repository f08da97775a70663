// Ctrl+C taken by a plain handler on the scan's own thread, where no signal thread takes it.
#include "tests/cli/InterruptScenario.h"

#include <csignal>

namespace {

TEST(InterruptStop, CtrlCStopsTheWalkKeepsTheListAndLeavesTheSecondToTheSystem) {
    CheckCtrlCStopsTheWalk([] {
        std::raise(SIGINT);
        return CurrentInterruptHandler();
    });
}

} // namespace
