#include "PosixFolderSource.h"

#include "LongPath.h"
#include "MountTable.h"
#include "OpenFolder.h"
#include "PosixSourceFolder.h"
#include "UniqueFd.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/types.h>

namespace {

// Keeping more folders open than this gains the walk nothing and starves the rest of the
// program.
constexpr int MaxWalkFolders = 200;
// More folders open at once than the workers can read gain nothing.
constexpr int MaxWorkerFolders = 64;
// Descriptors left to the rest of the program and to the walk's own short-lived ones.
constexpr long ReservedDescriptors = 16;

// The file-system type of the desktop's folder of mounted network locations (gvfs).
constexpr std::string_view FolderOfDrivesFsType = "fuse.gvfsd-fuse";

// The descriptors the process has open, by the kernel's list of them where there is one,
// else by trying each number up to the limit `soft` (at most a few thousand).
long CountOpenDescriptors(rlim_t soft) {
#ifdef __linux__
    if (DIR* dir = opendir("/proc/self/fd")) {
        long count = 0;
        while (struct dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
        return count - 1; // the listing's own descriptor
    }
#endif
    long count = 0;
    const long probeLimit = static_cast<long>(std::min<rlim_t>(soft, 4096));
    for (int fd = 0; fd < probeLimit; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            ++count;
        }
    }
    return count;
}

} // namespace

std::unique_ptr<SourceFolder> PosixFolderSource::OpenPath(const std::string& path, bool followLink,
                                                          OpenFailure& failure) {
    return PosixSourceFolder::Open(AT_FDCWD, path, followLink, failure);
}

HandleAllowance PosixFolderSource::Allowance() {
    rlim_t soft = 1024;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        soft = limit.rlim_cur;
    }
    if (soft == RLIM_INFINITY) {
        return {MaxWalkFolders, MaxWorkerFolders};
    }
    // Half of what is free, so that the program keeps room for its own files; a walk with
    // none at all still completes, one folder read whole at a time. The workers get half of
    // the rest, and none when little is free: the walk then reads every folder itself.
    const long available = static_cast<long>(std::min<rlim_t>(soft, 1 << 20)) -
                           CountOpenDescriptors(soft) - ReservedDescriptors;
    HandleAllowance allowance;
    allowance.WalkFolders =
        static_cast<int>(std::clamp(available / 2, 0L, static_cast<long>(MaxWalkFolders)));
    allowance.WorkerFolders = static_cast<int>(
        std::clamp((available - allowance.WalkFolders) / 2, 0L, long{MaxWorkerFolders}));
    return allowance;
}

DriveType PosixFolderSource::DriveTypeOfDevice(std::uint64_t device) {
    return devices_.TypeOf(static_cast<dev_t>(device));
}

bool PosixFolderSource::IsPseudoFileSystemDevice(std::uint64_t device) {
    // devtmpfs reports the magic number of tmpfs; only the mount table tells them apart.
    return IsPseudoFsType(devices_.FsType(static_cast<dev_t>(device)));
}

bool PosixFolderSource::IsFolderOfDrives(std::uint64_t device) {
    return devices_.FsType(static_cast<dev_t>(device)) == FolderOfDrivesFsType;
}

bool PosixFolderSource::HasNetworkMounts() {
    return devices_.HasNetworkMounts();
}

std::vector<std::string> PosixFolderSource::FoldersHoldingNetworkMounts() {
    return devices_.FoldersHoldingNetworkMounts();
}

const std::vector<NamedMount>* PosixFolderSource::NetworkMountsIn(const std::string& realFolder) {
    const std::vector<MountedDevices::NetworkMount>* mounts = devices_.NetworkMountsIn(realFolder);
    if (mounts == nullptr) {
        return nullptr;
    }
    auto [found, added] = convertedMounts_.try_emplace(realFolder);
    ConvertedMounts& converted = found->second;
    if (added || converted.TableReading != devices_.TableReadings()) {
        converted.TableReading = devices_.TableReadings();
        converted.Mounts.clear();
        for (const MountedDevices::NetworkMount& mount : *mounts) {
            converted.Mounts.push_back({mount.Name, static_cast<std::uint64_t>(mount.Device)});
        }
    }
    return &converted.Mounts;
}

std::string PosixFolderSource::RealPathOf(const std::string& path) {
#ifdef __linux__
    // Opened and named by the kernel: a path of any length, and without the look at every
    // name on the way that resolving it name by name (realpath) costs.
    const UniqueFd fd(OpenLongPath(AT_FDCWD, path.c_str(), path.size(), LookOnlyOpenFlags));
    return fd.IsOpen() ? RealPathOfDescriptor(fd.Get()) : std::string();
#else
    return RealPathByName(path);
#endif
}

std::shared_ptr<FolderSource> MakeSystemFolderSource() {
    return std::make_shared<PosixFolderSource>();
}
