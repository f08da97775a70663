#include "platform/fs/SignalFreeThread.h"

#include <system_error>

std::thread StartSignalFreeThread(std::function<void()> body) {
    // Console control events come on a thread the system starts for them: nothing to keep
    // away from this one.
    try {
        return std::thread(std::move(body));
    } catch (const std::system_error&) {
        return std::thread();
    }
}
