#pragma once

#include <cstdint>

// A folder's identity. The Windows walk tells folders apart by their real paths, not by an
// identity of the file system, so a folder read ahead carries none.
struct FileIdentity {
    bool operator==(const FileIdentity&) const = default;
};

// What the folder listing said about one entry, as the walk delivers it.
struct EntryStat {
    std::uint32_t Attributes = 0;
    std::uint64_t SizeBytes = 0;
    std::int64_t LastWriteTime = 0; // seconds since 1970-01-01 00:00:00 UTC
};
