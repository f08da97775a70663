#pragma once

#include <sys/stat.h>
#include <sys/types.h>

// A file system object's identity: device and inode number.
struct FileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what `st` describes.
inline FileIdentity IdentityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}
