#pragma once

#include "FileIdentity.h"

#include <cstdint>
#include <sys/types.h>

// What the system said about one folder entry, before the walk has decided anything: the
// entry itself (not following a link) and, for a link, its target.
struct EntryStat {
    mode_t Mode = 0;
    std::int64_t SizeBytes = 0;
    std::int64_t LastWriteTime = 0;
    std::uint32_t LinkCount = 1;
    FileIdentity Identity;
    bool TargetKnown = false; // a link whose target could be read
    mode_t TargetMode = 0;
    FileIdentity TargetIdentity;
};
