// The walk's side of the read-ahead: taking what workers read, reading for them what they
// may not, and letting them touch first what may not answer.
#include "WalkCore.h"

#include "platform/fs/CoarseClock.h"

namespace {

// A folder with more entries than this that do not answer is left out whole.
constexpr std::size_t MaxUnansweredEntries = 16;

} // namespace

void WalkCore::LeaveAhead(std::shared_ptr<AheadFolder>& ahead) {
    if (ahead && ahead_) {
        ahead_->Leave(*ahead);
    }
    ahead.reset();
}

// Starts the read-ahead's workers as the walk opens its root, unless other programs keep the
// machine's processors busy and no file system that may not answer can be reached. Beside a
// busy program the workers would read nothing, and their start, their touch of the root and
// their end would cost the walk that reads alone: it starts them once the processors are free
// (StartReadAheadOnceQuiet), or when it comes to what a worker is to touch first (a followed
// link, another device).
void WalkCore::StartReadAheadUnlessBusy() {
    if (!ahead_ && aheadThreads_ == 0) {
        return;
    }
    PrepareAheadAvoids();
    if (ahead_) {
        return;
    }
    const std::int64_t now = CoarseMonotonicNs();
    MachineLoad load(now);
    if (!linksMayLeadToShares_ && source_->NamesEveryNetworkMount() &&
        load.LeavesWorkersTooLittle(now)) {
        loadBeforeWorkers_.emplace(load);
        return;
    }
    // The root's volume has just been asked about, and the workers' start takes a while too.
    HearWaitHook();
    StartReadAhead();
    HearWaitHook();
}

// Starts the workers unless the machine is busy, and has one of them touch the root first: a
// file system that does not answer holds up that worker, not the walk.
FolderSkip WalkCore::StartAndProbeRoot(WalkLevel& level) {
    StartReadAheadUnlessBusy();
    if (!ahead_) {
        return FolderSkip::None;
    }
    probedDevice_ = 0;
    if (const FolderSkip skip = ProbeWithWorker(root_, level, &rootProbe_);
        skip != FolderSkip::None) {
        return skip;
    }
    HearWaitHook();
    // Known before the root is read, which decides what is read ahead below it.
    if (probedDevice_ != 0) {
        AdaptReadAheadToRoot(probedDevice_);
    }
    return FolderSkip::None;
}

// Opening the root with workers takes several steps (the volume, the workers' start, the
// probe, the folders above the root), each of which costs milliseconds where every call goes
// through another process, as under Wine. The window is heard between them as it is while the
// walk waits for a worker. What the hook answers is left to the first entry, where a stop ends
// the walk.
void WalkCore::HearWaitHook() {
    if (waitHook_) {
        waitHook_();
    }
}

void WalkCore::StartReadAheadOnceQuiet() {
    if (loadBeforeWorkers_ && !loadBeforeWorkers_->LeavesWorkersTooLittle(CoarseMonotonicNs())) {
        StartReadAhead();
    }
}

bool WalkCore::WorkersAtHand() {
    if (loadBeforeWorkers_) {
        StartReadAhead();
    }
    return ahead_ != nullptr;
}

void WalkCore::StartReadAhead() {
    std::optional<MachineLoad> load = std::move(loadBeforeWorkers_);
    loadBeforeWorkers_.reset();
    // The workers hold what they share with the walk: one left behind in a call that does not
    // return may still use it when the walk is over.
    ahead_ = std::make_unique<ReadAhead>(
        aheadThreads_,
        [source = source_, avoided = std::shared_ptr<const NetworkMountFolders>(aheadAvoids_),
         handles = workerHandles_](AheadFolder& folder, const std::atomic<bool>& cancel,
                                   std::unique_ptr<ReadAhead::HeldFolder>& held) {
            return ReadFolderAheadByPath(*source, folder, cancel, avoided, handles, held);
        },
        std::move(load));
    if (ahead_->WorkerCount() == 0) {
        // The system refuses threads: the walk reads alone, and does not ask again.
        ahead_.reset();
        aheadThreads_ = 0;
        return;
    }
    if (waitHook_) {
        ahead_->SetWaitHook(waitHook_);
    }
    if (rootOpen_) {
        AdaptReadAheadToRoot(rootIdentity_.Device);
    }
}

