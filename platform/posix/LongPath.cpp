#include "LongPath.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

#ifdef O_PATH
// Descriptors only used to look further along a path need no read access.
constexpr int LookupOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int LookupOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

void CloseKeepingErrno(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
}

} // namespace

int OpenLongPath(int base, const char* path, std::size_t length, int flags) {
    if (length < PATH_MAX) {
        return openat(base, path, flags);
    }
    std::string_view whole(path, length);
    std::string piece;
    int current = base;
    std::size_t start = 0;
    while (length - start >= PATH_MAX) {
        std::size_t cut = whole.rfind('/', start + PATH_MAX - 1);
        if (cut == std::string_view::npos || cut <= start) {
            if (current != base) {
                CloseKeepingErrno(current);
            }
            errno = ENAMETOOLONG;
            return -1;
        }
        piece.assign(whole.substr(start, cut - start));
        int next = openat(current, piece.c_str(), LookupOpenFlags);
        if (current != base) {
            CloseKeepingErrno(current);
        }
        if (next < 0) {
            return -1;
        }
        current = next;
        start = cut + 1;
        while (start < length && path[start] == '/') {
            ++start;
        }
    }
    int fd = openat(current, path + start, flags);
    if (current != base) {
        CloseKeepingErrno(current);
    }
    return fd;
}

int OpenContainingFolder(const std::string& path, std::string& name) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') {
        --end;
    }
    const std::size_t cut = path.rfind('/', end - 1);
    if (end == 0 || (cut != std::string::npos && cut + 1 >= end)) {
        errno = ENOENT;
        return -1;
    }
    name.assign(path, cut == std::string::npos ? 0 : cut + 1,
                end - (cut == std::string::npos ? 0 : cut + 1));
    if (cut == std::string::npos) {
        return open(".", LookupOpenFlags);
    }
    const std::string folder = path.substr(0, cut == 0 ? 1 : cut);
    return OpenLongPath(AT_FDCWD, folder.c_str(), folder.size(), LookupOpenFlags);
}

bool StatLongPath(const std::string& path, struct stat& st) {
    if (path.size() < PATH_MAX) {
        return stat(path.c_str(), &st) == 0;
    }
    std::size_t cut = path.rfind('/');
    if (cut == std::string::npos || cut + 1 == path.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    const std::string folder = path.substr(0, cut == 0 ? 1 : cut);
    int fd = OpenLongPath(AT_FDCWD, folder.c_str(), folder.size(), LookupOpenFlags);
    if (fd < 0) {
        return false;
    }
    bool ok = fstatat(fd, path.c_str() + cut + 1, &st, 0) == 0;
    CloseKeepingErrno(fd);
    return ok;
}
