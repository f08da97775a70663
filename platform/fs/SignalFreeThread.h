#pragma once

#include <functional>
#include <thread>

// Starts `body` on a new thread that takes none of the process's signals (on POSIX they stay
// blocked in it from its first instruction), so that a Ctrl+C reaches the threads that handle
// it, never one stuck in a call. The thread returned is not joinable when the system refuses
// one; `body` has then not run.
std::thread StartSignalFreeThread(std::function<void()> body);
