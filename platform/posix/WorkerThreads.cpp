#include "platform/fs/WorkerThreads.h"

#include <algorithm>
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

void NameThread(std::thread& thread, const char* name) {
#ifdef __linux__
    pthread_setname_np(thread.native_handle(), name);
#else
    (void)thread;
    (void)name;
#endif
}
