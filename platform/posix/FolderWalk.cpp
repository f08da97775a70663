#include "LongPath.h"
#include "WalkState.h"
#include "platform/fs/FolderEnumeration.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace {

#ifdef AT_NO_AUTOMOUNT
// Listing a folder must not mount every automount point below it.
constexpr int LinkStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr int TargetStatFlags = AT_NO_AUTOMOUNT;
#else
constexpr int LinkStatFlags = AT_SYMLINK_NOFOLLOW;
constexpr int TargetStatFlags = 0;
#endif

#ifdef O_PATH
// Descriptors only used to look further along a path need no read access.
constexpr int LookupOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int LookupOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
constexpr int ReadOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Keeping more folders open than this gains nothing and starves the rest of the program.
constexpr rlim_t MaxFdBudget = 200;
constexpr int MinFdBudget = 8;

// A link chain longer than this cannot be a real tree; it ends the check as "unsafe".
constexpr int MaxAncestorSteps = 1 << 16;

FileIdentity IdentityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

bool Contains(const std::vector<FileIdentity>& identities, const FileIdentity& identity) {
    return std::find(identities.begin(), identities.end(), identity) != identities.end();
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsPseudoFileSystem(FolderWalk::State& state, int fd, dev_t device) {
#ifdef __linux__
    struct statfs fs;
    if (fstatfs(fd, &fs) == 0 && IsPseudoFsMagic(static_cast<unsigned long>(fs.f_type))) {
        return true;
    }
    // devtmpfs reports the magic number of tmpfs; only the mount table tells them apart.
    return IsPseudoFsType(state.Devices.FsType(device));
#else
    (void)state;
    (void)fd;
    (void)device;
    return false;
#endif
}

// True when the folder on `device`, found in a folder on `parentDevice`, is a network or
// removable drive mounted below the root: the walk leaves it out, as a scan of a drive on
// Windows never walks onto another drive. The root's own file system is walked whatever its
// kind, because the user chose it. Only a change of device costs a look.
bool IsOtherDrive(FolderWalk::State& state, dev_t parentDevice, dev_t device) {
    if (device == parentDevice || !state.RootOpen || device == state.Root.Device) {
        return false;
    }
    const DriveType type = state.Devices.TypeOf(device);
    return type == DriveType::Network || type == DriveType::Removable;
}

// Decides whether the link `name` in `dirFd`, whose target is the folder `target`, may be
// followed: not when the walk is inside that folder already (a cycle), not when the folder
// lies inside the scanned tree (the walk reaches it anyway), and not when it lies inside a
// folder reached through another link (its files are listed there). Going up with ".." from
// the target finds the folders that hold it, whatever links led to it. When the answer
// cannot be found out the link is not followed: missing a few files is better than listing
// files twice or walking in circles.
bool MayFollowLink(const FolderWalk::State& state, int levelIndex, int dirFd, const char* name,
                   const FileIdentity& target) {
    for (int i = 0; i <= levelIndex; ++i) {
        if (state.Levels[static_cast<std::size_t>(i)]->Identity == target) {
            return false;
        }
    }
    if (Contains(state.FollowedTargets, target)) {
        return false;
    }
    int fd = openat(dirFd, name, LookupOpenFlags);
    if (fd < 0) {
        return false;
    }
    FileIdentity current = target;
    for (int step = 0; step < MaxAncestorSteps; ++step) {
        if ((state.RootOpen && current == state.Root) ||
            (step > 0 && Contains(state.FollowedTargets, current))) {
            ::close(fd);
            return false;
        }
        int parent = openat(fd, "..", LookupOpenFlags);
        ::close(fd);
        if (parent < 0) {
            return false;
        }
        struct stat st;
        if (fstat(parent, &st) != 0) {
            ::close(parent);
            return false;
        }
        FileIdentity above = IdentityOf(st);
        if (above == current) {
            // The top of the file system: nothing above it holds the target.
            ::close(parent);
            return true;
        }
        fd = parent;
        current = above;
    }
    ::close(fd);
    return false;
}

// Reads the details of the entry `name` in the folder `dirFd` of level `levelIndex`.
// False when it is not delivered: it vanished, or it is a folder the walk must not enter
// a second time.
bool ClassifyEntry(FolderWalk::State& state, int levelIndex, int dirFd, const char* name,
                   ClassifiedEntry& out) {
    for (const MountedDevices::NetworkMount& mount :
         state.Levels[static_cast<std::size_t>(levelIndex)]->NetworkMounts) {
        if (mount.Name == name) {
            // A folder on another device, which the next level leaves out unopened.
            out = ClassifiedEntry{};
            out.Attributes = FolderAttribute;
            out.Identity = {mount.Device, 0};
            return true;
        }
    }
    struct stat st;
    if (fstatat(dirFd, name, &st, LinkStatFlags) != 0) {
        return false;
    }
    out = ClassifiedEntry{};
    out.LastWriteTime = static_cast<std::int64_t>(st.st_mtime);
    if (S_ISDIR(st.st_mode)) {
        out.Attributes = FolderAttribute;
        out.Identity = IdentityOf(st);
        // Below a followed link an ordinary folder can be the root itself or a folder listed
        // through another link.
        if (state.Levels[static_cast<std::size_t>(levelIndex)]->UnderLink &&
            ((state.RootOpen && out.Identity == state.Root) ||
             Contains(state.FollowedTargets, out.Identity))) {
            return false;
        }
        return true;
    }
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (fstatat(dirFd, name, &target, TargetStatFlags) == 0 && S_ISDIR(target.st_mode)) {
            FileIdentity identity = IdentityOf(target);
            if (!MayFollowLink(state, levelIndex, dirFd, name, identity)) {
                return false;
            }
            state.FollowedTargets.push_back(identity);
            out.Attributes = FolderAttribute;
            out.Identity = identity;
            out.ViaLink = true;
        }
        // Links to anything else, and broken links, are files of size 0.
        return true;
    }
    out.SizeBytes = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return true;
}

