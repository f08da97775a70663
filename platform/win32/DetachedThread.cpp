#include "platform/fs/DetachedThread.h"

#include <system_error>
#include <thread>

bool StartDetachedThread(std::function<void()> body) {
    // Console control events come on a thread the system starts for them: nothing to keep
    // away from this one.
    try {
        std::thread(std::move(body)).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}
