#pragma once

#include <cstdint>
#include <string>

// The state of the current or last scan. It lives from one scan to the next: the totals
// bar, the report page and the list commands read it after the walk has ended.
struct ScanState {
    // The root of the current or last scan, without a trailing separator ("C:", "/home/u").
    std::string ScanRoot;
    // The admission threshold, full 64 bits: the size of the list's last entry while the
    // list is full; 0 until it first overflows in a scan; after deletes that the reserve
    // could not fill, the largest size given up.
    std::uint64_t MinListedSize = 0;
    // File entries met in this scan, listed or not.
    std::uint32_t FileCount = 0;
    // The volume's capacity and used space in MiB; 1 and 1 when the volume query failed.
    std::uint64_t DiskTotalMB = 0;
    std::uint64_t DiskUsedMB = 0;
    // Running sum of the listed files' sizes, each shifted right by 20 bits (whole MiB).
    std::uint64_t ListedTotalMB = 0;
    // The largest number of entries the list keeps; set to 100 at every scan start.
    std::int32_t ListCapacity = 100;
    // Network and removable drives mounted below the root that the walk left out; reset at
    // every scan start.
    std::uint64_t SkippedMountCount = 0;
    // Folders of this scan that could not be opened or read; what they hold is missing from
    // the result.
    std::uint64_t UnreadableFolderCount = 0;
    // Folders of this scan left out because their file system did not answer in time.
    std::uint64_t UnansweredFolderCount = 0;
    // True when the scan's root itself could not be opened or read: the scan has no result.
    bool RootUnreadable = false;
    // True when the root's file system did not answer before the walk (RootUnreadable is set
    // with it): the scan has no result.
    bool RootUnanswered = false;
    // True when the root is on a kernel pseudo file system (/proc, /sys, /dev): its sizes
    // are not disk space, so it was not walked, and the scan has no result.
    bool RootOnPseudoFileSystem = false;
};
