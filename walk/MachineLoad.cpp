// The machine's load, as the read-ahead's workers see it.
#include "MachineLoad.h"

#include <algorithm>
#include <thread>

namespace {

MachineLoad::Reader& CurrentReader() {
    static MachineLoad::Reader reader;
    return reader;
}

} // namespace

void MachineLoad::UseReader(Reader reader) {
    CurrentReader() = reader;
}

int MachineLoad::ProcessorsBesideWalk() {
    // The whole machine's, not only those the process may use: the system's times are the
    // whole machine's too. Counted once: the count is read from a system file each time.
    static const int beside =
        static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) - 1;
    return beside;
}

MachineLoad::MachineLoad(std::int64_t nowNs) : reader_(CurrentReader()) {
    // The first look at the processor time comes a while into the walk; until then the
    // threads runnable now decide, the caller's own not counted.
    const int runnable = reader_.Runnable();
    tooLittle_ = runnable > 0 && runnable - 1 > ProcessorsBesideWalk() - MinSpareProcessors;
    sample_ = reader_.Times();
    sampledAtNs_ = nowNs;
}

bool MachineLoad::LeavesWorkersTooLittle(std::int64_t nowNs) {
    const std::int64_t elapsedNs = nowNs - sampledAtNs_;
    // Found busy at two looks in a row, not by one look's noise nor only by the threads
    // runnable at the start.
    if (elapsedNs < (busyLooks_ >= 2 ? BusyIntervalNs : IntervalNs)) {
        return tooLittle_;
    }
    const ProcessorTimes times = reader_.Times();
    // The system counts the machine's busy time in ticks of 10 ms, a whole tick more or less
    // on each look: over one interval that alone can make a quiet machine of two processors
    // look 0.4 of one busy. Over two it is half that, and so it is over one long interval.
    const bool twoIntervals = earlier_.MachineBusyNs > 0 && elapsedNs < 2 * IntervalNs;
    const ProcessorTimes& since = twoIntervals ? earlier_ : sample_;
    const std::int64_t spanNs = nowNs - (twoIntervals ? earlierAtNs_ : sampledAtNs_);
    if (times.MachineBusyNs > 0 && since.MachineBusyNs > 0) {
        // The machine's busy time, less this process's, is what other programs used. While
        // the workers read, they take some of it from them: on two processors and one busy
        // program this comes to 0.9 and more, against at most 0.25 on a quiet machine.
        const double others = static_cast<double>((times.MachineBusyNs - since.MachineBusyNs) -
                                                  (times.ProcessNs - since.ProcessNs)) /
                              static_cast<double>(spanNs);
        tooLittle_ = ProcessorsBesideWalk() - others < MinSpareProcessors;
        busyLooks_ = tooLittle_ ? busyLooks_ + 1 : 0;
    }
    earlier_ = sample_;
    earlierAtNs_ = sampledAtNs_;
    sample_ = times;
    sampledAtNs_ = nowNs;
    return tooLittle_;
}
