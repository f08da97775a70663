#pragma once

#include <fcntl.h>
#include <string>

// Flags for a descriptor that is only looked at (fstat, fstatvfs), never read: it needs no
// read access, and a file opens as well as a folder.
#ifdef O_PATH
inline constexpr int LookOnlyOpenFlags = O_PATH | O_CLOEXEC;
#else
inline constexpr int LookOnlyOpenFlags = O_RDONLY | O_CLOEXEC;
#endif

// A folder opened by its path, of any length, and closed when the object goes.
class OpenFolder {
public:
    // Opens `path` with `flags` (a folder for reading unless told otherwise); a final link is
    // followed. On failure IsOpen() is false and Error() holds errno.
    explicit OpenFolder(const std::string& path, int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // The errno of a failed opening; 0 when open.
    int Error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};
