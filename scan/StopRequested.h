#pragma once

#include <atomic>

// The one channel from the user's commands to a running walk: the commands set it while a
// scan runs, the walk tests it and unwinds, and the scan's closing steps clear it.
//
// It is a lock-free atomic so that a signal handler (Ctrl+C in a terminal) may set it too:
// that is async-signal-safe only for lock-free atomics.
extern std::atomic<bool> StopRequested;
static_assert(std::atomic<bool>::is_always_lock_free,
              "the stop flag must be settable from a signal handler");
