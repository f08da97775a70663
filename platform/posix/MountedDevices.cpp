#include "MountedDevices.h"

#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h> // major() and minor() on glibc; elsewhere in <sys/types.h>
#endif

namespace {

const MountEntry* LastEntryOf(const std::vector<MountEntry>& table, dev_t device) {
    // A later mount of the same device hides an earlier one.
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        if (it->Major == major(device) && it->Minor == minor(device)) {
            return &*it;
        }
    }
    return nullptr;
}

} // namespace

const MountedDevices::Device& MountedDevices::Find(dev_t device) {
    for (const Device& known : devices_) {
        if (known.Number == device) {
            return known;
        }
    }
    const MountEntry* entry = tableRead_ ? LastEntryOf(table_, device) : nullptr;
    if (entry == nullptr) {
        ReadTable();
        entry = LastEntryOf(table_, device);
    }
    Device added;
    added.Number = device;
    const bool removable = IsRemovableBlockDevice(major(device), minor(device));
    if (entry != nullptr) {
        added.FsType = entry->FsType;
        added.Type = DriveTypeOfMount(*entry, removable);
    } else {
        added.Type = removable ? DriveType::Removable : DriveType::Fixed;
    }
    devices_.push_back(std::move(added));
    return devices_.back();
}

void MountedDevices::ReadTable() {
    table_ = ReadMountTable();
    tableRead_ = true;
    ++tableReadings_;
    networkMountsByFolder_.clear();
    // The last mount at a path is the one seen there: a share covered by a local mount is
    // not listed, a local folder covered by a share is.
    std::unordered_map<std::string, const MountEntry*> seenAt;
    for (const MountEntry& entry : table_) {
        seenAt[entry.MountPoint] = &entry;
    }
    for (const auto& [point, entry] : seenAt) {
        const std::size_t cut = point.rfind('/');
        // A FUSE file system answers only while its daemon does: its mount point is not
        // looked at either, whatever its kind of drive.
        const bool fuse = entry->FsType.rfind("fuse", 0) == 0;
        if (cut == std::string::npos || cut + 1 >= point.size() ||
            (!fuse && DriveTypeOfMount(*entry, false) != DriveType::Network)) {
            continue;
        }
        networkMountsByFolder_[point.substr(0, cut == 0 ? 1 : cut)].push_back(
            {point.substr(cut + 1), makedev(entry->Major, entry->Minor)});
    }
}

const std::vector<MountedDevices::NetworkMount>*
MountedDevices::NetworkMountsIn(const std::string& realFolder) {
    if (!tableRead_) {
        ReadTable();
    }
    const auto found = networkMountsByFolder_.find(realFolder);
    return found != networkMountsByFolder_.end() ? &found->second : nullptr;
}

bool MountedDevices::HasNetworkMounts() {
    if (!tableRead_) {
        ReadTable();
    }
    return !networkMountsByFolder_.empty();
}

std::vector<std::string> MountedDevices::FoldersHoldingNetworkMounts() {
    if (!tableRead_) {
        ReadTable();
    }
    std::vector<std::string> folders;
    folders.reserve(networkMountsByFolder_.size());
    for (const auto& [folder, mounts] : networkMountsByFolder_) {
        folders.push_back(folder);
    }
    return folders;
}

const std::string& MountedDevices::FsType(dev_t device) {
    return Find(device).FsType;
}

DriveType MountedDevices::TypeOf(dev_t device) {
    return Find(device).Type;
}

void MountedDevices::AssumeType(dev_t device, DriveType type, const std::string& fsType) {
    Find(device);
    for (Device& known : devices_) {
        if (known.Number == device) {
            known.Type = type;
            if (!fsType.empty()) {
                known.FsType = fsType;
            }
        }
    }
}
