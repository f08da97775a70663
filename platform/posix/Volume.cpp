#include "platform/fs/Volume.h"
#include "DeviceDriveType.h"
#include "LongPath.h"
#include "MountTable.h"
#include "MountedDevices.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h> // major() and minor() on glibc; elsewhere in <sys/types.h>
#endif

namespace {

// The real path of `path`, or of the nearest folder above it that exists; empty when none
// resolves (a relative path in a vanished working directory).
std::string ResolveExistingPath(std::string path) {
    while (!path.empty()) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved != nullptr) {
            std::string result(resolved);
            std::free(resolved);
            return result;
        }
        std::size_t cut = path.find_last_of('/');
        if (cut == std::string::npos) {
            // A relative name without a folder lies in the working directory.
            char* current = realpath(".", nullptr);
            if (current == nullptr) {
                return {};
            }
            std::string result(current);
            std::free(current);
            return result;
        }
        path.resize(cut == 0 ? 1 : cut);
        if (path == "/") {
            return path;
        }
    }
    return {};
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
    struct statvfs info;
    if (volumeRoot.empty() || statvfs(volumeRoot.c_str(), &info) != 0) {
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
    std::string resolved = ResolveExistingPath(scanRoot);
    if (!resolved.empty()) {
        std::string mountPoint = FindMountPointFor(ReadMountTable(), resolved);
        if (!mountPoint.empty()) {
            return mountPoint;
        }
        // Without a readable mount table every absolute path still lies under "/".
        if (resolved[0] == '/') {
            return "/";
        }
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
