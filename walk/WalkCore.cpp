#include "WalkCore.h"

#include <utility>

WalkCore::WalkCore(std::shared_ptr<FolderSource> source, std::string root, int readAheadThreads)
    : source_(std::move(source)), root_(std::move(root)), separator_(source_->Separator()) {
    const HandleAllowance allowance = source_->Allowance();
    handleBudget_ = allowance.WalkFolders;
    workerHandles_ = std::make_shared<WorkerHandles>(allowance.WorkerFolders);
    // Started when the root is opened (StartReadAheadUnlessBusy).
    aheadThreads_ = readAheadThreads > 1 ? readAheadThreads : 0;
}

WalkCore::~WalkCore() {
    // The workers end first: nothing is read ahead for a walk that is over.
    ahead_.reset();
}

void WalkCore::SetWaitHook(std::function<bool()> hook) {
    waitHook_ = std::move(hook);
    if (ahead_) {
        ahead_->SetWaitHook(waitHook_);
    }
}

FolderSkip WalkCore::OpenRoot() {
    if (depth_ != 0) {
        return FolderSkip::NotEntered;
    }
    // A walk opened again from its root starts afresh.
    rootOpen_ = false;
    rootProbe_.reset();
    entered_.Clear();
    outside_.Clear();
    return OpenLevel(0, nullptr);
}

FolderSkip WalkCore::Enter() {
    if (depth_ == 0 || !levels_[static_cast<std::size_t>(depth_ - 1)]->LastIsFolder) {
        return FolderSkip::NotEntered;
    }
    WalkLevel& parent = *levels_[static_cast<std::size_t>(depth_ - 1)];
    // Entered once: a second Enter for the same entry finds nothing to enter.
    parent.LastIsFolder = false;
    const WalkedFacts entry = parent.LastEntry;
    return OpenLevel(depth_, &entry);
}

WalkLevel& WalkCore::PrepareLevel(int index) {
    if (static_cast<std::size_t>(index) >= levels_.size()) {
        levels_.push_back(std::make_unique<WalkLevel>());
    }
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    level.Identity = {};
    level.Source = LevelSource::Listing;
    level.Folder.reset();
    level.Names.clear();
    level.Entries.clear();
    level.Cursor = 0;
    level.FoldersLeft = 0;
    level.Ahead.reset();
    level.AheadCursor = 0;
    level.Ordinal = 0;
    level.UnansweredOrdinals.clear();
    level.NetworkMounts.clear();
    level.ReadFailed = false;
    level.LastIsFolder = false;
    level.LastChild.reset();
    return level;
}

// Opens the level `index`: the root when `entry` is null, else the folder `entry` that the
// level above delivered last.
FolderSkip WalkCore::OpenLevel(int index, const WalkedFacts* entry) {
    WalkLevel& level = PrepareLevel(index);
    WalkLevel* parent =
        entry != nullptr ? levels_[static_cast<std::size_t>(index - 1)].get() : nullptr;
    if (entry != nullptr) {
        level.UnderLink = parent->UnderLink || entry->ViaLink;
        if (!entry->ViaLink) {
            level.Identity = entry->Identity;
        }
        path_.resize(parent->PathEnd);
        AppendName(parent->LastName);
        if (entry->Unanswered) {
            return FolderSkip::NoAnswer;
        }
    } else {
        level.UnderLink = false;
        path_ = root_;
        if (const FolderSkip skip = StartAndProbeRoot(level); skip != FolderSkip::None) {
            return skip;
        }
    }
    if (entry != nullptr) {
        if (const FolderSkip skip = DecideBeforeOpening(*parent, *entry);
            skip != FolderSkip::None) {
            return skip;
        }
    }
    std::shared_ptr<AheadFolder> ahead;
    bool readAhead = false;
    if (entry != nullptr) {
        StartReadAheadOnceQuiet();
    }
    if (ahead_) {
        if (const FolderSkip skip = TakeAheadRecord(index, entry, ahead, readAhead);
            skip != FolderSkip::None) {
            return skip;
        }
    }
    // A followed link and a mount point are read by the walk itself; a worker touches them
    // first, so that a file system that does not answer holds up the worker, not the walk.
    if (!readAhead && entry != nullptr &&
        (entry->ViaLink || entry->Identity.Device != parent->Identity.Device) && WorkersAtHand()) {
        if (const FolderSkip skip = ProbeWithWorker(path_, level); skip != FolderSkip::None) {
            LeaveAhead(ahead);
            return skip;
        }
    }
    return EnterOpened(index, entry, readAhead, std::move(ahead));
}

