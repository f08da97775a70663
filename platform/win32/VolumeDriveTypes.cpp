#include "VolumeDriveTypes.h"

#include "ExtendedPath.h"
#include "FolderHandle.h"

namespace {

// The top folder of the volume that holds the open file `handle`, opened by `path`; empty
// when the system cannot say.
std::wstring VolumeTopOf(HANDLE handle, const std::wstring& path) {
    // The final path, so that a folder reached through a link counts on the target's volume;
    // Wine tells none longer than MAX_PATH, and there the path it was opened by does.
    std::wstring finalPath = FinalPathOf(handle);
    const std::wstring& from = finalPath.empty() ? path : finalPath;
    std::wstring top(from.size() + MAX_PATH, L'\0');
    if (!GetVolumePathNameW(from.c_str(), top.data(), static_cast<DWORD>(top.size()))) {
        return std::wstring();
    }
    top.resize(wcslen(top.c_str()));
    return ExtendedLengthPath(top);
}

DriveType DriveTypeOfTop(const std::wstring& top) {
    // Asked by the plain root ("R:\"): Wine tells the kind of "\\?\R:\" as fixed whatever
    // the drive is.
    switch (top.empty() ? DRIVE_UNKNOWN : GetDriveTypeW(PlainPath(top).c_str())) {
    case DRIVE_REMOTE:
        return DriveType::Network;
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
        return DriveType::Removable;
    default:
        return DriveType::Fixed;
    }
}

} // namespace

void VolumeDriveTypes::Remember(std::uint64_t serial, HANDLE folder, const std::wstring& path) {
    if (last_.load(std::memory_order_relaxed) == serial) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (volumes_.contains(serial)) {
            last_.store(serial, std::memory_order_relaxed);
            return;
        }
    }
    // Found without the lock: other threads go on with the volumes they know meanwhile.
    Volume volume;
    volume.Top = VolumeTopOf(folder, path);
    volume.Kind = DriveTypeOfTop(volume.Top);
    const std::lock_guard lock(mutex_);
    volumes_.emplace(serial, std::move(volume));
    last_.store(serial, std::memory_order_relaxed);
}

DriveType VolumeDriveTypes::Of(std::uint64_t serial) const {
    const std::lock_guard lock(mutex_);
    const auto found = volumes_.find(serial);
    return found == volumes_.end() ? DriveType::Unknown : found->second.Kind;
}

std::wstring VolumeDriveTypes::TopOf(std::uint64_t serial) const {
    const std::lock_guard lock(mutex_);
    const auto found = volumes_.find(serial);
    return found == volumes_.end() ? std::wstring() : found->second.Top;
}
