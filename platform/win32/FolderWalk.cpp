#include "AheadReading.h"
#include "ExtendedPath.h"
#include "FolderWalkState.h"

namespace {

// The path that `path` finally leads to, through every link, in its DOS form without the
// "\\?\" prefix. False when the system cannot say (a volume mounted without a letter).
bool FinalPath(const std::wstring& path, std::wstring& finalPath) {
    const std::wstring openable = ExtendedLengthPath(path);
    const FileHandle folder(
        CreateFileW(openable.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.IsOpen()) {
        return false;
    }
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(
        folder.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFinalPathNameByHandleW(folder.Get(), buffer.data(),
                                           static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    }
    if (length == 0 || length >= buffer.size()) {
        return false;
    }
    buffer.resize(length);
    if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        finalPath = L"\\\\" + buffer.substr(8);
    } else if (buffer.rfind(L"\\\\?\\", 0) == 0) {
        finalPath = buffer.substr(4);
    } else {
        finalPath = buffer;
    }
    while (finalPath.size() > 3 && finalPath.back() == L'\\') {
        finalPath.pop_back();
    }
    return true;
}

// True when `inner` is `outer` or lies below it; names compare as the file system does,
// without regard to case.
bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    if (outer.empty() || inner.size() < outer.size()) {
        return false;
    }
    if (CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                             static_cast<int>(outer.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

// The root of the volume that holds `path` ("D:\", "\\server\share\", or the folder a
// volume is mounted at); empty when the system cannot say.
std::wstring VolumeOf(const std::wstring& path) {
    std::wstring volume(path.size() + MAX_PATH, L'\0');
    if (!GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
        return {};
    }
    volume.resize(wcslen(volume.c_str()));
    return volume;
}

// True when the folder `path` lies on a network or removable drive that is not the drive of
// the root at `rootPath`. A scan of a drive stays on it; a link does not lead it away.
bool IsOnOtherDrive(const std::wstring& path, const std::wstring& rootPath) {
    const std::wstring volume = VolumeOf(path);
    if (volume.empty()) {
        return false;
    }
    const std::wstring rootVolume = VolumeOf(rootPath);
    if (CompareStringOrdinal(volume.c_str(), -1, rootVolume.c_str(), -1, TRUE) == CSTR_EQUAL) {
        return false;
    }
    switch (GetDriveTypeW(volume.c_str())) {
    case DRIVE_REMOTE:
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
        return true;
    default:
        return false;
    }
}

} // namespace

void FolderWalk::State::CloseFrom(std::size_t level) {
    while (Levels.size() > level) {
        Levels.pop_back();
    }
}

bool FolderWalk::State::IsLastEntryOfInnermost(const std::string& folder) const {
    if (Levels.empty() || !Levels.back()->Open) {
        return false;
    }
    const FindLevel& parent = *Levels.back();
    const std::string& above = parent.PathUtf8;
    return (parent.Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !parent.Name.empty() &&
           folder.size() == above.size() + 1 + parent.Name.size() &&
           folder.compare(0, above.size(), above) == 0 && folder[above.size()] == '\\' &&
           folder.compare(above.size() + 1, parent.Name.size(), parent.Name) == 0;
}

FolderSkip FolderWalk::State::Locate(const std::string& folder, const std::wstring& path,
                                     std::wstring& realPath) const {
    if (Levels.empty()) {
        // The root: where it really is, so that links can be compared with it.
        if (!FinalPath(path, realPath)) {
            realPath = path;
        }
        return FolderSkip::None;
    }
    const FindLevel& parent = *Levels.back();
    if (!IsLastEntryOfInnermost(folder) || path.size() <= parent.Path.size()) {
        // Not the entry just delivered: nothing to compare it with.
        if (!FinalPath(path, realPath)) {
            realPath = path;
        }
        return FolderSkip::None;
    }
    realPath = parent.RealPath;
    if (realPath.empty() || realPath.back() != L'\\') {
        realPath += L'\\';
    }
    realPath.append(path, parent.Path.size() + 1);
    const DWORD attributes = parent.Attributes;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return FolderSkip::None;
    }
    // Junctions, folder links and mounted volumes are reparse points; so are folders whose
    // content lives in the cloud, which lead nowhere else and are walked as they are.
    const std::wstring& rootPath = Levels.front()->RealPath;
    std::wstring target;
    if (!FinalPath(path, target)) {
        // A volume mounted at a folder, without a drive letter of its own.
        return IsOnOtherDrive(path, rootPath) ? FolderSkip::OtherDrive : FolderSkip::None;
    }
    if (IsSameOrBelow(target, realPath)) {
        return FolderSkip::None;
    }
    if (IsSameOrBelow(target, rootPath)) {
        return FolderSkip::NotEntered;
    }
    for (const auto& level : Levels) {
        if (IsSameOrBelow(level->RealPath, target)) {
            return FolderSkip::NotEntered;
        }
    }
    if (IsOnOtherDrive(target, rootPath)) {
        return FolderSkip::OtherDrive;
    }
    realPath = target;
    return FolderSkip::None;
}

FolderWalk::FolderWalk(const std::string& root, int readAheadThreads)
    : root_(root), state_(std::make_unique<State>()) {
    if (readAheadThreads > 1) {
        state_->Ahead = std::make_unique<ReadAhead>(readAheadThreads, ReadFolderAheadByPath);
        if (state_->Ahead->WorkerCount() == 0) {
            state_->Ahead.reset();
        }
    }
}

int FolderWalk::DefaultReadAheadThreads() {
    return ReadAhead::DefaultWorkerCount();
}

FolderWalk::~FolderWalk() {
    // The workers end first: nothing is read ahead for a walk that is over.
    state_->Ahead.reset();
    state_->CloseFrom(0);
}

void FolderWalk::SetWaitHook(std::function<bool()> hook) {
    if (state_->Ahead) {
        state_->Ahead->SetWaitHook(std::move(hook));
    }
}
