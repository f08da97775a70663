#include "walk/MachineLoad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A machine on which this process keeps one processor busy and other programs use, interval
// after interval, what `Others` says (in processors), as the system's tick counts show it at
// `NowNs`.
struct ScriptedMachine {
    static inline std::vector<double> Others;
    static inline std::int64_t NowNs = 0;
    static inline std::size_t Looks = 0;
    static inline int RunnableNow = 0;

    static ProcessorTimes Times() {
        ++Looks;
        const double interval = MachineLoad::IntervalNs;
        const double intervals = static_cast<double>(NowNs) / interval;
        double others = 0;
        for (std::size_t i = 0; i < Others.size() && static_cast<double>(i) < intervals; ++i) {
            others += Others[i] * std::min(1.0, intervals - static_cast<double>(i));
        }
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
    ScriptedMachine::NowNs = 0;
    ScriptedMachine::RunnableNow = 0; // not known: the first look decides
    // Quiet, a tick's noise above the line once, quiet, then another program takes a
    // processor for six intervals and ends.
    ScriptedMachine::Others = {t - 0.3, t + 0.05, t - 0.3};
    ScriptedMachine::Others.insert(ScriptedMachine::Others.end(), 6, t + 0.5);
    ScriptedMachine::Others.insert(ScriptedMachine::Others.end(), 7, t - 0.6);
    // At the end of each interval: the answer, and whether it took a look. Found busy twice
    // in a row, it looks again only after BusyIntervalNs, over that whole time.
    const std::vector<std::pair<bool, bool>> expected = {
        {false, true}, {false, true}, {false, true}, {true, true},  {true, true},  {true, false},
        {true, false}, {true, false}, {true, true},  {true, false}, {true, false}, {true, false},
        {false, true}, {false, true}, {false, true}, {false, true}};
    static_assert(MachineLoad::BusyIntervalNs == 4 * MachineLoad::IntervalNs);
    MachineLoad::UseReader({ScriptedMachine::Times, ScriptedMachine::Runnable});
    MachineLoad load(0);
    ScriptedMachine::NowNs = MachineLoad::IntervalNs / 2;
    EXPECT_FALSE(load.LeavesWorkersTooLittle(ScriptedMachine::NowNs)) << "no look yet";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto now = static_cast<std::int64_t>(i + 1) * MachineLoad::IntervalNs;
        ScriptedMachine::NowNs = now;
        const std::size_t before = ScriptedMachine::Looks;
        EXPECT_EQ(load.LeavesWorkersTooLittle(now), expected[i].first) << "interval " << i + 1;
        EXPECT_EQ(ScriptedMachine::Looks > before, expected[i].second) << "interval " << i + 1;
        // Until the next interval has passed, the same answer without a look.
        ScriptedMachine::NowNs = now + MachineLoad::IntervalNs / 2;
        EXPECT_EQ(load.LeavesWorkersTooLittle(ScriptedMachine::NowNs), expected[i].first);
        EXPECT_EQ(ScriptedMachine::Looks, before + (expected[i].second ? 1 : 0));
    }

    // More threads runnable than processors when the walk starts: too little at once, and
    // the first look comes after one interval all the same.
    ScriptedMachine::Looks = 0;
    ScriptedMachine::NowNs = 0;
    ScriptedMachine::RunnableNow = static_cast<int>(Threshold() + 3);
    MachineLoad started(0);
    EXPECT_TRUE(started.LeavesWorkersTooLittle(1));
    ScriptedMachine::NowNs = MachineLoad::IntervalNs;
    started.LeavesWorkersTooLittle(ScriptedMachine::NowNs);
    EXPECT_EQ(ScriptedMachine::Looks, 2u);
    MachineLoad::UseReader({});
}

} // namespace
