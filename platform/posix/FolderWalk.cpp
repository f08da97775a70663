#include "AheadReading.h"
#include "DeviceDriveType.h"
#include "EntryStat.h"
#include "LongPath.h"
#include "WalkState.h"
#include "platform/fs/FolderEnumeration.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace {

#ifdef O_PATH
// Descriptors only used to look further along a path need no read access.
constexpr int LookupOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int LookupOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
constexpr int ReadOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Keeping more folders open than this gains nothing and starves the rest of the program.
constexpr int MaxFdBudget = 200;
// Descriptors left to the rest of the program and to the walk's own short-lived ones.
constexpr long ReservedFds = 16;
// More descriptors than workers gain nothing.
constexpr int MaxWorkerFds = 64;

// A link chain longer than this cannot be a real tree; it ends the check as "unsafe".
constexpr int MaxAncestorSteps = 1 << 16;

bool IsOutOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

long CountOpenDescriptors(rlim_t soft) {
#ifdef __linux__
    if (DIR* dir = opendir("/proc/self/fd")) {
        long count = 0;
        while (struct dirent* entry = readdir(dir)) {
            if (!IsDotOrDotDot(entry->d_name)) {
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

bool FreeDescriptor(FolderWalk::State& state, int protectedFd);

// openat() that, when the process is out of descriptors, frees one of the walk's own and
// tries again. `protectedFd` is a level's descriptor the call depends on.
int OpenAt(FolderWalk::State& state, int protectedFd, int dirFd, const char* name, int flags) {
    for (;;) {
        const int fd = openat(dirFd, name, flags);
        if (fd >= 0 || !IsOutOfDescriptors(errno) || !FreeDescriptor(state, protectedFd)) {
            return fd;
        }
    }
}

// OpenLongPath() that frees descriptors as OpenAt does.
int OpenPath(FolderWalk::State& state, int base, const std::string& path, std::size_t length,
             int flags) {
    for (;;) {
        const int fd = OpenLongPath(base, path.c_str(), length, flags);
        if (fd >= 0 || !IsOutOfDescriptors(errno) || !FreeDescriptor(state, base)) {
            return fd;
        }
    }
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

// True for the desktop's gvfs folder when no location is mounted in it (or it cannot be
// read): it is there in every desktop session, and only the locations in it are drives that
// a scan leaves out. Its list of locations is the gvfs daemon's own and costs no network.
bool IsEmptyFolderOfDrives(FolderWalk::State& state, const std::string& path, int flags,
                           dev_t device) {
    if (state.Devices.FsType(device) != "fuse.gvfsd-fuse") {
        return false;
    }
    DirectoryReader reader;
    const int fd = OpenPath(state, AT_FDCWD, path, path.size(), flags);
    if (fd < 0 || !reader.Open(fd)) {
        return true;
    }
    while (const char* name = reader.Read()) {
        if (!IsDotOrDotDot(name)) {
            return false;
        }
    }
    return true;
}

// Decides whether the link `name` in `dirFd`, whose target is the folder `target`, may be
// followed: not when the walk has entered that folder already (it is inside it, a cycle, or
// has listed it), and not when the folder lies inside one the walk has entered (inside the
// scanned tree, where the walk reaches it by its own path, or inside another link's target).
// Going up with ".." from the target finds the folders that hold it, whatever links led to
// it; the search stops at a folder already known to lie outside. When the answer cannot be
// found out the link is not followed: missing a few files is better than walking in circles.
bool MayFollowLink(FolderWalk::State& state, int dirFd, const char* name,
                   const FileIdentity& target) {
    if (state.Entered.count(target) != 0) {
        return false;
    }
    UniqueFd fd(OpenAt(state, dirFd, dirFd, name, LookupOpenFlags));
    if (!fd.IsOpen()) {
        return false;
    }
    std::vector<FileIdentity> passed;
    FileIdentity current = target;
    for (int step = 0; step < MaxAncestorSteps; ++step) {
        fd = UniqueFd(OpenAt(state, dirFd, fd.Get(), "..", LookupOpenFlags));
        struct stat st;
        if (!fd.IsOpen() || fstat(fd.Get(), &st) != 0) {
            return false;
        }
        const FileIdentity above = IdentityOf(st);
        if (state.Entered.count(above) != 0) {
            return false;
        }
        // At the top of the file system ".." leads to the folder itself.
        if (above == current || state.Outside.count(above) != 0) {
            state.Outside.insert(passed.begin(), passed.end());
            return true;
        }
        passed.push_back(above);
        current = above;
    }
    return false;
}

// The descriptor a level's subfolders are opened from: its reader's, or the one it keeps
// when it is not read through a descriptor. -1 when it has none.
int AnchorFdOf(const WalkLevel& level) {
    return level.Reader.Fd() >= 0 ? level.Reader.Fd() : level.LookupFd.Get();
}

// A descriptor of the folder of level `levelIndex`, opened again by its path from the nearest
// level above it that has one, when the level keeps none. -1 when it cannot be opened or is
// no longer the folder the walk listed.
int LookupFdOf(FolderWalk::State& state, int levelIndex) {
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(levelIndex)];
    if (AnchorFdOf(level) >= 0) {
        return AnchorFdOf(level);
    }
    int base = AT_FDCWD;
    std::size_t start = 0;
    for (int i = levelIndex - 1; i >= 0; --i) {
        const WalkLevel& above = *state.Levels[static_cast<std::size_t>(i)];
        if (AnchorFdOf(above) >= 0) {
            base = AnchorFdOf(above);
            start = above.PathEnd;
            if (start < state.Path.size() && state.Path[start] == '/') {
                ++start;
            }
            break;
        }
    }
    const std::string relative = state.Path.substr(start, level.PathEnd - start);
    UniqueFd fd(OpenPath(state, base, relative, relative.size(), LookupOpenFlags));
    struct stat st;
    if (!fd.IsOpen() || fstat(fd.Get(), &st) != 0 || !(IdentityOf(st) == level.Identity)) {
        return -1;
    }
    level.LookupFd = std::move(fd);
    return level.LookupFd.Get();
}

// Opens the parent of the folder `childFd` with "..", when it is the folder `expected`
// (it is not when the child was reached through a link). None otherwise.
UniqueFd OpenParentIfSame(int childFd, const FileIdentity& expected) {
    UniqueFd fd(openat(childFd, "..", LookupOpenFlags));
    struct stat st;
    if (!fd.IsOpen() || fstat(fd.Get(), &st) != 0 || !(IdentityOf(st) == expected)) {
        return UniqueFd();
    }
    return fd;
}

// True when the level will still open subfolders: it holds folder entries not delivered yet.
bool HasFoldersLeft(const WalkLevel& level) {
    if (level.Buffered) {
        return level.FoldersLeft > 0;
    }
    return level.FromAhead && level.AheadCursor < level.Ahead->Entries.size();
}

// Decides on the entry `name` of the folder of level `levelIndex`, from what the system said
// about it. False when it is not delivered: it is a link to a folder the walk must not enter.
// `dirFd` is the folder's descriptor, or -1 to open one if a link must be checked.
bool ClassifyStat(FolderWalk::State& state, int levelIndex, int dirFd, const char* name,
                  const EntryStat& st, ClassifiedEntry& out) {
    out = ClassifiedEntry{};
    out.LastWriteTime = st.LastWriteTime;
    out.LinkCount = st.LinkCount;
    out.Identity = st.Identity;
    if (S_ISDIR(st.Mode)) {
        out.Attributes = FolderAttribute;
        out.Identity = st.Identity;
        return true;
    }
    if (S_ISLNK(st.Mode)) {
        if (st.TargetKnown && S_ISDIR(st.TargetMode)) {
            const FileIdentity identity = st.TargetIdentity;
            if (dirFd < 0) {
                dirFd = LookupFdOf(state, levelIndex);
            }
            if (dirFd < 0 || !MayFollowLink(state, dirFd, name, identity)) {
                return false;
            }
            out.Attributes = FolderAttribute;
            out.Identity = identity;
            out.ViaLink = true;
        }
        // Links to anything else, and broken links, are files of size 0.
        return true;
    }
    out.SizeBytes = st.SizeBytes > 0 ? static_cast<std::uint64_t>(st.SizeBytes) : 0;
    return true;
}

// Reads the details of the entry `name` in the folder `dirFd` of level `levelIndex` and
// decides on it, as ClassifyStat does. Details that cannot be read, other than of an entry
// removed since it was listed, mark the level's folder as not read completely.
bool ClassifyEntry(FolderWalk::State& state, int levelIndex, int dirFd, const char* name,
                   std::uint32_t ordinal, ClassifiedEntry& out) {
    if (state.Levels[static_cast<std::size_t>(levelIndex)]->UnansweredOrdinal == ordinal) {
        out = ClassifiedEntry{};
        out.Attributes = FolderAttribute;
        out.Unanswered = true;
        return true;
    }
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
    EntryStat st;
    if (!LookAtEntry(dirFd, name, st)) {
        if (errno != ENOENT) {
            state.Levels[static_cast<std::size_t>(levelIndex)]->ReadFailed = true;
        }
        return false;
    }
    return ClassifyStat(state, levelIndex, dirFd, name, st, out);
}

// Reads the remaining entries of `reader` (the folder of level `levelIndex`) into the
// level's buffer.
void BufferEntries(FolderWalk::State& state, int levelIndex, DirectoryReader& reader) {
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(levelIndex)];
    while (const char* name = reader.Read()) {
        if (IsDotOrDotDot(name)) {
            continue;
        }
        BufferedEntry entry;
        entry.Ordinal = level.Ordinal++;
        if (!ClassifyEntry(state, levelIndex, reader.Fd(), name, entry.Ordinal, entry.Details)) {
            continue;
        }
        const std::size_t length = std::strlen(name);
        entry.NameOffset = static_cast<std::uint32_t>(level.Names.size());
        entry.NameLength = static_cast<std::uint32_t>(length);
        level.Names.insert(level.Names.end(), name, name + length + 1);
        level.Entries.push_back(entry);
        if ((entry.Details.Attributes & FolderAttribute) != 0) {
            ++level.FoldersLeft;
        }
    }
    if (reader.Failed()) {
        level.ReadFailed = true;
    }
}

// Reads all entries of the folder `fd` into the level, so that the walk below it needs no
// descriptor of it. Takes ownership of `fd`, which the level keeps until a subfolder opens.
void ReadWholeFolder(FolderWalk::State& state, int levelIndex, int fd) {
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(levelIndex)];
    DirectoryReader& reader = state.SharedReader;
    if (!reader.Open(fd)) {
        level.ReadFailed = true;
        return;
    }
    BufferEntries(state, levelIndex, reader);
    level.LookupFd.Reset(reader.Release());
}

// Turns the lazy level `index` into a buffered one without a descriptor.
void SpillLevel(FolderWalk::State& state, int index) {
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(index)];
    // Buffered from here on, so that a descriptor shortage met while reading the rest does
    // not pick this level a second time.
    level.Buffered = true;
    level.Names.clear();
    level.Entries.clear();
    level.Cursor = 0;
    level.FoldersLeft = 0;
    BufferEntries(state, index, level.Reader);
    level.Reader.Close();
}

// Frees one of the walk's descriptors other than `protectedFd`. False when none is left.
bool FreeDescriptor(FolderWalk::State& state, int protectedFd) {
    // The workers' descriptors go first: the walk needs no worker to complete.
    if (!state.WorkersDescriptorsTaken) {
        state.WorkersDescriptorsTaken = true;
        state.WorkerFds->TakeAllBack(ReadAhead::MaxAnswerWait);
        return true;
    }
    // A level whose entries are in memory finds its folder again from a subfolder or by path.
    for (int i = 0; i < state.Depth; ++i) {
        WalkLevel& level = *state.Levels[static_cast<std::size_t>(i)];
        if (level.LookupFd.IsOpen() && level.LookupFd.Get() != protectedFd) {
            level.LookupFd.Reset();
            return true;
        }
    }
    // A lazy level reads the rest of its folder now; the deepest has the fewest left.
    for (int i = state.Depth - 1; i >= 0; --i) {
        WalkLevel& level = *state.Levels[static_cast<std::size_t>(i)];
        if (!level.Buffered && !level.FromAhead && level.Reader.Fd() >= 0 &&
            level.Reader.Fd() != protectedFd) {
            SpillLevel(state, i);
            state.FdBudget = std::min(state.FdBudget, i);
            return true;
        }
    }
    return false;
}

// Records the folders above the root as lying outside the tree, from the root's descriptor.
// A link to one of them is followed, and the root met again below it is not entered.
void FindRootAncestors(FolderWalk::State& state, int rootFd, FileIdentity root) {
    UniqueFd fd(openat(rootFd, "..", LookupOpenFlags));
    FileIdentity current = root;
    for (int step = 0; fd.IsOpen() && step < MaxAncestorSteps; ++step) {
        struct stat st;
        if (fstat(fd.Get(), &st) != 0 || IdentityOf(st) == current) {
            break;
        }
        current = IdentityOf(st);
        state.Outside.insert(current);
        fd = UniqueFd(openat(fd.Get(), "..", LookupOpenFlags));
    }
}

void AppendName(std::string& path, std::string_view name) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
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

// Decides on all entries that the read-ahead read for the level at once, as ReadWholeFolder
// does for the folders it reads. `dirFd` as for ClassifyStat.
void ClassifyWholeFolder(FolderWalk::State& state, int levelIndex, int dirFd) {
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(levelIndex)];
    const AheadFolder& ahead = *level.Ahead;
    for (std::size_t i = 0; i < ahead.Entries.size(); ++i) {
        const AheadEntry& read = ahead.Entries[i];
        const char* name = ahead.Names.data() + read.NameOffset;
        BufferedEntry entry;
        if (!ClassifyStat(state, levelIndex, dirFd, name, read.Stat, entry.Details)) {
            continue;
        }
        entry.NameOffset = static_cast<std::uint32_t>(level.Names.size());
        entry.NameLength = read.NameLength;
        entry.Child = read.Child;
        entry.Ordinal = static_cast<std::uint32_t>(i);
        if ((entry.Details.Attributes & FolderAttribute) != 0) {
            ++level.FoldersLeft;
        }
        level.Names.insert(level.Names.end(), name, name + read.NameLength + 1);
        level.Entries.push_back(std::move(entry));
    }
}

