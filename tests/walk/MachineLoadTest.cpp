#include "walk/MachineLoad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace {

// A machine on which this process keeps one processor busy and other programs use, interval
// after interval, what `Others` says (in processors), as the system's tick counts show it.
struct ScriptedMachine {
    static inline std::vector<double> Others;
    static inline std::size_t Looks = 0;
    static inline int RunnableNow = 0;

    static ProcessorTimes Times() {
        double others = 0;
        for (std::size_t i = 0; i < Looks && i < Others.size(); ++i) {
            others += Others[i];
        }
        const auto intervals = static_cast<double>(Looks++);
        const double interval = MachineLoad::IntervalNs;
        // The busy time starts at some value, as the system's does.
        return {static_cast<std::int64_t>(1e12 + (intervals + others) * interval),
                static_cast<std::int64_t>(intervals * interval)};
    }
    static int Runnable() { return RunnableNow; }
};

// The share of other programs at which the workers are left too little.
double Threshold() {
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return processors - 1 - MachineLoad::MinSpareProcessors;
}

TEST(MachineLoad, OneIntervalOfTickNoiseDoesNotStopTheWorkersButABusyMachineDoes) {
    const double t = Threshold();
    ScriptedMachine::Looks = 0;
    ScriptedMachine::RunnableNow = 0; // not known: the first look decides
    // Quiet, a tick's noise above the line once, quiet, then another program takes a
    // processor for a while and ends.
    ScriptedMachine::Others = {t - 0.3, t + 0.05, t - 0.3, t + 0.5,
                               t + 0.5, t + 0.5,  t - 0.6, t - 0.6};
    const std::vector<bool> expected = {false, false, false, true, true, true, false, false};
    MachineLoad::UseReader({ScriptedMachine::Times, ScriptedMachine::Runnable});
    MachineLoad load(0);
    EXPECT_FALSE(load.LeavesWorkersTooLittle(MachineLoad::IntervalNs / 2)) << "no look yet";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto now = static_cast<std::int64_t>(i + 1) * MachineLoad::IntervalNs;
        EXPECT_EQ(load.LeavesWorkersTooLittle(now), expected[i]) << "interval " << i + 1;
        // Until the next interval has passed, the same answer without a look.
        const std::size_t looks = ScriptedMachine::Looks;
        EXPECT_EQ(load.LeavesWorkersTooLittle(now + MachineLoad::IntervalNs / 2), expected[i]);
        EXPECT_EQ(ScriptedMachine::Looks, looks);
    }

    // More threads runnable than processors when the walk starts: too little at once.
    ScriptedMachine::Looks = 0;
    ScriptedMachine::RunnableNow = static_cast<int>(Threshold() + 3);
    EXPECT_TRUE(MachineLoad(0).LeavesWorkersTooLittle(1));
    MachineLoad::UseReader({});
}

} // namespace
