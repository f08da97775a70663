#pragma once

#include <sys/types.h>

// A file system object's identity: device and inode number.
struct FileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
