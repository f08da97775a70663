#include "platform/fs/Volume.h"

#include "ExtendedPath.h"
#include "WideText.h"
#include "Win32Api.h"

std::string VolumeRootFor(const std::string& path) {
    if (path.empty()) {
        return std::string();
    }
    // The letter is kept as given: a network path gives a root that does not exist, and the
    // query then fails as intended.
    return std::string(LeadingCharacters(path, 1)) + ":\\";
}

VolumeSpace QueryVolumeSpace(const std::string& volumeRoot) {
    VolumeSpace space;
    if (volumeRoot.empty()) {
        return space;
    }
    ULARGE_INTEGER availableToCaller{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    // Quotas would make the caller's share smaller than what the volume really has free;
    // the program compares against the volume itself.
    if (!GetDiskFreeSpaceExW(ToWide(volumeRoot).c_str(), &availableToCaller, &total, &totalFree)) {
        return space;
    }
    space.Ok = true;
    space.TotalBytes = total.QuadPart;
    space.FreeBytes = totalFree.QuadPart;
    return space;
}

std::string VolumeLabelFor(const std::string& scanRoot) {
    return std::string(LeadingCharacters(scanRoot, 2));
}

DriveType QueryDriveTypeOfFile(const std::string& filePath) {
    if (filePath.empty()) {
        return DriveType::Unknown;
    }
    wchar_t letter = ToWide(LeadingCharacters(filePath, 1))[0];
    if (letter >= L'a' && letter <= L'z') {
        letter = static_cast<wchar_t>(letter - L'a' + L'A');
    }
    const wchar_t root[] = {letter, L':', L'\\', 0};
    switch (GetDriveTypeW(root)) {
    case DRIVE_REMOVABLE:
        return DriveType::Removable;
    case DRIVE_FIXED:
        return DriveType::Fixed;
    case DRIVE_REMOTE:
        return DriveType::Network;
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        return DriveType::Other;
    default:
        // DRIVE_UNKNOWN, and DRIVE_NO_ROOT_DIR for a letter without a volume.
        return DriveType::Unknown;
    }
}

bool FileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    // The extended form reaches files in folders deeper than MAX_PATH characters.
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
