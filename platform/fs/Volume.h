#pragma once

#include <cstdint>
#include <string>

// Capacity and free space of a volume.
struct VolumeSpace {
    bool Ok = false; // false when the volume could not be queried; the figures are then 0
    std::uint64_t TotalBytes = 0;
    std::uint64_t FreeBytes = 0; // all free space, not only what the calling user may use
};

// The root to query for the volume that holds `path`: on Windows its first character, ":"
// and "\" ("D:\"); on POSIX the path itself.
std::string VolumeRootFor(const std::string& path);

// Queries the volume at `volumeRoot`. Failure gives Ok = false.
VolumeSpace QueryVolumeSpace(const std::string& volumeRoot);

// The volume's name in the program's texts: on Windows the first two characters of the
// scan root ("D:"); on POSIX the mount point of the file system that holds it ("/",
// "/home", "/media/usb"; a path that does not exist counts as the folder above it that
// does). When no mount is found: "/" for an absolute POSIX path, else the first two
// characters.
std::string VolumeLabelFor(const std::string& scanRoot);

// Kinds of drive, with the values the program tests.
enum class DriveType : int { Unknown = 0, Removable = 2, Fixed = 3, Network = 4, Other = 5 };

// The kind of drive that holds the file at `filePath`. On Windows the drive letter is taken
// from the path's first character, upper-cased; on POSIX the file system holding the file
// decides (network file systems, removable block devices, else fixed).
DriveType QueryDriveTypeOfFile(const std::string& filePath);

// True when a file exists at `path` and it is not a folder.
bool FileExists(const std::string& path);

// True when a folder exists at `path` (a link to a folder counts).
bool FolderExists(const std::string& path);