// The largest folder the walk reads at once for the read-ahead; it reads larger ones entry by
// entry, as they are walked, so that it never goes long without delivering an entry.
constexpr std::size_t MaxWalkReadEntries = 1024;

// Reads the folder `fd` of the level into `ahead` on the walk's thread, so that workers can
// read its subfolders ahead. False, with `fd` back at the folder's start, when the folder is
// too large for that. Keeps `fd` open either way.
bool ReadForAhead(FolderWalk::State& state, int fd, AheadFolder& ahead) {
    DirectoryReader& reader = state.SharedReader;
    const int readFd = ::dup(fd);
    if (readFd < 0 || !reader.Open(readFd)) {
        return false;
    }
    const AheadReadResult result = ReadFolderAhead(reader, ahead, MaxWalkReadEntries, nullptr);
    reader.Close();
    if (result != AheadReadResult::Complete) {
        ::lseek(fd, 0, SEEK_SET);
        return false;
    }
    state.Ahead->Publish(ahead);
    return true;
}

// Tells the workers which folders hold a network mount point, before they get the first.
void PrepareAheadAvoids(FolderWalk::State& state, const std::string& root) {
    std::string realRoot;
    std::vector<std::string> folders;
    if (state.Devices.HasNetworkMounts()) {
        folders = state.Devices.FoldersHoldingNetworkMounts();
        if (char* resolved = realpath(root.c_str(), nullptr)) {
            realRoot = resolved;
            std::free(resolved);
        }
    }
    state.AheadAvoids->Assign(folders, root, realRoot);
}

