#include "PlainWalk.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Takes ownership of `folderFd`.
void WalkFolder(int folderFd, PlainWalkResult& result) {
    DIR* dir = ::fdopendir(folderFd);
    if (dir == nullptr) {
        ::close(folderFd);
        ++result.UnreadableFolders;
        return;
    }
    const int fd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                ++result.UnreadableFolders;
            }
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        struct stat info;
        if (::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue; // vanished since it was listed
        }
        if (S_ISDIR(info.st_mode)) {
            ++result.FolderCount;
            const int childFd = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (childFd < 0) {
                ++result.UnreadableFolders;
                continue;
            }
            WalkFolder(childFd, result);
        } else {
            ++result.FileCount;
            result.TotalBytes += static_cast<std::uint64_t>(info.st_size);
        }
    }
    ::closedir(dir);
}

} // namespace

PlainWalkResult PlainWalk(const std::string& root) {
    PlainWalkResult result;
    const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        ++result.UnreadableFolders;
        return result;
    }
    WalkFolder(rootFd, result);
    return result;
}