// Reads all entries of the folder `fd` into the level, so that it needs no descriptor while
// the walk is below it. Takes ownership of `fd`.
void ReadWholeFolder(FolderWalk::State& state, int levelIndex, int fd) {
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(levelIndex)];
    DirectoryReader& reader = state.SharedReader;
    if (!reader.Open(fd)) {
        return;
    }
    while (const char* name = reader.Read()) {
        if (IsDotOrDotDot(name)) {
            continue;
        }
        BufferedEntry entry;
        if (!ClassifyEntry(state, levelIndex, reader.Fd(), name, entry.Details)) {
            continue;
        }
        std::size_t length = std::strlen(name);
        entry.NameOffset = static_cast<std::uint32_t>(level.Names.size());
        entry.NameLength = static_cast<std::uint32_t>(length);
        level.Names.insert(level.Names.end(), name, name + length + 1);
        level.Entries.push_back(entry);
    }
    reader.Close();
}

// The network mounts below `folder`, the walk's path of the folder at `level`, found by its
// path without links. Below a followed link the path says nothing about where a folder
// really is; there, as everywhere, the change of device still finds the other drives.
void FindNetworkMounts(FolderWalk::State& state, const std::string& root, const std::string& folder,
                       WalkLevel& level, int index) {
    level.NetworkMounts.clear();
    if (index == 0) {
        state.RealRoot.clear();
        if (state.Devices.HasNetworkMounts()) {
            if (char* resolved = realpath(folder.c_str(), nullptr)) {
                state.RealRoot = resolved;
                std::free(resolved);
            }
        }
    }
    if (state.RealRoot.empty() || (index > 0 && level.UnderLink)) {
        return;
    }
    std::string realFolder = state.RealRoot;
    if (index > 0) {
        // Below the root the walk's paths are the root, a separator and the names.
        const std::size_t skip = root == "/" ? 1 : root.size() + 1;
        if (folder.size() <= skip || folder.compare(0, root.size(), root) != 0 ||
            folder[skip - 1] != '/') {
            return;
        }
        if (realFolder != "/") {
            realFolder.push_back('/');
        }
        realFolder.append(folder, skip, std::string::npos);
    }
    // Network mounts that the walk enters anyway (the root's own share, the folder's own)
    // are looked at as usual.
    if (const auto* mounts = state.Devices.NetworkMountsIn(realFolder)) {
        for (const MountedDevices::NetworkMount& mount : *mounts) {
            if (mount.Device != state.Root.Device && mount.Device != level.Identity.Device) {
                level.NetworkMounts.push_back(mount);
            }
        }
    }
}

