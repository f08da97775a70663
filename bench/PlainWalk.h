#pragma once

#include <cstdint>
#include <string>

// What one plain walk met.
struct PlainWalkResult {
    // Entries that are not folders (links count here, as they are not followed).
    std::uint64_t FileCount = 0;
    std::uint64_t FolderCount = 0;
    // Sum of the files' apparent sizes.
    std::uint64_t TotalBytes = 0;
    // Folders that could not be opened or read to the end.
    std::uint64_t UnreadableFolders = 0;
};

// The cheapest walk a program can make over a tree on one thread, as the yardstick for the
// scan engine. On POSIX: readdir over each folder, one fstatat(AT_SYMLINK_NOFOLLOW) per entry
// relative to the folder's descriptor, and openat into each subfolder; it builds no paths.
// On Windows: FindFirstFileExW (basic information, large fetch) and FindNextFileW over each
// folder, into every folder that is not a junction or link. It keeps no entries. Folders it
// cannot read are counted and skipped.
PlainWalkResult PlainWalk(const std::string& root);
