#pragma once

#include "MountedDevices.h"
#include "platform/fs/FolderSource.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The folders of the running POSIX system, for one walk. Opening and everything on an open
// folder (PosixSourceFolder) share nothing and are safe on any thread; what is known about
// the mounted file systems (Devices) is asked on the walk's thread only, and each device is
// looked up once per walk.
class PosixFolderSource : public FolderSource {
public:
    char Separator() const override { return '/'; }
    std::unique_ptr<SourceFolder> OpenPath(const std::string& path, bool followLink,
                                           OpenFailure& failure) override;
    HandleAllowance Allowance() override;
    DriveType DriveTypeOfDevice(std::uint64_t device) override;
    bool IsPseudoFileSystemDevice(std::uint64_t device) override;
    bool IsFolderOfDrives(std::uint64_t device) override;
    bool HasNetworkMounts() override;
    bool NamesEveryNetworkMount() const override { return true; }
    std::vector<std::string> FoldersHoldingNetworkMounts() override;
    const std::vector<NamedMount>* NetworkMountsIn(const std::string& realFolder) override;
    std::string RealPathOf(const std::string& path) override;
    bool ReadsFoldersQuickly() const override { return true; }

    // The mounted file systems as this source knows them: a test makes a file system of its
    // own making count as a network drive here (AssumeType).
    MountedDevices& Devices() { return devices_; }

private:
    // The mounts of one folder as the seam names them, and the reading of the mount table
    // they were taken from: a newer reading converts them again.
    struct ConvertedMounts {
        std::vector<NamedMount> Mounts;
        unsigned TableReading = 0;
    };

    MountedDevices devices_;
    // Kept for the walk, which asks at every folder below the root when network file systems
    // are mounted anywhere. Never erased, so what NetworkMountsIn gave stays valid.
    std::unordered_map<std::string, ConvertedMounts> convertedMounts_;
};