bool IsChildPath(const std::string& folder, std::string_view name) {
    return !name.empty() && folder.size() > name.size() &&
           folder.compare(folder.size() - name.size(), name.size(), name.data(), name.size()) ==
               0 &&
           folder[folder.size() - name.size() - 1] == '/';
}

} // namespace

FolderWalk::State::State() {
    rlim_t soft = 1024;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        soft = limit.rlim_cur;
    }
    rlim_t budget = soft == RLIM_INFINITY ? MaxFdBudget : std::min(soft / 4, MaxFdBudget);
    FdBudget = std::max(MinFdBudget, static_cast<int>(budget));
}

FolderWalk::FolderWalk(const std::string& root) : root_(root), state_(std::make_unique<State>()) {}

FolderWalk::~FolderWalk() = default;

FolderEnumeration::FolderEnumeration(FolderWalk& walk, const std::string& folder) : walk_(walk) {
    FolderWalk::State& state = walk.PlatformState();
    const int index = state.Depth;
    if (static_cast<std::size_t>(index) >= state.Levels.size()) {
        state.Levels.push_back(std::make_unique<WalkLevel>());
    }
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(index)];
    level.Owner = nullptr;
    level.Buffered = false;
    level.Anchor = -1;
    level.Names.clear();
    level.Entries.clear();
    level.Cursor = 0;
    level.LastIsFolder = false;

    WalkLevel* parent =
        index > 0 ? state.Levels[static_cast<std::size_t>(index - 1)].get() : nullptr;
    const bool isChild =
        parent != nullptr && parent->LastIsFolder && IsChildPath(folder, parent->LastName);

    int base = AT_FDCWD;
    int flags = ReadOpenFlags;
    bool identityKnown = false;
    if (isChild) {
        const ClassifiedEntry& entry = parent->LastEntry;
        level.UnderLink = parent->UnderLink || entry.ViaLink;
        if (!entry.ViaLink) {
            // The folder was seen as a folder: a link put in its place meanwhile is not taken.
            flags |= O_NOFOLLOW;
            identityKnown = true;
            level.Identity = entry.Identity;
        }
        if (parent->Reader.Fd() >= 0) {
            base = parent->Reader.Fd();
            level.Anchor = index - 1;
            level.PathFromAnchor.assign(parent->LastName);
        } else {
            level.Anchor = parent->Anchor;
            base = level.Anchor >= 0
                       ? state.Levels[static_cast<std::size_t>(level.Anchor)]->Reader.Fd()
                       : AT_FDCWD;
            level.PathFromAnchor.assign(parent->PathFromAnchor);
            level.PathFromAnchor.push_back('/');
            level.PathFromAnchor.append(parent->LastName);
        }
    } else {
        // The root, or a folder opened out of turn: reached by its own path. Out of turn the
        // walk cannot tell how it got there, so it checks its folders as below a link.
        level.UnderLink = index > 0;
        level.PathFromAnchor.assign(folder);
    }

    // Decided before the folder is opened: a share is not even listed, a stick not read.
    if (isChild &&
        IsOtherDrive(state, parent->Identity.Device, parent->LastEntry.Identity.Device)) {
        skip_ = FolderSkip::OtherDrive;
        return;
    }
    int fd = OpenLongPath(base, level.PathFromAnchor.c_str(), level.PathFromAnchor.size(), flags);
    if (fd < 0) {
        skip_ = FolderSkip::Unreadable;
        return;
    }
    if (!identityKnown) {
        struct stat st;
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            skip_ = FolderSkip::Unreadable;
            return;
        }
        level.Identity = IdentityOf(st);
        if (isChild && !(level.Identity == parent->LastEntry.Identity)) {
            // The link was changed after it was checked; its new target is not checked.
            ::close(fd);
            skip_ = FolderSkip::NotEntered;
            return;
        }
    }
    if (!isChild && index > 0 &&
        IsOtherDrive(state, state.Levels[static_cast<std::size_t>(index - 1)]->Identity.Device,
                     level.Identity.Device)) {
        ::close(fd);
        skip_ = FolderSkip::OtherDrive;
        return;
    }
    // Pseudo file systems can only start at a mount point, where the device changes.
    const bool mountPoint = !isChild || level.Identity.Device != parent->Identity.Device;
    if (mountPoint && IsPseudoFileSystem(state, fd, level.Identity.Device)) {
        ::close(fd);
        skip_ = FolderSkip::NotEntered;
        return;
    }
    if (index == 0) {
        state.Root = level.Identity;
        state.RootOpen = true;
        state.FollowedTargets.clear();
    }
    FindNetworkMounts(state, walk.Root(), folder, level, index);
    if (index < state.FdBudget) {
        if (!level.Reader.Open(fd)) {
            skip_ = FolderSkip::Unreadable;
            return;
        }
    } else {
        level.Buffered = true;
        if (!isChild) {
            level.Anchor = -1;
        }
        ReadWholeFolder(state, index, fd);
    }
    level.Owner = this;
    state.Depth = index + 1;
    level_ = index;
}

