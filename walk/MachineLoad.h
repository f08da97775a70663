#pragma once

#include "platform/fs/WorkerThreads.h"

#include <cstdint>

// Tells whether other programs keep the machine's processors so busy that the read-ahead's
// workers, below the walk's priority, would get a processor only now and then. A worker that
// loses its processor halfway through a folder leaves the walk waiting for that folder, which
// costs more than the walk reading the folder itself.
class MachineLoad {
public:
    // Where the load is read from: the system, unless a test says otherwise.
    struct Reader {
        ProcessorTimes (*Times)() = ProcessorTimesNow;
        int (*Runnable)() = ThreadsRunnableNow;
    };
    // The reader of every MachineLoad made from now on.
    static void UseReader(Reader reader);

    // Starts with the threads that run at this moment: made before the workers start, it
    // counts none of them.
    explicit MachineLoad(std::int64_t nowNs);

    // True while other programs leave less than MinSpareProcessors beside the walk's own
    // processor. Looks at the processor time used over the last two intervals (the first
    // time, over one) once Interval has passed since the last look (`nowNs` on the clock the
    // constructor got); in between, the last answer. Once two looks in a row have found the
    // machine busy it looks only every BusyInterval, over that one interval: a look costs the
    // walk about 75 us beside a busy program, and while the walk reads alone nothing is gained
    // by looking often.
    bool LeavesWorkersTooLittle(std::int64_t nowNs);

    static constexpr std::int64_t IntervalNs = 50'000'000;
    static constexpr std::int64_t BusyIntervalNs = 200'000'000;
    static constexpr double MinSpareProcessors = 0.6;

private:
    // The processors of the machine, the walk's own not counted.
    static int ProcessorsBesideWalk();

    Reader reader_;
    ProcessorTimes sample_;
    std::int64_t sampledAtNs_ = 0;
    // The look before the last, when there was one.
    ProcessorTimes earlier_;
    std::int64_t earlierAtNs_ = 0;
    bool tooLittle_ = false;
    // The looks in a row that found the machine busy.
    int busyLooks_ = 0;
};
