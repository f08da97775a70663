#include "DirectoryReader.h"

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
            // End of the folder, or a read error: either way no more entries.
            finished_ = true;
            return nullptr;
        }
        position_ = 0;
        end_ = static_cast<std::size_t>(count);
    }
    auto* entry = reinterpret_cast<const struct dirent64*>(buffer_.data() + position_);
    position_ += entry->d_reclen;
    return entry->d_name;
#else
    struct dirent* entry = readdir(dir_);
    return entry != nullptr ? entry->d_name : nullptr;
#endif
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
