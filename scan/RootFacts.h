#pragma once

#include "platform/fs/RootCheck.h"
#include "platform/fs/Volume.h"

#include <string>

// What a scan asks about its root before the walk. Each of these asks the root's file
// system, which may not answer at all (a FUSE daemon that hangs, a share whose server is
// gone), so they are asked together, away from the scan's thread.
struct RootFacts {
    VolumeSpace Space;
    std::string VolumeLabel;
    RootCheck Check = RootCheck::Unreadable;
    // Unknown when it was not asked for.
    DriveType Drive = DriveType::Unknown;
};

// Asks the system about the scan root `root` (trimmed as the scan keeps it): its volume's
// space and name, whether it can be scanned, and, when `withDriveType`, the kind of drive
// that holds it. Blocks for as long as the root's file system takes to answer.
RootFacts LookAtScanRoot(const std::string& root, bool withDriveType);
