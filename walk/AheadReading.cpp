#include "AheadReading.h"

#include <algorithm>

#include <utility>

void NetworkMountFolders::Assign(MountsByFolder mounts, const std::string& walkRoot,
                                 const std::string& realRoot, char separator) {
    std::lock_guard<std::mutex> lock(mutex_);
    mounts_ = std::move(mounts);
    any_.store(!mounts_.empty(), std::memory_order_release);
    walkRoot_ = walkRoot;
    realRoot_ = realRoot;
    separator_ = separator;
}

std::optional<std::vector<NamedMount>> NetworkMountFolders::MountsIn(const AheadFolder& folder,
                                                                     SourceFolder& opened) const {
    if (!any_.load(std::memory_order_acquire)) {
        return std::vector<NamedMount>{};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (mounts_.empty()) {
        return std::vector<NamedMount>{};
    }
    const std::string& path = folder.Path;
    std::string real;
    if (!folder.UnderLink && !realRoot_.empty() &&
        path.compare(0, walkRoot_.size(), walkRoot_) == 0) {
        // Below the root and no link on the way: the real path is the root's and the names.
        real = realRoot_;
        std::size_t rest = walkRoot_.size();
        if (rest < path.size() && path[rest] == separator_) {
            ++rest;
        }
        if (rest < path.size()) {
            AppendWithSeparator(real, std::string_view(path).substr(rest), separator_);
        }
    } else {
        // Reached through a link: only the system knows where the folder really is.
        real = opened.RealPath();
        if (real.empty()) {
            return std::nullopt;
        }
    }
    const auto found = mounts_.find(real);
    std::vector<NamedMount> mounts;
    if (found != mounts_.end()) {
        for (const NamedMount& mount : found->second) {
            // The folder's own file system is looked at as usual.
            if (mount.Device != folder.Identity.Device) {
                mounts.push_back(mount);
            }
        }
    }
    return mounts;
}

namespace {

// A worker's share of the handles, given back when it goes. Whoever holds the share keeps the
// handles alive: it is taken for every folder, and counting references to the handles each
// time would have the workers contend for one more cache line.
class HandleShare {
public:
    explicit HandleShare(WorkerHandles& handles) : handles_(handles) {}
    ~HandleShare() { handles_.Give(); }
    HandleShare(const HandleShare&) = delete;
    HandleShare& operator=(const HandleShare&) = delete;

private:
    WorkerHandles& handles_;
};

// Reads `folder`, open as `opened`, and tells whether it is read whole. `byListedName`: it was
// opened by its name in the very folder whose listing said who it is. That is taken for who it
// is, as the walk takes it for a folder it opens itself; asking again would cost a call for
// every folder. Opened by its path, it is asked, since a folder above may have been replaced;
// a source whose every opening goes by path (Windows) answers with the listing's word.
bool ReadOpenedAhead(SourceFolder& opened, AheadFolder& folder, bool byListedName, char separator,
                     const std::atomic<bool>& cancel,
                     const NetworkMountFolders& networkMountFolders) {
    ReadAhead::NoteAnswer(folder);
    folder.Identity = byListedName && folder.Listed.Identity.Number != 0 ? folder.Listed.Identity
                                                                         : opened.Identity();
    const std::optional<std::vector<NamedMount>> mounts =
        networkMountFolders.MountsIn(folder, opened);
    return mounts && ReadFolderAhead(opened, folder, separator,
                                     folder.MaxEntries.load(std::memory_order_relaxed), &cancel,
                                     *mounts) == AheadReadResult::Complete;
}

// A folder a worker has read, kept open with its share of the handles for its subfolders.
class HeldSourceFolder : public ReadAhead::HeldFolder {
public:
    HeldSourceFolder(std::unique_ptr<SourceFolder> folder, std::unique_ptr<HandleShare> share,
                     const AheadFolder& record, char separator,
                     std::shared_ptr<const NetworkMountFolders> networkMountFolders,
                     std::shared_ptr<WorkerHandles> handles)
        : handles_(std::move(handles)), share_(std::move(share)), folder_(std::move(folder)),
          pathLength_(record.Path.size()), separator_(separator),
          networkMountFolders_(std::move(networkMountFolders)) {}

    bool ReadChild(AheadFolder& child, const std::atomic<bool>& cancel) override {
        if (child.Path.size() <= pathLength_ + 1 || !handles_->TryTake()) {
            return false;
        }
        const HandleShare share(*handles_);
        // Its name is what its path adds to the held folder's.
        const std::string_view name =
            std::string_view(child.Path)
                .substr(child.Path[pathLength_] == separator_ ? pathLength_ + 1 : pathLength_);
        OpenFailure failure = OpenFailure::None;
        const std::unique_ptr<SourceFolder> opened =
            folder_->OpenListedBelow(name, child.Listed, failure);
        return opened &&
               ReadOpenedAhead(*opened, child, true, separator_, cancel, *networkMountFolders_);
    }

private:
    // The members go in reverse order: the folder is closed, then the share given back to
    // the handles.
    std::shared_ptr<WorkerHandles> handles_;
    std::unique_ptr<HandleShare> share_;
    std::unique_ptr<SourceFolder> folder_;
    std::size_t pathLength_;
    char separator_;
    std::shared_ptr<const NetworkMountFolders> networkMountFolders_;
};

// The record of the subfolder `name` of `folder`, at place `ordinal`, which the listing says
// is `listed`, for a worker to read.
std::shared_ptr<AheadFolder> MakeChildRecord(const AheadFolder& folder, std::string_view name,
                                             std::uint32_t ordinal, const ListedFolder& listed,
                                             char separator) {
    // Each made to size at once: a copy grown by one more would be allocated twice.
    std::string path;
    path.reserve(folder.Path.size() + 1 + name.size());
    path = folder.Path;
    AppendWithSeparator(path, name, separator);
    std::vector<std::uint32_t> key;
    key.reserve(folder.Key.size() + 1);
    key = folder.Key;
    key.push_back(ordinal);
    std::shared_ptr<AheadFolder> child = ReadAhead::MakeFolder(std::move(path), std::move(key));
    if (child) {
        child->UnderLink = folder.UnderLink;
        child->Device = folder.Identity.Device;
        child->Listed = listed;
    }
    return child;
}

std::size_t RecordBytes(const AheadFolder& record) {
    return sizeof(AheadFolder) + record.Path.capacity() +
           record.Key.capacity() * sizeof(std::uint32_t);
}

} // namespace

bool ReadFolderAheadByPath(FolderSource& source, AheadFolder& folder,
                           const std::atomic<bool>& cancel,
                           const std::shared_ptr<const NetworkMountFolders>& networkMountFolders,
                           const std::shared_ptr<WorkerHandles>& handles,
                           std::unique_ptr<ReadAhead::HeldFolder>& held) {
    // A probe goes ahead of the walk where a file system may not answer: it never waits for the
    // workers' share, which workers stuck elsewhere may hold.
    std::unique_ptr<HandleShare> share;
    if (!folder.IsProbe) {
        if (!handles->TryTake()) {
            return false;
        }
        share = std::make_unique<HandleShare>(*handles);
    }
    // Not through a link: the walk expects the folder that its parent listed. A probe goes
    // where the walk will go, a link's target included.
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<SourceFolder> opened =
        folder.IsProbe ? source.OpenPath(folder.Path, true, failure)
                       : source.OpenListedPath(folder.Path, folder.Listed, failure);
    if (!opened || !ReadOpenedAhead(*opened, folder, false, source.Separator(), cancel,
                                    *networkMountFolders)) {
        return false;
    }
    if (!folder.IsProbe) {
        held = std::make_unique<HeldSourceFolder>(std::move(opened), std::move(share), folder,
                                                  source.Separator(), networkMountFolders, handles);
    }
    return true;
}

namespace {

// What the folder read last on this thread held: the next one's lists start at that size, up
// to a middling folder's, so that folders of a tree, which are much alike, are mostly read
// into one allocation of each instead of one for every doubling. Plain numbers: a thread's own
// objects that must be destroyed when it ends are not safe with every compiler this program is
// built with.
thread_local std::size_t lastEntries = 0;
thread_local std::size_t lastNameBytes = 0;

// Looks at `name`, the `listed`-th name `folder` gave, into `entry`. A name that a network
// share is mounted on is taken for a folder on the share's device, which the walk leaves out
// unopened: it is never asked.
LookResult LookAtListedName(SourceFolder& opened, AheadFolder& folder, std::string_view name,
                            std::int64_t listed, const std::vector<NamedMount>& mounts,
                            LinkTarget links, AheadEntry& entry) {
    const auto mount = std::find_if(mounts.begin(), mounts.end(),
                                    [&](const NamedMount& m) { return m.Name == name; });
    LookResult looked = LookResult::Looked;
    if (mount != mounts.end()) {
        entry.Facts.Type = EntryFacts::Kind::Folder;
        entry.Facts.Identity = {mount->Device, 0};
    } else {
        folder.LookingAt.store(listed, std::memory_order_relaxed);
        looked = opened.LookAt(name, entry.Facts, links);
        folder.LookingAt.store(-1, std::memory_order_relaxed);
    }
    ReadAhead::NoteAnswer(folder);
    return looked;
}

} // namespace

AheadReadResult ReadFolderAhead(SourceFolder& opened, AheadFolder& folder, char separator,
                                std::size_t maxEntries, const std::atomic<bool>* cancel,
                                const std::vector<NamedMount>& mounts, LinkTarget links) {
    // No more than a middling folder holds: after an empty folder nothing is allocated, and a
    // large one does not make every small one after it large.
    folder.Entries.reserve(std::min<std::size_t>(lastEntries, 64));
    folder.Names.reserve(std::min<std::size_t>(lastNameBytes, 2048));
    std::size_t childBytes = 0;
    // Names listed so far: the place of each among them, as the walk counts them.
    std::int64_t listed = 0;
    for (std::string_view name = opened.ReadName(); !name.empty(); name = opened.ReadName()) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            ReadAhead::Discard(folder);
            return AheadReadResult::Cancelled;
        }
        if (folder.Entries.size() >= maxEntries) {
            ReadAhead::Discard(folder);
            return AheadReadResult::TooLarge;
        }
        if (std::find(folder.Unanswered.begin(), folder.Unanswered.end(), listed) !=
            folder.Unanswered.end()) {
            ++listed;
            continue;
        }
        AheadEntry entry;
        const LookResult looked =
            LookAtListedName(opened, folder, name, listed++, mounts, links, entry);
        if (looked != LookResult::Looked) {
            // Vanished since it was listed, or a folder that may be listed but not looked into.
            folder.Incomplete = folder.Incomplete || looked == LookResult::Failed;
            continue;
        }
        // Folders on another device are mount points, which the walk examines itself.
        if (entry.Facts.Type == EntryFacts::Kind::Folder &&
            entry.Facts.Identity.Device == folder.Identity.Device) {
            const auto ordinal = static_cast<std::uint32_t>(folder.Entries.size());
            entry.Child = MakeChildRecord(
                folder, name, ordinal, ListedFolder{entry.Facts.Identity, entry.Facts.Attributes},
                separator);
            childBytes += entry.Child ? RecordBytes(*entry.Child) : 0;
        }
        entry.NameOffset = static_cast<std::uint32_t>(folder.Names.size());
        entry.NameLength = static_cast<std::uint32_t>(name.size());
        folder.Names.insert(folder.Names.end(), name.begin(), name.end());
        folder.Names.push_back('\0');
        folder.Entries.push_back(std::move(entry));
    }
    folder.Incomplete = folder.Incomplete || opened.ReadFailed();
    lastEntries = folder.Entries.size();
    lastNameBytes = folder.Names.size();
    folder.Bytes =
        folder.Names.capacity() + folder.Entries.capacity() * sizeof(AheadEntry) + childBytes;
    return AheadReadResult::Complete;
}
