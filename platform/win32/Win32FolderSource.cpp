#include "Win32FolderSource.h"

#include "ExtendedPath.h"
#include "FolderHandle.h"
#include "Win32SourceFolder.h"

namespace {

// Windows has no small limit on a process's open handles: a fixed, generous share, which
// the walk's deepest trees and busiest workers stay far below.
constexpr int WalkFolderHandles = 200;
constexpr int WorkerFolderHandles = 64;

} // namespace

Win32FolderSource::Win32FolderSource() : volumes_(std::make_shared<VolumeDriveTypes>()) {}

std::unique_ptr<SourceFolder> Win32FolderSource::OpenPath(const std::string& path, bool followLink,
                                                          OpenFailure& failure) {
    return Win32SourceFolder::Open(ExtendedLengthPath(path), followLink, nullptr, volumes_,
                                   failure);
}

std::unique_ptr<SourceFolder> Win32FolderSource::OpenListedPath(const std::string& path,
                                                                const ListedFolder& listed,
                                                                OpenFailure& failure) {
    return Win32SourceFolder::OpenListed(ExtendedLengthPath(path), listed, volumes_, failure);
}

HandleAllowance Win32FolderSource::Allowance() {
    return HandleAllowance{WalkFolderHandles, WorkerFolderHandles};
}

DriveType Win32FolderSource::DriveTypeOfDevice(std::uint64_t device) {
    return volumes_->Of(device);
}

std::string Win32FolderSource::RealPathOf(const std::string& path) {
    OpenFailure failure = OpenFailure::None;
    const FileHandle file = OpenHandle(ExtendedLengthPath(path), FILE_READ_ATTRIBUTES, 0, failure);
    const std::wstring finalPath = file.IsOpen() ? FinalPathOf(file.Get()) : std::wstring();
    return finalPath.empty() ? std::string() : PlainPathText(finalPath);
}

std::shared_ptr<FolderSource> MakeSystemFolderSource() {
    return std::make_shared<Win32FolderSource>();
}
