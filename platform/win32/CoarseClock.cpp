#include "platform/fs/CoarseClock.h"

#include <chrono>

std::int64_t CoarseMonotonicNs() {
    // The steady clock is the performance counter here, read without a kernel call; the
    // tick count would be cheaper but moves in steps of about 16 ms, coarser than the
    // window's processing interval.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
