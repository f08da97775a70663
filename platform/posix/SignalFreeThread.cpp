#include "platform/fs/SignalFreeThread.h"

#include <pthread.h>
#include <signal.h>
#include <system_error>

std::thread StartSignalFreeThread(std::function<void()> body) {
    // A new thread inherits the mask of the one that starts it: blocked here for the moment
    // of the start, the signals are never open in the new thread.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    std::thread thread;
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        // Refused: the caller finds the thread not joinable.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}