// Tells the workers which network file systems are mounted where, before they get the first
// folder.
void WalkCore::PrepareAheadAvoids() {
    NetworkMountFolders::MountsByFolder mounts;
    realRoot_.clear();
    linksMayLeadToShares_ = source_->HasNetworkMounts();
    if (linksMayLeadToShares_) {
        realRoot_ = source_->RealPathOf(root_);
        for (const std::string& folder : source_->FoldersHoldingNetworkMounts()) {
            if (const std::vector<NamedMount>* inFolder = source_->NetworkMountsIn(folder)) {
                mounts.emplace(folder, *inFolder);
            }
        }
    }
    aheadAvoids_->Assign(std::move(mounts), root_, realRoot_, separator_);
}

// Sets the read-ahead for a root on `device`. On a network file system the workers read
// ahead however busy the machine is, and the walk never reads folders ahead itself: it would
// wait on the network. Elsewhere it may, where its folder source reads folders quickly.
void WalkCore::AdaptReadAheadToRoot(std::uint64_t device) {
    const bool network = source_->DriveTypeOfDevice(device) == DriveType::Network;
    ahead_->ReadAheadWhateverTheLoad(network);
    ahead_->LetWalkReadAheadOn(network || !source_->ReadsFoldersQuickly()
                                   ? std::nullopt
                                   : std::optional<std::uint64_t>(device));
}

// Has a worker read `path` before the walk opens it. NoAnswer when the folder's file system
// did not answer the worker; NotEntered when the wait was stopped. When single entries did not
// answer, `level` leaves them out and another worker reads the folder without them, until a
// reading goes through: the walk never looks itself at what may not answer. With `kept`, a
// reading that went through whole is kept there for the walk to take instead of reading the
// folder again.
FolderSkip WalkCore::ProbeWithWorker(const std::string& path, WalkLevel& level,
                                     std::shared_ptr<AheadFolder>* kept) {
    while (level.UnansweredOrdinals.size() <= MaxUnansweredEntries) {
        const std::shared_ptr<AheadFolder> probe = ReadAhead::MakeProbe(path);
        probe->Unanswered = level.UnansweredOrdinals;
        probe->UnderLink = level.UnderLink;
        const ReadAhead::Claim claim = ahead_->Probe(probe);
        if (claim == ReadAhead::Claim::Stopped) {
            return FolderSkip::NotEntered;
        }
        if (claim != ReadAhead::Claim::NoAnswer) {
            probedDevice_ = claim == ReadAhead::Claim::Ready ? probe->Identity.Device : 0;
            if (kept != nullptr && claim == ReadAhead::Claim::Ready) {
                *kept = probe;
            } else {
                ahead_->Leave(*probe);
            }
            return FolderSkip::None;
        }
        const std::int64_t looking = probe->LookingAt.load(std::memory_order_relaxed);
        if (looking < 0) {
            return FolderSkip::NoAnswer;
        }
        level.UnansweredOrdinals.push_back(looking);
    }
    return FolderSkip::NoAnswer;
}

// Has a worker touch the target of the link `name` in the folder of level `index` before the
// walk looks at it, as ProbeWithWorker does for a folder. NoAnswer only when the target itself
// did not answer.
ReadAhead::Claim WalkCore::TouchLinkTarget(int index, std::string_view name) {
    std::string linkPath = path_.substr(0, levels_[static_cast<std::size_t>(index)]->PathEnd);
    AppendWithSeparator(linkPath, name, separator_);
    const std::shared_ptr<AheadFolder> probe = ReadAhead::MakeProbe(linkPath);
    probe->UnderLink = true;
    const ReadAhead::Claim claim = ahead_->Probe(probe);
    if (claim == ReadAhead::Claim::NoAnswer) {
        // It was an entry of the target that did not answer, not the target itself: the
        // walk looks at the target, and a worker reads it first when it is entered.
        return probe->LookingAt.load(std::memory_order_relaxed) >= 0 ? ReadAhead::Claim::Ready
                                                                     : claim;
    }
    if (claim != ReadAhead::Claim::Stopped) {
        ahead_->Leave(*probe);
    }
    return claim;
}

