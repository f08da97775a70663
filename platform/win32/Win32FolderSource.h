#pragma once

#include "VolumeDriveTypes.h"
#include "platform/fs/FolderSource.h"

#include <memory>

// The folders of a Windows system. Folders are opened by their extended-length paths and
// known by their volume serial number and file index; a volume's kind of drive is found when
// a folder on it is first opened. Windows tells network drives by their kind, so no mount
// table is kept: no folder holds a network mount by name.
class Win32FolderSource final : public FolderSource {
public:
    Win32FolderSource();

    char Separator() const override { return '\\'; }
    std::unique_ptr<SourceFolder> OpenPath(const std::string& path, bool followLink,
                                           OpenFailure& failure) override;
    std::unique_ptr<SourceFolder> OpenListedPath(const std::string& path,
                                                 const ListedFolder& listed,
                                                 OpenFailure& failure) override;
    HandleAllowance Allowance() override;
    DriveType DriveTypeOfDevice(std::uint64_t device) override;
    bool IsPseudoFileSystemDevice(std::uint64_t) override { return false; }
    bool IsFolderOfDrives(std::uint64_t) override { return false; }
    bool HasNetworkMounts() override { return false; }
    std::vector<std::string> FoldersHoldingNetworkMounts() override { return {}; }
    const std::vector<NamedMount>* NetworkMountsIn(const std::string&) override { return nullptr; }
    std::string RealPathOf(const std::string& path) override;

private:
    // Shared with every folder opened, which may outlive the source on a worker's thread.
    std::shared_ptr<VolumeDriveTypes> volumes_;
};
