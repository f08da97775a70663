#include "DirectoryReader.h"

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

#ifdef __linux__
namespace {
// The size glibc uses for its own DIR buffers: few system calls even for large folders.
constexpr std::size_t ReadBufferBytes = 32 * 1024;
} // namespace
#endif

DirectoryReader::~DirectoryReader() {
    Close();
}

bool DirectoryReader::Open(int fd) {
    Close();
    failed_ = false;
#ifdef __linux__
    if (buffer_.size() < ReadBufferBytes) {
        buffer_.resize(ReadBufferBytes);
    }
    position_ = end_ = 0;
    finished_ = false;
    fd_ = fd;
    return true;
#else
    dir_ = fdopendir(fd);
    if (dir_ == nullptr) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
#endif
}

const char* DirectoryReader::Read() {
    if (fd_ < 0) {
        return nullptr;
    }
#ifdef __linux__
    if (position_ >= end_) {
        if (finished_) {
            return nullptr;
        }
        ssize_t count = getdents64(fd_, buffer_.data(), buffer_.size());
        if (count <= 0) {
            finished_ = true;
            failed_ = count < 0;
            return nullptr;
        }
        position_ = 0;
        end_ = static_cast<std::size_t>(count);
    }
    auto* entry = reinterpret_cast<const struct dirent64*>(buffer_.data() + position_);
    position_ += entry->d_reclen;
    return entry->d_name;
#else
    errno = 0;
    struct dirent* entry = readdir(dir_);
    if (entry == nullptr && errno != 0) {
        failed_ = true;
    }
    return entry != nullptr ? entry->d_name : nullptr;
#endif
}

int DirectoryReader::Release() {
#ifdef __linux__
    const int fd = fd_;
#else
    // The stream owns its descriptor; a duplicate outlives it.
    const int fd = dir_ != nullptr ? dup(dirfd(dir_)) : -1;
    if (dir_ != nullptr) {
        closedir(dir_);
        dir_ = nullptr;
    }
#endif
    fd_ = -1;
    return fd;
}

void DirectoryReader::Close() {
#ifdef __linux__
    if (fd_ >= 0) {
        ::close(fd_);
    }
#else
    if (dir_ != nullptr) {
        closedir(dir_);
        dir_ = nullptr;
    }
#endif
    fd_ = -1;
}
