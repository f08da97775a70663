#pragma once

#include <functional>

// Starts `body` on a new thread that nobody joins: it runs to its end, or for as long as the
// process lives. The thread takes none of the process's signals (on POSIX they stay blocked
// in it from its first instruction), so a Ctrl+C reaches the threads that handle it, never
// one stuck in a call. False when the system refuses a thread; `body` then has not run.
bool StartDetachedThread(std::function<void()> body);