// Opens the folder of level `index`: the root when `entry` is null, else by the entry's name
// in the folder above. Null when it cannot be opened.
std::unique_ptr<SourceFolder> WalkCore::OpenFolderOfLevel(int index, const WalkedFacts* entry) {
    if (entry == nullptr) {
        return OpenWithRetry(
            nullptr, [&](OpenFailure& failure) { return source_->OpenPath(root_, true, failure); });
    }
    SourceFolder* base = AnchorOf(index - 1);
    if (base == nullptr) {
        return nullptr;
    }
    const std::string_view name = levels_[static_cast<std::size_t>(index - 1)]->LastName;
    return OpenWithRetry(base, [&](OpenFailure& failure) {
        // Seen as a folder: a link put in its place meanwhile is not taken.
        return entry->ViaLink
                   ? base->OpenBelow(name, true, failure)
                   : base->OpenListedBelow(name, ListedFolder{entry->Identity, entry->Attributes},
                                           failure);
    });
}

// Opens the folder of level `index` unless a worker has read it (`readAhead`), decides on it
// and makes it the innermost level.
FolderSkip WalkCore::EnterOpened(int index, const WalkedFacts* entry, bool readAhead,
                                 std::shared_ptr<AheadFolder> ahead) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    WalkLevel* parent =
        entry != nullptr ? levels_[static_cast<std::size_t>(index - 1)].get() : nullptr;
    std::unique_ptr<SourceFolder> folder;
    if (!readAhead) {
        folder = OpenFolderOfLevel(index, entry);
        FolderSkip skip =
            folder ? DecideAfterOpening(index, entry, *folder) : FolderSkip::Unreadable;
        if (skip != FolderSkip::None) {
            LeaveAhead(ahead);
            return skip;
        }
    }
    entered_.Insert(level.Identity);
    if (entry == nullptr) {
        rootIdentity_ = level.Identity;
        rootOpen_ = true;
        if (ahead_) {
            AdaptReadAheadToRoot(level.Identity.Device);
        }
        FindRootAncestors(*folder);
        if (ahead_) {
            HearWaitHook();
        }
    }
    level.PathEnd = path_.size();
    FindNetworkMounts(index, folder.get());
    if (entry == nullptr && rootProbe_) {
        readAhead = TakeRootProbe(level, ahead);
    }
    if (!readAhead && ahead) {
        // Kept also when the folder is too large to read at once, or holds a share's mount
        // point, and is read entry by entry below: its subfolders' records take their places
        // from it.
        ahead->Identity = level.Identity;
        readAhead = level.NetworkMounts.empty() && level.UnansweredOrdinals.empty() &&
                    ReadForAhead(index, *folder, *ahead);
    }
    level.Ahead = std::move(ahead);
    level.Folder = std::move(folder);
    if (readAhead) {
        level.Source = LevelSource::Ahead;
        level.ReadFailed = level.Ahead->Incomplete;
        if (index >= handleBudget_) {
            BufferAheadRecord(index);
        }
    } else if (index >= handleBudget_) {
        level.Source = LevelSource::Buffered;
        SourceFolder& listing = *level.Folder;
        BufferRest(index, listing);
    }
    // Below a level whose entries are in memory the walk needs no handle of it until it
    // comes back up. Within the handle budget it keeps what it has, so that it need not open
    // the folder again for its next subfolder that no worker read.
    if (parent != nullptr && parent->Source != LevelSource::Listing && index - 1 >= handleBudget_) {
        parent->Folder.reset();
    }
    depth_ = index + 1;
    return FolderSkip::None;
}

bool WalkCore::Next(DirectoryEntry& entry) {
    if (depth_ == 0) {
        return false;
    }
    const int index = depth_ - 1;
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    level.LastIsFolder = false;
    std::string_view name;
    const WalkedFacts* facts = nullptr;
    const std::shared_ptr<AheadFolder>* child = nullptr;
    std::uint32_t ordinal = 0;
    if (level.Source == LevelSource::Buffered) {
        const BufferedEntry* buffered = nullptr;
        if (NextBuffered(index, name, buffered)) {
            facts = &buffered->Facts;
            child = &buffered->Child;
            ordinal = buffered->Ordinal;
        }
    } else if (level.Source == LevelSource::Ahead) {
        facts = NextFromAhead(index, name, child, ordinal);
    } else {
        facts = NextListed(index, name, ordinal);
    }
    if (facts == nullptr) {
        return false;
    }
    Deliver(level, name, *facts, child, ordinal, entry);
    return true;
}

