#include "platform/fs/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

bool SameFolder(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the entry `name` of the open folder `parentFd` is the folder `child`.
bool IsListedAs(int parentFd, const char* name, const struct stat& child) {
    struct stat st;
    return fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && SameFolder(st, child);
}

// The name under which the folder `child` is listed in the open folder `parentFd`; empty
// when it is not found there. A listed inode number is that of the folder itself, except at
// a mount point, where the parent lists the folder the mount covers: then only a look at
// each entry tells.
std::string NameInParent(int parentFd, const struct stat& parent, const struct stat& child) {
    const bool sameDevice = parent.st_dev == child.st_dev;
    std::vector<std::string> others;
#ifdef SYS_getdents64
    // Straight from the kernel, and only until the folder is found: a DIR stream costs three
    // more system calls per folder, and a deep folder's path is found one folder at a time.
    alignas(8) char buffer[16384];
    for (;;) {
        const long length = syscall(SYS_getdents64, parentFd, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (long at = 0; at < length;) {
            // struct linux_dirent64: inode, offset, record length, type, name.
            std::uint64_t inode = 0;
            unsigned short recordLength = 0;
            std::memcpy(&inode, buffer + at, sizeof inode);
            std::memcpy(&recordLength, buffer + at + 16, sizeof recordLength);
            const char* name = buffer + at + 19;
            at += recordLength;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            // On the child's own device an inode number names one file; elsewhere (a mount
            // point) the entry is looked at.
            if (inode == child.st_ino && (sameDevice || IsListedAs(parentFd, name, child))) {
                return name;
            }
            others.emplace_back(name);
        }
    }
#else
    DIR* dir = fdopendir(dup(parentFd));
    while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (entry->d_ino == child.st_ino &&
            (sameDevice || IsListedAs(parentFd, entry->d_name, child))) {
            std::string found(name);
            closedir(dir);
            return found;
        }
        others.emplace_back(name);
    }
    if (dir != nullptr) {
        closedir(dir);
    }
#endif
    for (const std::string& name : others) {
        if (IsListedAs(parentFd, name.c_str(), child)) {
            return name;
        }
    }
    return {};
}

// The working folder's path found upwards with "..", one name per level from the parent's
// entries: the system's getcwd gives up on paths longer than a page, and the C library's
// own way round that looks at every folder above once per level.
std::string CurrentFolderFromParents() {
    struct stat top;
    struct stat current;
    int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || stat("/", &top) != 0 || fstat(fd, &current) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return {};
    }
    std::vector<std::string> names;
    while (!SameFolder(current, top)) {
        const int parentFd = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parentFd;
        struct stat parent;
        std::string name;
        if (fd >= 0 && fstat(fd, &parent) == 0 && !SameFolder(parent, current)) {
            name = NameInParent(fd, parent, current);
        }
        if (name.empty()) {
            if (fd >= 0) {
                ::close(fd);
            }
            return {};
        }
        names.push_back(std::move(name));
        current = parent;
    }
    ::close(fd);
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        path += '/';
        path += *name;
    }
    return path.empty() ? std::string(1, '/') : path;
}

std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
#ifdef SYS_getcwd
    // The system call itself: the C library's getcwd answers a path longer than the kernel
    // gives by its slow way round, even into a buffer that is then too small.
    const long length = syscall(SYS_getcwd, buffer.data(), buffer.size());
    if (length > 0 && buffer[0] == '/') {
        return std::string(buffer.data());
    }
    if (length > 0) {
        return {}; // "(unreachable)": outside this process's root
    }
#else
    if (getcwd(buffer.data(), buffer.size()) != nullptr) {
        return std::string(buffer.data());
    }
#endif
    // Deleted (ENOENT) or not reachable (EACCES): there is no path to give.
    return errno == ENAMETOOLONG || errno == ERANGE ? CurrentFolderFromParents() : std::string();
}

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

} // namespace

std::string TrimScanRoot(const std::string& path) {
    if (path.size() > 1 && path.back() == '/') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    // The root already ends in the separator: "/" + "a" is "/a", never "//a".
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path += name;
    return path;
}

void AppendPathName(std::string& path, std::string_view name) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
}

FileLocation SplitFileLocation(const std::string& fullPath) {
    std::size_t cut = fullPath.rfind('/');
    if (cut == std::string::npos) {
        return {std::string(), fullPath};
    }
    return {fullPath.substr(0, cut + 1), fullPath.substr(cut + 1)};
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::string full = path;
    if (path.front() != '/') {
        const std::string current = CurrentFolder();
        if (current.empty()) {
            return path;
        }
        full = JoinPath(current, path);
    }

    std::vector<std::string> parts;
    std::size_t lastParent = std::string::npos; // the index of the last ".." part
    for (std::size_t start = 0; start <= full.size();) {
        std::size_t end = full.find('/', start);
        if (end == std::string::npos) {
            end = full.size();
        }
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            lastParent = parts.size();
        }
        if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }

    std::string result = "/";
    std::size_t next = 0;
    if (lastParent != std::string::npos) {
        // "link/.." is the folder above the link's target, not the folder holding the link:
        // only the system can tell, so everything up to the last ".." is resolved on disk.
        std::string head = "/";
        for (std::size_t i = 0; i <= lastParent; ++i) {
            head = JoinPath(head, parts[i]);
        }
        const std::string resolved = RealPath(head);
        result = resolved.empty() ? head : resolved;
        next = lastParent + 1;
    }
    for (std::size_t i = next; i < parts.size(); ++i) {
        result = JoinPath(result, parts[i]);
    }
    return result;
}

std::string SystemDriveRoot() {
    return "/";
}

std::string ProgramPath() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        // The link's text may have been cut off: try again with more room.
        buffer.resize(buffer.size() * 2);
    }
}
