#pragma once

#include "MountTable.h"
#include "platform/fs/Volume.h"

#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <utility>
#include <vector>

// What a walk knows about the file systems it meets, by device number (st_dev): their type
// and their kind of drive. The walk asks only where the device changes from a folder to its
// subfolder, and each device is looked up once: the mount table is read at the first
// question and read again only for a device that it does not list (mounted since).
class MountedDevices {
public:
    // The file-system type of `device` ("ext4", "nfs4"...); empty when the mount table does
    // not list it even after a fresh read (a btrfs subvolume, an overlay's folder).
    const std::string& FsType(dev_t device);

    // The kind of drive of `device`: Network, Removable or Fixed (also for a device that the
    // mount table does not list: it is part of the file system it was found in).
    DriveType TypeOf(dev_t device);

    // A network file system mounted on an entry of a folder: the entry's name and the device.
    struct NetworkMount {
        std::string Name;
        dev_t Device = 0;
    };
    // The network and FUSE file systems whose mount points are entries of the folder
    // `realFolder` (a path without links, as the mount table writes them), by the mount
    // table. Looking at such an entry asks the server or the daemon, and one that is gone or
    // stopped never answers: the walk knows them by name instead. Null when there are none,
    // which is the rule.
    const std::vector<NetworkMount>* NetworkMountsIn(const std::string& realFolder);
    // True when the mount table lists a network file system anywhere.
    bool HasNetworkMounts();

    // The folders (paths without links) that hold a network file system's mount point.
    std::vector<std::string> FoldersHoldingNetworkMounts();

    // Makes `device` count as `type` (and, when given, as of the file-system type `fsType`)
    // from now on, whatever the system says. It lets the tests walk a file system of their
    // own making as if it were a network drive.
    void AssumeType(dev_t device, DriveType type, const std::string& fsType = {});

    // How many times the mount table has been read: what was taken from NetworkMountsIn
    // before is out of date once this changes.
    unsigned TableReadings() const { return tableReadings_; }

private:
    struct Device {
        dev_t Number = 0;
        std::string FsType;
        DriveType Type = DriveType::Fixed;
    };
    const Device& Find(dev_t device);
    void ReadTable();

    bool tableRead_ = false;
    unsigned tableReadings_ = 0;
    std::vector<MountEntry> table_;
    // A walk meets a handful of devices; a list is the fastest way to keep them.
    std::vector<Device> devices_;
    // The network mounts of the table, by the folder that holds their mount point.
    std::unordered_map<std::string, std::vector<NetworkMount>> networkMountsByFolder_;
};