bool WalkCore::NextBuffered(int index, std::string_view& name, const BufferedEntry*& entry) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    while (level.Cursor < level.Entries.size()) {
        BufferedEntry& next = level.Entries[level.Cursor++];
        name = std::string_view(level.Names.data() + next.NameOffset, next.NameLength);
        const bool folder = (next.Facts.Attributes & FolderAttribute) != 0;
        if (folder) {
            --level.FoldersLeft;
        }
        if (next.Facts.LinkUndecided) {
            next.Facts.LinkUndecided = false;
            if (!MayFollowLink(index, name, next.Facts.Identity)) {
                continue;
            }
        }
        entry = &next;
        return true;
    }
    return false;
}

const WalkedFacts* WalkCore::NextFromAhead(int index, std::string_view& name,
                                           const std::shared_ptr<AheadFolder>*& child,
                                           std::uint32_t& ordinal) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    const AheadFolder& ahead = *level.Ahead;
    while (level.AheadCursor < ahead.Entries.size()) {
        ordinal = static_cast<std::uint32_t>(level.AheadCursor);
        const AheadEntry& read = ahead.Entries[level.AheadCursor++];
        const std::string_view raw(ahead.Names.data() + read.NameOffset, read.NameLength);
        if (Classify(index, raw, read.Facts, level.LastEntry, true)) {
            name = raw;
            child = &read.Child;
            return &level.LastEntry;
        }
    }
    return nullptr;
}

const WalkedFacts* WalkCore::NextListed(int index, std::string_view& name, std::uint32_t& ordinal) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    for (;;) {
        // Read anew each time: a shortage of handles while looking may have read the rest of
        // the folder into memory.
        if (level.Source != LevelSource::Listing || !level.Folder) {
            const BufferedEntry* buffered = nullptr;
            if (!NextBuffered(index, name, buffered)) {
                return nullptr;
            }
            ordinal = buffered->Ordinal;
            return &buffered->Facts;
        }
        const std::string_view raw = level.Folder->ReadName();
        if (raw.empty()) {
            level.ReadFailed = level.ReadFailed || level.Folder->ReadFailed();
            return nullptr;
        }
        ordinal = level.Ordinal++;
        reading_ = level.Folder.get();
        const bool delivered =
            LookAndClassify(index, *level.Folder, raw, true, ordinal, level.LastEntry);
        reading_ = nullptr;
        if (delivered) {
            name = raw;
            return &level.LastEntry;
        }
    }
}

void WalkCore::Deliver(WalkLevel& level, std::string_view name, const WalkedFacts& facts,
                       const std::shared_ptr<AheadFolder>* child, std::uint32_t ordinal,
                       DirectoryEntry& entry) {
    entry.Name = name;
    entry.Attributes = facts.Attributes;
    entry.SizeBytes = facts.SizeBytes;
    entry.LastWriteTime = facts.LastWriteTime;
    entry.LinkCount = facts.LinkCount;
    entry.Device = facts.Identity.Device;
    entry.FileNumber = facts.Identity.Number;
    entry.Drive = DriveType::Unknown;
    if ((facts.Attributes & FolderAttribute) == 0) {
        entry.Drive = DriveOfFilesOn(facts.Identity.Device);
        return;
    }
    level.LastEntry = facts;
    level.LastIsFolder = true;
    level.LastName = name;
    level.LastOrdinal = ordinal;
    if (child != nullptr && *child) {
        level.LastChild = *child;
    } else {
        level.LastChild.reset();
    }
}

FolderSkip WalkCore::EndReason() const {
    if (depth_ > 0 && levels_[static_cast<std::size_t>(depth_ - 1)]->ReadFailed) {
        return FolderSkip::Unreadable;
    }
    return FolderSkip::None;
}

void WalkCore::Leave() {
    if (depth_ > 0) {
        CloseLevel(depth_ - 1);
        --depth_;
    }
}

void WalkCore::CloseLevel(int index) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    if (index > 0) {
        ReopenAboveOnTheWayUp(index);
    }
    level.Folder.reset();
    LeaveAhead(level.Ahead);
    level.LastChild.reset();
    level.LastIsFolder = false;
    level.Entries.clear();
    level.Names.clear();
    level.Source = LevelSource::Listing;
}
