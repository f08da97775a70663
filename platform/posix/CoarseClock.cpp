#include "platform/fs/CoarseClock.h"

#include <chrono>
#include <ctime>

std::int64_t CoarseMonotonicNs() {
#if defined(CLOCK_MONOTONIC_COARSE)
    // Read from memory that the kernel updates at every tick: no system call.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}
