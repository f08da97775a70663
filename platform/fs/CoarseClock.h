#pragma once

#include <cstdint>

// Nanoseconds on a monotonic clock that is cheap to read, for code that asks for the time
// at every directory entry. Its resolution may be a few milliseconds; its origin is
// unspecified, so only differences mean anything.
std::int64_t CoarseMonotonicNs();