FolderEnumeration::~FolderEnumeration() {
    Close();
}

bool FolderEnumeration::IsOpen() const {
    const FolderWalk::State& state = walk_.PlatformState();
    return level_ >= 0 && level_ < state.Depth &&
           state.Levels[static_cast<std::size_t>(level_)]->Owner == this;
}

bool FolderEnumeration::Next(DirectoryEntry& entry) {
    if (!IsOpen()) {
        return false;
    }
    FolderWalk::State& state = walk_.PlatformState();
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(level_)];
    level.LastIsFolder = false;
    std::string_view name;
    const ClassifiedEntry* details = nullptr;
    if (level.Buffered) {
        if (level.Cursor >= level.Entries.size()) {
            return false;
        }
        const BufferedEntry& buffered = level.Entries[level.Cursor++];
        name = std::string_view(level.Names.data() + buffered.NameOffset, buffered.NameLength);
        details = &buffered.Details;
    } else {
        for (;;) {
            const char* raw = level.Reader.Read();
            if (raw == nullptr) {
                return false;
            }
            if (IsDotOrDotDot(raw)) {
                continue;
            }
            if (ClassifyEntry(state, level_, level.Reader.Fd(), raw, level.LastEntry)) {
                name = raw;
                details = &level.LastEntry;
                break;
            }
        }
    }
    entry.Name = name;
    entry.Attributes = details->Attributes;
    entry.SizeBytes = details->SizeBytes;
    entry.LastWriteTime = details->LastWriteTime;
    if ((details->Attributes & FolderAttribute) != 0) {
        level.LastEntry = *details;
        level.LastIsFolder = true;
        level.LastName = name;
    }
    return true;
}

void FolderEnumeration::Close() {
    if (IsOpen()) {
        FolderWalk::State& state = walk_.PlatformState();
        // Closing a folder closes whatever is still open below it.
        for (int i = state.Depth - 1; i >= level_; --i) {
            WalkLevel& level = *state.Levels[static_cast<std::size_t>(i)];
            level.Reader.Close();
            level.Owner = nullptr;
            level.LastIsFolder = false;
            level.Entries.clear();
            level.Names.clear();
        }
        state.Depth = level_;
    }
    level_ = -1;
}
