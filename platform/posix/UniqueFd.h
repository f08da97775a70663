#pragma once

#include <unistd.h>
#include <utility>

// Owns one file descriptor and closes it when it goes, so that no path out of a function
// leaks one or closes one twice.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    // The descriptor, or -1 when none is owned.
    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Hands the descriptor to the caller, who closes it; -1 when none was owned.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor owned so far and owns `fd` instead.
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};
