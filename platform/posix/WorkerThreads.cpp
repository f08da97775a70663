#include "platform/fs/WorkerThreads.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __linux__
#include <pthread.h>
#include <sys/syscall.h>
#endif

unsigned ProcessorsAvailable() {
    unsigned cores = std::thread::hardware_concurrency();
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        cores = static_cast<unsigned>(CPU_COUNT(&allowed));
    }
#endif
    return std::max(cores, 1u);
}

void RunCallingThreadBelowNormal() {
#ifdef __linux__
    // On Linux a thread's nice value is its own.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, thread);
    setpriority(PRIO_PROCESS, thread, std::min(19, current + 5));
#endif
}

void KeepCallingThreadDescriptorsApart() {
// ThreadSanitizer knows one table per process: the same number in two tables would look to
// it like one descriptor used by two threads without order. Its builds keep one table.
#if defined(__linux__) && defined(SYS_close_range) && defined(CLOSE_RANGE_UNSHARE) &&              \
    !defined(__SANITIZE_THREAD__)
    // Closing everything from 3 up, the kernel copies only the standard streams into the new
    // table; the other threads' table is left as it is. An older kernel refuses the call, and
    // the thread goes on sharing the table.
    syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_UNSHARE);
#endif
}

void RunCallingThreadOn(const ProcessorMask& mask) {
#ifdef __linux__
    if (!mask.Bits.empty()) {
        cpu_set_t set;
        CPU_ZERO(&set);
        std::memcpy(&set, mask.Bits.data(),
                    std::min(sizeof set, mask.Bits.size() * sizeof(std::uint64_t)));
        sched_setaffinity(0, sizeof set, &set);
    }
#else
    (void)mask;
#endif
}

ThreadsStartedBesideCaller::ThreadsStartedBesideCaller() {
#ifdef __linux__
    cpu_set_t set;
    CPU_ZERO(&set);
    const int here = sched_getcpu();
    if (here < 0 || here >= CPU_SETSIZE || sched_getaffinity(0, sizeof set, &set) != 0) {
        return;
    }
    before_.Bits.resize(sizeof set / sizeof(std::uint64_t));
    std::memcpy(before_.Bits.data(), &set, sizeof set);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(here, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) {
        before_.Bits.clear();
    }
#endif
}

ThreadsStartedBesideCaller::~ThreadsStartedBesideCaller() {
    RunCallingThreadOn(before_);
}

void NameThread(std::thread& thread, const char* name) {
#ifdef __linux__
    pthread_setname_np(thread.native_handle(), name);
#else
    (void)thread;
    (void)name;
#endif
}

ProcessorTimes ProcessorTimesNow() {
    ProcessorTimes times;
#ifdef __linux__
    // The first line adds up every processor, in ticks: user, nice, system, idle, iowait,
    // irq, softirq, steal.
    std::FILE* stat = std::fopen("/proc/stat", "re");
    if (stat == nullptr) {
        return times;
    }
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0,
                       steal = 0;
    const int read = std::fscanf(stat, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice,
                                 &system, &idle, &iowait, &irq, &softirq, &steal);
    std::fclose(stat);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    struct timespec process;
    if (read != 8 || ticksPerSecond <= 0 ||
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &process) != 0) {
        return times;
    }
    const unsigned long long busyTicks = user + nice + system + irq + softirq + steal;
    times.MachineBusyNs = static_cast<std::int64_t>(
        busyTicks * (1000000000ULL / static_cast<unsigned long long>(ticksPerSecond)));
    times.ProcessNs = static_cast<std::int64_t>(process.tv_sec) * 1000000000 + process.tv_nsec;
#endif
    return times;
}

int ThreadsRunnableNow() {
#ifdef __linux__
    // The fourth field reads "runnable/existing".
    std::FILE* load = std::fopen("/proc/loadavg", "re");
    if (load == nullptr) {
        return -1;
    }
    double minute = 0, five = 0, fifteen = 0;
    int runnable = -1;
    const int read = std::fscanf(load, "%lf %lf %lf %d/", &minute, &five, &fifteen, &runnable);
    std::fclose(load);
    return read == 4 ? runnable : -1;
#else
    return -1;
#endif
}
