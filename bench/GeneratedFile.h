#pragma once

#include <cstdint>
#include <string>

// The generator's own record of one file it created.
struct GeneratedFile {
    // The full path: the tree's folder, the platform's separator, the path below it.
    std::string Path;
    // The apparent size in bytes (the file is sparse: it uses no disk).
    std::uint64_t SizeBytes = 0;
    // The last-write time given to the file, seconds since 1970-01-01 00:00:00 UTC.
    std::int64_t LastWriteTime = 0;
};
