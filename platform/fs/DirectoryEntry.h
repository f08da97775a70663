#pragma once

#include "Volume.h"

#include <cstdint>
#include <string_view>

// Attribute bit of a folder entry, as the enumeration reports it on every platform.
inline constexpr std::uint32_t FolderAttribute = 0x10;

// One entry of a folder, as FolderEnumeration delivers it: the neutral record that
// every platform fills in the same way.
struct DirectoryEntry {
    // The name as the file system gives it (bytes on POSIX, UTF-8 on Windows). It stays
    // valid until the next call of FolderEnumeration::Next or the end of the enumeration;
    // whoever keeps it copies it.
    std::string_view Name;
    // FolderAttribute marks a folder; the other bits are those of the platform.
    std::uint32_t Attributes = 0;
    // The apparent size in bytes, full 64 bits.
    std::uint64_t SizeBytes = 0;
    // Last-write time in seconds since 1970-01-01 00:00:00 UTC.
    std::int64_t LastWriteTime = 0;
    // How many names the file has in its file system (hard links); 1 where the platform
    // does not say. With more than one, Device and FileNumber tell which file it is, so that
    // a file met under several names can be counted once.
    std::uint32_t LinkCount = 1;
    // The file's identity: its device and its number on that device; 0 where unknown.
    std::uint64_t Device = 0;
    std::uint64_t FileNumber = 0;
    // For a file: the kind of drive that holds it, found with the entry's own details, so
    // that a listed file costs no second look at the system. Unknown for folders.
    DriveType Drive = DriveType::Unknown;
};