// True for the desktop's folder of network locations (path_) when none is mounted in it or
// it cannot be read. Its list of locations is the desktop daemon's own and costs no network;
// a worker lists it all the same where there are workers.
bool WalkCore::IsEmptyFolderOfDrives() {
    if (WorkersAtHand()) {
        const std::shared_ptr<AheadFolder> probe = ReadAhead::MakeProbe(path_);
        const ReadAhead::Claim claim = ahead_->Probe(probe);
        if (claim != ReadAhead::Claim::Ready && claim != ReadAhead::Claim::ReadYourself) {
            return claim == ReadAhead::Claim::Stopped;
        }
        const bool empty = claim == ReadAhead::Claim::Ready && probe->Entries.empty();
        ahead_->Leave(*probe);
        return empty || claim == ReadAhead::Claim::ReadYourself;
    }
    OpenFailure failure = OpenFailure::None;
    const std::unique_ptr<SourceFolder> folder = source_->OpenPath(path_, false, failure);
    return !folder || folder->ReadName().empty();
}

// The read-ahead's record of the folder of level `index`, about to be opened: what a worker
// read (`readAhead`), or a record that the walk fills itself so that the workers can go on
// below it. `entry` is null for the root.
FolderSkip WalkCore::TakeAheadRecord(int index, const WalkedFacts* entry,
                                     std::shared_ptr<AheadFolder>& ahead, bool& readAhead) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    WalkLevel* parent =
        entry != nullptr ? levels_[static_cast<std::size_t>(index - 1)].get() : nullptr;
    readAhead = false;
    const bool alone = ahead_->WalkAlone();
    if (entry != nullptr && parent->LastChild && !entry->ViaLink) {
        ReadAhead::Claim claim = ReadAhead::Claim::ReadYourself;
        ahead = ahead_->TakeListed(parent->LastChild, claim);
        if (claim == ReadAhead::Claim::Stopped) {
            return FolderSkip::NotEntered;
        }
        if (claim == ReadAhead::Claim::NoAnswer) {
            // A worker still waits for the folder's file system: the walk does not. When it
            // was one entry that did not answer, the walk reads the rest itself.
            const std::int64_t looking = ahead->LookingAt.load(std::memory_order_relaxed);
            ahead.reset();
            if (looking < 0) {
                return FolderSkip::NoAnswer;
            }
            level.UnansweredOrdinals.push_back(looking);
            return ProbeWithWorker(path_, level);
        }
        if (claim == ReadAhead::Claim::ReadYourself && alone) {
            // Read as without workers: no record for them to go on from.
            LeaveAhead(ahead);
        }
        if (claim == ReadAhead::Claim::Ready) {
            // The workers read only folders on their parent's device, never a mount point. A
            // folder replaced since its parent was listed is read again as it is now; what a
            // worker read of the folder the parent listed is what the walk would have read a
            // moment earlier, so it is not looked at again, which would cost a call per folder.
            readAhead = ahead->Identity == entry->Identity &&
                        ahead->Identity.Device == parent->Identity.Device;
            if (!readAhead) {
                ahead_->Leave(*ahead);
            }
        }
    } else if (!alone) {
        ahead = ahead_->TakeNew(path_, PlaceInWalk(index));
        if (ahead) {
            ahead->UnderLink = level.UnderLink;
        }
    }
    return FolderSkip::None;
}

// Takes the worker's reading of the root (`rootProbe_`) for level 0, opened meanwhile as
// `level`, when it is a reading of that very folder that left nothing out: the walk would read
// the same a moment later. Its subfolders go to the workers, as those of a folder the walk
// read for them would. False when the walk is to read the root itself.
bool WalkCore::TakeRootProbe(WalkLevel& level, std::shared_ptr<AheadFolder>& ahead) {
    std::shared_ptr<AheadFolder> probe = std::move(rootProbe_);
    if (!probe) {
        return false;
    }
    if (!(probe->Identity == level.Identity) || !level.NetworkMounts.empty() ||
        !level.UnansweredOrdinals.empty()) {
        ahead_->Leave(*probe);
        return false;
    }
    LeaveAhead(ahead);
    // Still marked a probe: a copy of it may wait in the workers' queue, where they look at
    // the mark. They skip it there, since it is no longer pending.
    ahead = std::move(probe);
    if (!ahead_->WalkAlone()) {
        ahead_->Publish(*ahead);
    }
    return true;
}

