#pragma once

#include <string>

// What a scan finds at its root before the walk starts.
enum class RootCheck {
    Readable,   // a folder that can be listed and looked into
    Unreadable, // there, but it cannot be listed or looked into, or a folder above it cannot
                // be searched (no access, a link loop, a path the system refuses)
    Missing,    // nothing is there
    Removed,    // a folder that was deleted while it was still open (a working folder)
    NotAFolder, // a file, not a folder
    // A kernel pseudo file system (proc, sysfs, devtmpfs...): its sizes are not disk space,
    // so it is not scanned.
    PseudoFileSystem,
};

// Looks at the folder `root` (a path of any length, a link to a folder counts) as the walk
// will reach it. Costs a handful of system calls whatever the depth of the path; never
// resolves the path name by name. On Windows there are no pseudo file systems, and only
// what the system clearly refuses counts as Unreadable: the walk finds the rest.
RootCheck CheckScanRoot(const std::string& root);
