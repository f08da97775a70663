#pragma once

#include "platform/fs/Volume.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// One line of /proc/self/mountinfo: a mounted file system as the kernel lists it.
struct MountEntry {
    unsigned Major = 0; // device number of the file system (st_dev of its files)
    unsigned Minor = 0;
    std::string MountPoint; // unescaped ("\040" becomes a blank)
    std::string FsType;     // "ext4", "nfs4", "fuse.sshfs"...
    std::string Source;     // "/dev/sda1", "server:/export"...
};

// Parses the text of /proc/self/mountinfo. Lines that do not have the expected fields are
// skipped, so a damaged or truncated table gives the entries that can be read.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Undoes the octal escapes of the kernel's mount tables ("\040" blank, "\011" tab,
// "\012" newline, "\134" backslash). Anything else is kept as it stands.
std::string UnescapeMountField(std::string_view field);

// Reads and parses the calling process's mount table; empty when it cannot be read.
std::vector<MountEntry> ReadMountTable();

// The mount point among `mounts` that holds the absolute, resolved `path`: the longest
// mount point that is `path` itself or a folder above it. Empty when none matches.
std::string FindMountPointFor(const std::vector<MountEntry>& mounts, const std::string& path);

// The file-system type of the device `device` (an st_dev value), from the last matching
// entry (a later mount hides an earlier one); empty when the device is not listed.
std::string FindFsTypeOfDevice(const std::vector<MountEntry>& mounts, dev_t device);

// True for kernel pseudo file systems whose sizes are not disk space (proc, sysfs...).
bool IsPseudoFsType(std::string_view fsType);

// True for the statfs magic number of such a pseudo file system.
bool IsPseudoFsMagic(unsigned long magic);

// True for file systems that reach their files over a network (nfs, cifs, sshfs...).
bool IsNetworkFsType(std::string_view fsType);

// The drive type of a mounted file system, from its mount table entry alone: Network for a
// file system that reaches its files over a network (by its type, or an old-style FUSE
// source "sshfs#host:"), Removable for one on a removable block device, else Fixed.
// `onRemovableDevice` says what the system knows of the entry's device (see
// IsRemovableBlockDevice). A bind mount is listed with the device and type of the file system
// it shows, so it gets that file system's kind.
DriveType DriveTypeOfMount(const MountEntry& mount, bool onRemovableDevice);

// True when the block device `majorNumber`:`minorNumber`, or the disk it is a partition of,
// says in /sys that its medium is removable (USB sticks, card readers, optical drives).
// False for devices without a block device (major 0: network, FUSE, tmpfs) and when /sys
// cannot be read.
bool IsRemovableBlockDevice(unsigned majorNumber, unsigned minorNumber);
