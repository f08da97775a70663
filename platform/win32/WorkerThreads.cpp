#include "platform/fs/WorkerThreads.h"

#include "Win32Api.h"

unsigned ProcessorsAvailable() {
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) ||
        processMask == 0) {
        const unsigned cores = std::thread::hardware_concurrency();
        return cores > 0 ? cores : 1;
    }
    unsigned cores = 0;
    for (; processMask != 0; processMask &= processMask - 1) {
        ++cores;
    }
    return cores;
}

void RunCallingThreadBelowNormal() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

// Handles belong to the process; there is no table of a thread's own.
void KeepCallingThreadDescriptorsApart() {}

// Not measured on Windows: threads start wherever the system puts them.
void RunCallingThreadOn(const ProcessorMask&) {}
ThreadsStartedBesideCaller::ThreadsStartedBesideCaller() = default;
ThreadsStartedBesideCaller::~ThreadsStartedBesideCaller() = default;

void NameThread(std::thread&, const char*) {}

namespace {

std::int64_t Nanoseconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(value.QuadPart) * 100;
}

} // namespace

ProcessorTimes ProcessorTimesNow() {
    ProcessorTimes times;
    FILETIME idle, kernel, user, created, exited, processKernel, processUser;
    if (!GetSystemTimes(&idle, &kernel, &user) ||
        !GetProcessTimes(GetCurrentProcess(), &created, &exited, &processKernel, &processUser)) {
        return times;
    }
    // The system's kernel time includes its idle time.
    times.MachineBusyNs = Nanoseconds(kernel) + Nanoseconds(user) - Nanoseconds(idle);
    times.ProcessNs = Nanoseconds(processKernel) + Nanoseconds(processUser);
    return times;
}

int ThreadsRunnableNow() {
    // Windows counts its ready threads only for the performance counters.
    return -1;
}