// Has a worker read `probe` before the walk opens it. NoAnswer when the folder's file system
// did not answer the worker (when only one of its entries did not, `level` leaves that one
// out and the answer is None); NotEntered when the wait was stopped.
FolderSkip ProbeWithWorker(FolderWalk::State& state, const std::shared_ptr<AheadFolder>& probe,
                           WalkLevel& level) {
    if (!probe) {
        return FolderSkip::None;
    }
    const ReadAhead::Claim claim = state.Ahead->Probe(probe);
    if (claim == ReadAhead::Claim::Stopped) {
        return FolderSkip::NotEntered;
    }
    if (claim != ReadAhead::Claim::NoAnswer) {
        state.Ahead->Leave(*probe);
        return FolderSkip::None;
    }
    level.UnansweredOrdinal = probe->LookingAt.load(std::memory_order_relaxed);
    return level.UnansweredOrdinal >= 0 ? FolderSkip::None : FolderSkip::NoAnswer;
}

// The kind of drive of the files on `device`, asked of the system once per change of device.
DriveType DriveTypeOfFilesOn(FolderWalk::State& state, dev_t device) {
    if (state.FilesDrive == DriveType::Unknown || device != state.FilesDevice) {
        state.FilesDevice = device;
        state.FilesDrive = CachedDriveTypeOfDevice(device);
    }
    return state.FilesDrive;
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
    if (soft == RLIM_INFINITY) {
        FdBudget = MaxFdBudget;
        WorkerFds = std::make_shared<WorkerDescriptors>(MaxWorkerFds);
        return;
    }
    // Half of what is free, so that the program keeps room for its own files; a walk with
    // no budget at all still completes, one buffered folder at a time. The workers get half
    // of the rest, and none when little is free: the walk then reads every folder itself.
    const long available = static_cast<long>(std::min<rlim_t>(soft, 1 << 20)) -
                           CountOpenDescriptors(soft) - ReservedFds;
    FdBudget = static_cast<int>(std::clamp(available / 2, 0L, static_cast<long>(MaxFdBudget)));
    WorkerFds = std::make_shared<WorkerDescriptors>(
        static_cast<int>(std::clamp((available - FdBudget) / 2, 0L, long{MaxWorkerFds})));
}