// The place of the folder of level `index` in the walk, as its record keeps it: the places of
// the entries the walk entered from the root down. Taken from the parent's record where it
// has one; else from the levels, as where the walk read the folders above alone (the machine
// was busy, or the workers were not started yet).
std::vector<std::uint32_t> WalkCore::PlaceInWalk(int index) const {
    std::vector<std::uint32_t> key;
    if (index == 0) {
        return key;
    }
    const WalkLevel& parent = *levels_[static_cast<std::size_t>(index - 1)];
    if (parent.Ahead) {
        key.reserve(parent.Ahead->Key.size() + 1);
        key = parent.Ahead->Key;
    } else {
        key.reserve(static_cast<std::size_t>(index));
        for (int above = 0; above < index - 1; ++above) {
            key.push_back(levels_[static_cast<std::size_t>(above)]->LastOrdinal);
        }
    }
    key.push_back(parent.LastOrdinal);
    return key;
}

// Reads `folder`, the folder of level `index`, into `ahead` on the walk's thread, so that
// workers can read its subfolders ahead. False, with the folder's listing back at its start,
// when it is too large for that, or when a link's target did not answer a worker: the walk
// then reads the folder entry by entry, leaving that link out.
bool WalkCore::ReadForAhead(int index, SourceFolder& folder, AheadFolder& ahead) {
    const AheadReadResult result =
        ReadFolderAhead(folder, ahead, separator_, ReadAhead::MaxWalkFolderEntries, nullptr, {},
                        linksMayLeadToShares_ ? LinkTarget::Leave : LinkTarget::Look);
    if (result != AheadReadResult::Complete || !LookAtLinkTargets(index, folder, ahead)) {
        folder.Rewind();
        return false;
    }
    ahead_->Publish(ahead);
    return true;
}

// Looks at the targets of the links read into `ahead`, each after a worker has touched it
// (see LookAndClassify). False when one did not answer or the walk is to stop.
bool WalkCore::LookAtLinkTargets(int index, SourceFolder& folder, AheadFolder& ahead) {
    if (!linksMayLeadToShares_) {
        return true;
    }
    for (AheadEntry& entry : ahead.Entries) {
        if (entry.Facts.Type != EntryFacts::Kind::Link) {
            continue;
        }
        const std::string_view name(ahead.Names.data() + entry.NameOffset, entry.NameLength);
        const ReadAhead::Claim touched = TouchLinkTarget(index, name);
        if ((touched != ReadAhead::Claim::Ready && touched != ReadAhead::Claim::ReadYourself) ||
            folder.LookAt(name, entry.Facts) != LookResult::Looked) {
            return false;
        }
    }
    return true;
}

// Decides on all entries that the read-ahead read for level `index` at once, as a level
// deeper than the handle budget holds them.
void WalkCore::BufferAheadRecord(int index) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    level.Source = LevelSource::Buffered;
    const AheadFolder& ahead = *level.Ahead;
    for (std::size_t i = 0; i < ahead.Entries.size(); ++i) {
        const AheadEntry& read = ahead.Entries[i];
        const std::string_view name(ahead.Names.data() + read.NameOffset, read.NameLength);
        BufferedEntry entry;
        if (!Classify(index, name, read.Facts, entry.Facts, false)) {
            continue;
        }
        entry.NameOffset = static_cast<std::uint32_t>(level.Names.size());
        entry.NameLength = read.NameLength;
        entry.Child = read.Child;
        entry.Ordinal = static_cast<std::uint32_t>(i);
        if ((entry.Facts.Attributes & FolderAttribute) != 0) {
            ++level.FoldersLeft;
        }
        level.Names.insert(level.Names.end(), name.begin(), name.end());
        level.Names.push_back('\0');
        level.Entries.push_back(std::move(entry));
    }
}
