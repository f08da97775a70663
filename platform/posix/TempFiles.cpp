#include "platform/fs/TempFiles.h"
#include "platform/fs/Paths.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

// Names that are already taken are skipped; this many tries cannot all collide by chance.
constexpr int MaxAttempts = 1000;

} // namespace

std::string TempFolder() {
    const char* value = std::getenv("TMPDIR");
    if (value != nullptr && *value != '\0') {
        return value;
    }
    return "/tmp";
}

std::string CreateUniqueTempFile(const std::string& prefix, std::error_code& error) {
    const std::string folder = TempFolder();
    // Seeded per call from the system's entropy, the clock and the process, so that two
    // processes started at once do not try the same names in the same order.
    std::random_device device;
    std::seed_seq seed{
        device(), static_cast<unsigned>(getpid()),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937 generator(seed);
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        char unique[9];
        std::snprintf(unique, sizeof unique, "%08X", static_cast<unsigned>(generator()));
        std::string path = JoinPath(folder, prefix + unique + ".tmp");
        // O_EXCL: the name is ours only if this call created the file.
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd >= 0) {
            ::close(fd);
            error.clear();
            return path;
        }
        if (errno != EEXIST) {
            error = std::error_code(errno, std::generic_category());
            return {};
        }
    }
    error = std::make_error_code(std::errc::file_exists);
    return {};
}
