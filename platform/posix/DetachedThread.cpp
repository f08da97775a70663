#include "platform/fs/DetachedThread.h"

#include <pthread.h>
#include <signal.h>
#include <system_error>
#include <thread>

bool StartDetachedThread(std::function<void()> body) {
    // A new thread inherits the mask of the one that starts it: blocked here for the moment
    // of the start, the signals are never open in the new thread.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    bool started = true;
    try {
        std::thread(std::move(body)).detach();
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}