FolderWalk::State::~State() = default;

FolderWalk::FolderWalk(const std::string& root, int readAheadThreads)
    : root_(root), state_(std::make_unique<State>()) {
    if (readAheadThreads > 1) {
        // The workers hold what they share with the walk: one left behind in a call that
        // does not return may still use it when the walk is over.
        state_->Ahead = std::make_unique<ReadAhead>(
            readAheadThreads, [avoided = state_->AheadAvoids, descriptors = state_->WorkerFds](
                                  AheadFolder& folder, const std::atomic<bool>& cancel) {
                return ReadFolderAheadByPath(folder, cancel, *avoided, *descriptors);
            });
        if (state_->Ahead->WorkerCount() == 0) {
            state_->Ahead.reset();
        }
    }
}

FolderWalk::~FolderWalk() {
    // The workers end first: nothing is read ahead for a walk that is over.
    state_->Ahead.reset();
}

int FolderWalk::DefaultReadAheadThreads() {
    return ReadAhead::DefaultWorkerCount();
}

FolderEnumeration::FolderEnumeration(FolderWalk& walk, const std::string& folder) : walk_(walk) {
    FolderWalk::State& state = walk.PlatformState();
    const int index = state.Depth;
    if (static_cast<std::size_t>(index) >= state.Levels.size()) {
        state.Levels.push_back(std::make_unique<WalkLevel>());
    }
    WalkLevel& level = *state.Levels[static_cast<std::size_t>(index)];
    level.Owner = nullptr;
    level.Buffered = false;
    level.Names.clear();
    level.Entries.clear();
    level.Cursor = 0;
    level.FoldersLeft = 0;
    level.ReadFailed = false;
    level.LastIsFolder = false;
    level.Ahead.reset();
    level.FromAhead = false;
    level.AheadCursor = 0;
    level.Ordinal = 0;
    level.UnansweredOrdinal = -1;
    level.LastChild.reset();
    level.LookupFd.Reset();
    if (index == 0) {
        // A walk entered again from its root starts afresh.
        state.RootOpen = false;
        state.Entered.clear();
        state.Outside.clear();
    }

    WalkLevel* parent =
        index > 0 ? state.Levels[static_cast<std::size_t>(index - 1)].get() : nullptr;
    const bool isChild =
        parent != nullptr && parent->LastIsFolder && IsChildPath(folder, parent->LastName);

    int flags = ReadOpenFlags;
    bool identityKnown = false;
    if (isChild) {
        const ClassifiedEntry& entry = parent->LastEntry;
        level.UnderLink = parent->UnderLink || entry.ViaLink;
        if (!entry.ViaLink) {
            // The folder was seen as a folder: a link put in its place meanwhile is not taken.
            flags |= O_NOFOLLOW;
            // A mount point known by name was not looked at: its identity is found on opening.
            identityKnown = entry.Identity.Inode != 0;
            level.Identity = entry.Identity;
        }
        state.Path.resize(parent->PathEnd);
        AppendName(state.Path, parent->LastName);
    } else {
        // The root, or a folder opened out of turn: reached by its own path. Out of turn the
        // walk cannot tell how it got there.
        level.UnderLink = index > 0;
        state.Path.assign(folder);
    }

    if (isChild && parent->LastEntry.Unanswered) {
        skip_ = FolderSkip::NoAnswer;
        return;
    }
    if (index == 0 && state.Ahead) {
        // A worker touches the root first: a file system that does not answer holds up that
        // worker, not the walk.
        PrepareAheadAvoids(state, walk.Root());
        skip_ = ProbeWithWorker(state, ReadAhead::MakeFolder(folder, {}), level);
        if (skip_ != FolderSkip::None) {
            return;
        }
    }

    // Decided before the folder is opened: a share is not even listed, a stick not read,
    // and an automount point (autofs) is not mounted by opening it.
    if (isChild && parent->LastEntry.Identity.Device != parent->Identity.Device) {
        const dev_t device = parent->LastEntry.Identity.Device;
        if (IsOtherDrive(state, parent->Identity.Device, device)) {
            skip_ = IsEmptyFolderOfDrives(state, state.Path, flags, device)
                        ? FolderSkip::NotEntered
                        : FolderSkip::OtherDrive;
            return;
        }
        if (IsPseudoFsType(state.Devices.FsType(device))) {
            skip_ = FolderSkip::NotEntered;
            return;
        }
    }
    if (identityKnown && state.Entered.count(level.Identity) != 0) {
        skip_ = FolderSkip::NotEntered;
        return;
    }

    // The read-ahead's record of the folder: what a worker read, or a record that the walk
    // fills itself so that the workers can go on below it.
    std::shared_ptr<AheadFolder> ahead;
    bool readAhead = false;
    if (state.Ahead) {
        if (isChild && parent->LastChild && !parent->LastEntry.ViaLink) {
            ReadAhead::Claim claim = ReadAhead::Claim::ReadYourself;
            ahead = state.Ahead->TakeListed(parent->LastChild, claim);
            if (claim == ReadAhead::Claim::Stopped) {
                skip_ = FolderSkip::NotEntered;
                return;
            }
            if (claim == ReadAhead::Claim::NoAnswer) {
                // A worker still waits for the folder's file system: the walk does not. When
                // it was one entry that did not answer, the walk reads the rest itself.
                const std::int64_t entry = ahead->LookingAt.load(std::memory_order_relaxed);
                if (entry < 0) {
                    skip_ = FolderSkip::NoAnswer;
                    return;
                }
                level.UnansweredOrdinal = entry;
                ahead.reset();
            }
            readAhead = claim == ReadAhead::Claim::Ready;
            if (readAhead) {
                // The workers read only folders on their parent's device, never a mount point.
                // A folder replaced since its parent was listed is read again as it is now.
                // A folder removed since a worker read it is not listed from what was read.
                struct stat now;
                readAhead = ahead->Identity == parent->LastEntry.Identity &&
                            ahead->Identity.Device == parent->Identity.Device &&
                            fstatat(AT_FDCWD, ahead->Path.c_str(), &now, LinkStatFlags) == 0 &&
                            IdentityOf(now) == ahead->Identity;
                if (!readAhead) {
                    state.Ahead->Leave(*ahead);
                }
            }
        } else if (isChild ? parent->Ahead != nullptr : index == 0) {
            ahead = state.Ahead->TakeNew(folder, isChild ? parent->Ahead.get() : nullptr,
                                         parent != nullptr ? parent->LastOrdinal : 0);
            if (ahead) {
                ahead->UnderLink = level.UnderLink;
            }
        }
    }

    // A followed link and a mount point are read by the walk itself; a worker touches them
    // first, so that a file system that does not answer holds up the worker, not the walk.
    if (!readAhead && isChild && state.Ahead &&
        (parent->LastEntry.ViaLink ||
         parent->LastEntry.Identity.Device != parent->Identity.Device)) {
        skip_ = ProbeWithWorker(state, ReadAhead::MakeFolder(state.Path, {}), level);
        if (skip_ != FolderSkip::None) {
            if (ahead) {
                state.Ahead->Leave(*ahead);
            }
            return;
        }
    }
    UniqueFd fd;
    if (!readAhead) {
        if (isChild) {
            const int base = LookupFdOf(state, index - 1);
            // The name is NUL-terminated where the parent keeps it.
            fd.Reset(base >= 0 ? OpenAt(state, base, base, parent->LastName.data(), flags) : -1);
        } else {
            fd.Reset(OpenPath(state, AT_FDCWD, folder, folder.size(), flags));
        }
        if (!fd.IsOpen()) {
            if (ahead) {
                state.Ahead->Leave(*ahead);
            }
            skip_ = FolderSkip::Unreadable;
            return;
        }
        if (!identityKnown) {
            struct stat st;
            if (fstat(fd.Get(), &st) != 0) {
                skip_ = FolderSkip::Unreadable;
                return;
            }
            level.Identity = IdentityOf(st);
            if ((isChild && parent->LastEntry.Identity.Inode != 0 &&
                 !(level.Identity == parent->LastEntry.Identity)) ||
                state.Entered.count(level.Identity) != 0) {
                // Entered before by another way, or a link changed after it was checked (its
                // new target is not checked).
                if (ahead) {
                    state.Ahead->Leave(*ahead);
                }
                skip_ = FolderSkip::NotEntered;
                return;
            }
        }
        if (!isChild && index > 0 &&
            IsOtherDrive(state, state.Levels[static_cast<std::size_t>(index - 1)]->Identity.Device,
                         level.Identity.Device)) {
            skip_ = FolderSkip::OtherDrive;
            return;
        }
        // Pseudo file systems can only start at a mount point, where the device changes.
        const bool mountPoint = !isChild || level.Identity.Device != parent->Identity.Device;
        if (mountPoint && IsPseudoFileSystem(state, fd.Get(), level.Identity.Device)) {
            skip_ = FolderSkip::NotEntered;
            return;
        }
    }
    state.Entered.insert(level.Identity);
    if (index == 0) {
        state.Root = level.Identity;
        state.RootOpen = true;
        FindRootAncestors(state, fd.Get(), level.Identity);
    }
    level.PathEnd = state.Path.size();
    FindNetworkMounts(state, walk.Root(), folder, level, index);
    if (index == 0 && state.Ahead) {
        // Before the workers get their first folder, which is the root's.
        state.AheadAvoids->Assign(state.Devices.HasNetworkMounts()
                                      ? state.Devices.FoldersHoldingNetworkMounts()
                                      : std::vector<std::string>{},
                                  walk.Root(), state.RealRoot);
    }
    if (readAhead) {
        // Read by a worker: no descriptor is open for it.
        level.Ahead = std::move(ahead);
        if (index >= state.FdBudget) {
            level.Buffered = true;
            ClassifyWholeFolder(state, index, -1);
        }
    } else if (ahead) {
        ahead->Identity = level.Identity;
        // Kept also when the folder is too large to read at once, or holds a share's mount
        // point (reading it whole would look at that), and is read entry by entry below: the
        // records of its subfolders take their places from it.
        level.Ahead = std::move(ahead);
        if (level.NetworkMounts.empty() && ReadForAhead(state, fd.Get(), *level.Ahead)) {
            readAhead = true;
            // Its descriptor stays only where the walk keeps descriptors.
            level.LookupFd = std::move(fd);
            if (index >= state.FdBudget) {
                level.Buffered = true;
                ClassifyWholeFolder(state, index, level.LookupFd.Get());
            }
        }
    }
    if (readAhead) {
        level.ReadFailed = level.ReadFailed || level.Ahead->Incomplete;
        level.FromAhead = !level.Buffered;
    } else if (index < state.FdBudget) {
        level.Reader.Open(fd.Release());
    } else {
        level.Buffered = true;
        ReadWholeFolder(state, index, fd.Release());
    }
    // Below a level whose entries are in memory the walk needs no descriptor of it until it
    // comes back up.
    if (isChild && (parent->Buffered || parent->FromAhead)) {
        parent->LookupFd.Reset();
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
    const std::shared_ptr<AheadFolder>* child = nullptr;
    std::uint32_t ordinal = 0;
    if (level.Buffered) {
        if (level.Cursor < level.Entries.size()) {
            const BufferedEntry& buffered = level.Entries[level.Cursor++];
            name = std::string_view(level.Names.data() + buffered.NameOffset, buffered.NameLength);
            details = &buffered.Details;
            child = &buffered.Child;
            ordinal = buffered.Ordinal;
            if ((details->Attributes & FolderAttribute) != 0) {
                --level.FoldersLeft;
            }
        }
    } else if (level.FromAhead) {
        const AheadFolder& ahead = *level.Ahead;
        while (level.AheadCursor < ahead.Entries.size()) {
            ordinal = static_cast<std::uint32_t>(level.AheadCursor);
            const AheadEntry& read = ahead.Entries[level.AheadCursor++];
            const char* raw = ahead.Names.data() + read.NameOffset;
            if (ClassifyStat(state, level_, -1, raw, read.Stat, level.LastEntry)) {
                name = std::string_view(raw, read.NameLength);
                details = &level.LastEntry;
                child = &read.Child;
                break;
            }
        }
    } else {
        while (const char* raw = level.Reader.Read()) {
            if (IsDotOrDotDot(raw)) {
                continue;
            }
            ordinal = level.Ordinal++;
            if (ClassifyEntry(state, level_, level.Reader.Fd(), raw, ordinal, level.LastEntry)) {
                name = raw;
                details = &level.LastEntry;
                break;
            }
        }
        if (details == nullptr && level.Reader.Failed()) {
            level.ReadFailed = true;
        }
    }
    if (details == nullptr) {
        if (level.ReadFailed) {
            Close();
            skip_ = FolderSkip::Unreadable;
        }
        return false;
    }
    entry.Name = name;
    entry.Attributes = details->Attributes;
    entry.SizeBytes = details->SizeBytes;
    entry.LastWriteTime = details->LastWriteTime;
    entry.LinkCount = details->LinkCount;
    entry.Device = static_cast<std::uint64_t>(details->Identity.Device);
    entry.FileNumber = static_cast<std::uint64_t>(details->Identity.Inode);
    entry.Drive = DriveType::Unknown;
    if ((details->Attributes & FolderAttribute) == 0) {
        entry.Drive = DriveTypeOfFilesOn(state, details->Identity.Device);
    }
    if ((details->Attributes & FolderAttribute) != 0) {
        level.LastEntry = *details;
        level.LastIsFolder = true;
        level.LastName = name;
        level.LastOrdinal = ordinal;
        if (child != nullptr) {
            level.LastChild = *child;
        } else {
            level.LastChild.reset();
        }
    }
    return true;
}

void FolderEnumeration::Close() {
    if (IsOpen()) {
        FolderWalk::State& state = walk_.PlatformState();
        // Closing a folder closes whatever is still open below it.
        for (int i = state.Depth - 1; i >= level_; --i) {
            WalkLevel& level = *state.Levels[static_cast<std::size_t>(i)];
            if (i > 0) {
                // Coming back up is the cheap moment to find the parent's folder again.
                WalkLevel& above = *state.Levels[static_cast<std::size_t>(i - 1)];
                if (AnchorFdOf(above) < 0 && AnchorFdOf(level) >= 0 && HasFoldersLeft(above)) {
                    above.LookupFd = OpenParentIfSame(AnchorFdOf(level), above.Identity);
                }
            }
            level.Reader.Close();
            level.LookupFd.Reset();
            if (level.Ahead) {
                state.Ahead->Leave(*level.Ahead);
                level.Ahead.reset();
            }
            level.FromAhead = false;
            level.LastChild.reset();
            level.Owner = nullptr;
            level.LastIsFolder = false;
            level.Entries.clear();
            level.Names.clear();
        }
        state.Depth = level_;
    }
    level_ = -1;
}

void FolderWalk::SetWaitHook(std::function<bool()> hook) {
    if (state_->Ahead) {
        state_->Ahead->SetWaitHook(std::move(hook));
    }
}
