#include "platform/fs/Volume.h"
#include "DeviceDriveType.h"
#include "LongPath.h"
#include "MountTable.h"
#include "MountedDevices.h"
#include "OpenFolder.h"

#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <vector>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h> // major() and minor() on glibc; elsewhere in <sys/types.h>
#endif

namespace {

// How many folders above a root that does not exist are tried before the mount table alone
// decides by the path's text: a root deleted after its scan is still named, at a bounded cost.
constexpr int ParentsTried = 8;

// The mount point of the file system on `device` that holds `path`: of the mounts of that
// device (the same file system can be mounted, or bound, at several places), the one that
// is `path` or a folder above it, else the shortest, which is most often the whole file
// system's own. Empty when the table does not list the device.
std::string MountPointOfDevice(const std::vector<MountEntry>& mounts, dev_t device,
                               const std::string& path) {
    std::vector<MountEntry> ofDevice;
    for (const MountEntry& mount : mounts) {
        if (mount.Major == major(device) && mount.Minor == minor(device) &&
            !mount.MountPoint.empty() && mount.MountPoint[0] == '/') {
            ofDevice.push_back(mount);
        }
    }
    std::string holding = FindMountPointFor(ofDevice, path);
    if (!holding.empty()) {
        return holding;
    }
    const MountEntry* shortest = nullptr;
    for (const MountEntry& mount : ofDevice) {
        if (shortest == nullptr || mount.MountPoint.size() < shortest->MountPoint.size()) {
            shortest = &mount;
        }
    }
    return shortest != nullptr ? shortest->MountPoint : std::string();
}

// The device of the folder `path`, or of the nearest of a few folders above it that exists.
bool DeviceOfNearestFolder(std::string path, dev_t& device) {
    for (int tried = 0; tried <= ParentsTried && !path.empty(); ++tried) {
        const OpenFolder folder(path, LookOnlyOpenFlags);
        struct stat st;
        if (folder.IsOpen() && fstat(folder.Fd(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        const std::size_t cut = path.find_last_of('/');
        if (path == "/" || path == ".") {
            return false;
        }
        if (cut == std::string::npos) {
            // A relative name without a folder lies in the working folder. (One character
            // pushed, not a literal assigned: GCC 12 takes that copy for an overlapping one.)
            path.clear();
            path.push_back('.');
        } else {
            path.resize(cut == 0 ? 1 : cut);
        }
    }
    return false;
}

DriveType ClassifyDevice(dev_t device) {
    // The walk's own rule, so that a listed file's drive and a skipped mount agree.
    MountedDevices devices;
    return devices.TypeOf(device);
}

} // namespace

std::string VolumeRootFor(const std::string& path) {
    return path;
}

VolumeSpace QueryVolumeSpace(const std::string& volumeRoot) {
    VolumeSpace space;
    // Through the opened folder: a root deeper than PATH_MAX is asked about like any other.
    const OpenFolder folder(volumeRoot, LookOnlyOpenFlags);
    struct statvfs info;
    if (!folder.IsOpen() || fstatvfs(folder.Fd(), &info) != 0) {
        return space;
    }
    // f_frsize is the unit of the block counts; old systems leave it 0 and mean f_bsize.
    std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    space.Ok = true;
    space.TotalBytes = static_cast<std::uint64_t>(info.f_blocks) * unit;
    space.FreeBytes = static_cast<std::uint64_t>(info.f_bfree) * unit;
    return space;
}

std::string VolumeLabelFor(const std::string& scanRoot) {
    // The folder is opened and its device looked up in the mount table: a few system calls
    // at any depth, where resolving the path name by name costs one look per folder above.
    const std::vector<MountEntry> mounts = ReadMountTable();
    dev_t device = 0;
    if (DeviceOfNearestFolder(scanRoot, device)) {
        std::string mountPoint = MountPointOfDevice(mounts, device, scanRoot);
        if (!mountPoint.empty()) {
            return mountPoint;
        }
    }
    if (!scanRoot.empty() && scanRoot[0] == '/') {
        // Without the device in the table (or without a folder), the path's text decides;
        // without a readable table every absolute path still lies under "/".
        std::string mountPoint = FindMountPointFor(mounts, scanRoot);
        return mountPoint.empty() ? "/" : mountPoint;
    }
    return scanRoot.substr(0, 2);
}

DriveType QueryDriveTypeOfFile(const std::string& filePath) {
    struct stat st;
    if (filePath.empty() || !StatLongPath(filePath, st)) {
        return DriveType::Unknown;
    }
    return CachedDriveTypeOfDevice(st.st_dev);
}

DriveType CachedDriveTypeOfDevice(dev_t device) {
    // Asked once per listed file: the mount table and /sys are read once per device.
    static std::mutex cacheMutex;
    static std::map<dev_t, DriveType> cache;
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto found = cache.find(device);
    if (found != cache.end()) {
        return found->second;
    }
    DriveType type = ClassifyDevice(device);
    cache.emplace(device, type);
    return type;
}

bool FileExists(const std::string& path) {
    struct stat st;
    // Files deeper than PATH_MAX are listed by the walk, so they must be found here too.
    return !path.empty() && StatLongPath(path, st) && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && StatLongPath(path, st) && S_ISDIR(st.st_mode);
}
