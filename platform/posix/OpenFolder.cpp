#include "OpenFolder.h"

#include "LongPath.h"

#include <cerrno>
#include <unistd.h>

OpenFolder::OpenFolder(const std::string& path, int flags) {
    if (path.empty()) {
        error_ = ENOENT;
        return;
    }
    fd_ = OpenLongPath(AT_FDCWD, path.c_str(), path.size(), flags);
    error_ = fd_ < 0 ? errno : 0;
}

OpenFolder::~OpenFolder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}
