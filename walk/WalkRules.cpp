// The walk's rules: which links it follows, which drives and file systems it enters, and
// which entries it never looks at.
#include "WalkCore.h"

#include <algorithm>

namespace {

// A link chain longer than this cannot be a real tree; it ends the check as "unsafe".
constexpr int MaxAncestorSteps = 1 << 16;

} // namespace

void WalkCore::AppendName(std::string_view name) {
    AppendWithSeparator(path_, name, separator_);
}

// True when the folder on `device`, found in a folder on `parentDevice`, is a network or
// removable drive mounted below the root: the walk leaves it out, as a scan of a drive on
// Windows never walks onto another drive. The root's own file system is walked whatever its
// kind, because the user chose it. Only a change of device costs a look.
bool WalkCore::IsOtherDrive(std::uint64_t parentDevice, std::uint64_t device) {
    if (device == parentDevice || !rootOpen_ || device == rootIdentity_.Device) {
        return false;
    }
    const DriveType type = source_->DriveTypeOfDevice(device);
    return type == DriveType::Network || type == DriveType::Removable;
}

// The kind of drive of the files on `device`, asked of the source once per change of device:
// files of one folder, and mostly of one walk, share it.
DriveType WalkCore::DriveOfFilesOn(std::uint64_t device) {
    if (filesDrive_ == DriveType::Unknown || device != filesDevice_) {
        filesDevice_ = device;
        filesDrive_ = source_->DriveTypeOfDevice(device);
    }
    return filesDrive_;
}

// Decided before the folder is opened: a share is not even listed, a stick not read, and an
// automount point is not mounted by opening it.
FolderSkip WalkCore::DecideBeforeOpening(const WalkLevel& parent, const WalkedFacts& entry) {
    const std::uint64_t device = entry.Identity.Device;
    if (device != parent.Identity.Device) {
        if (IsOtherDrive(parent.Identity.Device, device)) {
            // The desktop's folder of network locations is there in every session; only the
            // locations in it are drives left out. A worker lists it where there are workers.
            return source_->IsFolderOfDrives(device) && IsEmptyFolderOfDrives()
                       ? FolderSkip::NotEntered
                       : FolderSkip::OtherDrive;
        }
        if (source_->IsPseudoFileSystemDevice(device)) {
            return FolderSkip::NotEntered;
        }
    }
    const bool identityKnown = !entry.ViaLink && entry.Identity.Number != 0;
    if (identityKnown && entered_.Contains(entry.Identity)) {
        return FolderSkip::NotEntered;
    }
    return FolderSkip::None;
}

// Decides on the folder of level `index` once it is open, by what only opening tells.
FolderSkip WalkCore::DecideAfterOpening(int index, const WalkedFacts* entry, SourceFolder& opened) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    const bool identityKnown = entry != nullptr && !entry->ViaLink && entry->Identity.Number != 0;
    if (!identityKnown) {
        level.Identity = opened.Identity();
        // Entered before by another way, or a link changed after it was checked (its new
        // target is not checked).
        if ((entry != nullptr && entry->Identity.Number != 0 &&
             !(level.Identity == entry->Identity)) ||
            entered_.Contains(level.Identity)) {
            return FolderSkip::NotEntered;
        }
    }
    // Pseudo file systems can only start at a mount point, where the device changes.
    const bool mountPoint =
        entry == nullptr ||
        level.Identity.Device != levels_[static_cast<std::size_t>(index - 1)]->Identity.Device;
    if (mountPoint && (opened.IsOnPseudoFileSystem() ||
                       source_->IsPseudoFileSystemDevice(level.Identity.Device))) {
        return FolderSkip::NotEntered;
    }
    return FolderSkip::None;
}

// Decides on the entry `name` of the folder of level `index`, from what the system said
// about it. False when it is not delivered: a link to a folder the walk must not enter. Without
// `decideLinks` a link to a folder is left undecided, for when it is delivered.
bool WalkCore::Classify(int index, std::string_view name, const EntryFacts& facts, WalkedFacts& out,
                        bool decideLinks) {
    out = WalkedFacts{};
    out.LastWriteTime = facts.LastWriteTime;
    out.LinkCount = facts.LinkCount;
    out.Identity = facts.Identity;
    out.Attributes = facts.Attributes & ~FolderAttribute;
    switch (facts.Type) {
    case EntryFacts::Kind::Folder:
        out.Attributes |= FolderAttribute;
        return true;
    case EntryFacts::Kind::Link:
        if (facts.TargetIsFolder) {
            if (decideLinks && !MayFollowLink(index, name, facts.TargetIdentity)) {
                return false;
            }
            out.LinkUndecided = !decideLinks;
            out.Attributes |= FolderAttribute;
            out.Identity = facts.TargetIdentity;
            out.ViaLink = true;
        }
        // Links to anything else, and broken links, are files of size 0.
        return true;
    case EntryFacts::Kind::File:
        out.SizeBytes = facts.SizeBytes;
        return true;
    }
    return true;
}

namespace {

// What the walk delivers for an entry that did not answer: a folder it leaves out.
WalkedFacts UnansweredFolder() {
    WalkedFacts facts;
    facts.Attributes = FolderAttribute;
    facts.Unanswered = true;
    return facts;
}

} // namespace

// Looks at the entry `name` of `folder`, the folder of level `index`, and decides on it as
// Classify does. Details that cannot be read, other than of an entry removed since it was
// listed, mark the folder as not read completely.
bool WalkCore::LookAndClassify(int index, SourceFolder& folder, std::string_view name,
                               bool decideLinks, std::uint32_t ordinal, WalkedFacts& out) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    if (std::find(level.UnansweredOrdinals.begin(), level.UnansweredOrdinals.end(), ordinal) !=
        level.UnansweredOrdinals.end()) {
        out = UnansweredFolder();
        return true;
    }
    for (const NamedMount& mount : level.NetworkMounts) {
        if (mount.Name == name) {
            // A folder on another device, which the next level leaves out unopened.
            out = WalkedFacts{};
            out.Attributes = FolderAttribute;
            out.Identity = {mount.Device, 0};
            return true;
        }
    }
    EntryFacts facts;
    // A link may lead into a share or FUSE file system that does not answer, and the walk
    // may be the first to come to it: a worker touches its target first.
    const bool targetFirst = ahead_ && linksMayLeadToShares_;
    LookResult looked =
        folder.LookAt(name, facts, targetFirst ? LinkTarget::Leave : LinkTarget::Look);
    if (looked == LookResult::Looked && targetFirst && facts.Type == EntryFacts::Kind::Link) {
        const ReadAhead::Claim touched = TouchLinkTarget(index, name);
        if (touched == ReadAhead::Claim::NoAnswer) {
            out = UnansweredFolder();
            return true;
        }
        if (touched == ReadAhead::Claim::Stopped) {
            return false;
        }
        looked = folder.LookAt(name, facts);
    }
    if (looked != LookResult::Looked) {
        level.ReadFailed = level.ReadFailed || looked == LookResult::Failed;
        return false;
    }
    return Classify(index, name, facts, out, decideLinks);
}

// Decides whether the link `name` in the folder of level `index`, whose target is the folder
// `target`, may be followed: not when the walk has entered that folder already (it is inside
// it, a cycle, or has listed it), and not when the folder lies inside one the walk has
// entered (inside the scanned tree, where the walk reaches it by its own path, or inside
// another link's target). Going up from the target finds the folders that hold it, whatever
// links led to it; the search stops at a folder already known to lie outside. When the answer
// cannot be found out the link is not followed: missing a few files is better than walking in
// circles.
bool WalkCore::MayFollowLink(int index, std::string_view name, const NodeIdentity& target) {
    if (entered_.Contains(target)) {
        return false;
    }
    SourceFolder* base = AnchorOf(index);
    if (base == nullptr) {
        return false;
    }
    std::unique_ptr<SourceFolder> current = OpenWithRetry(
        base, [&](OpenFailure& failure) { return base->OpenBelow(name, true, failure); });
    std::vector<NodeIdentity> passed;
    NodeIdentity currentIdentity = target;
    for (int step = 0; current && step < MaxAncestorSteps; ++step) {
        // Only the folder climbed from is needed now: the folder of the link may be closed to
        // make room, and is found again later.
        const SourceFolder* climbed = current.get();
        current = OpenWithRetry(climbed,
                                [&](OpenFailure& failure) { return current->OpenAbove(failure); });
        if (!current) {
            return false;
        }
        const NodeIdentity above = current->Identity();
        if (entered_.Contains(above)) {
            return false;
        }
        // At the top of the file system the folder above is the folder itself.
        if (above == currentIdentity || outside_.Contains(above)) {
            outside_.Insert(passed.begin(), passed.end());
            return true;
        }
        passed.push_back(above);
        currentIdentity = above;
    }
    return false;
}

// Records the folders above the root as lying outside the tree. A link to one of them is
// followed, and the root met again below it is not entered.
void WalkCore::FindRootAncestors(SourceFolder& root) {
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<SourceFolder> current = root.OpenAbove(failure);
    NodeIdentity identity = rootIdentity_;
    for (int step = 0; current && step < MaxAncestorSteps; ++step) {
        const NodeIdentity above = current->Identity();
        if (above == identity) {
            break;
        }
        outside_.Insert(above);
        identity = above;
        current = current->OpenAbove(failure);
    }
}

// The network mounts on entries of the folder of level `index`, open as `opened` unless a
// worker read it, found by its path without links: the root's real path and the names, or
// below a followed link the real path the system gives for the open folder. A folder a worker
// read holds none (a worker leaves such folders to the walk).
void WalkCore::FindNetworkMounts(int index, SourceFolder* opened) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    if (index == 0) {
        realRoot_ = source_->HasNetworkMounts() ? source_->RealPathOf(root_) : std::string();
    }
    if (realRoot_.empty()) {
        return;
    }
    std::string realFolder = realRoot_;
    if (index > 0 && level.UnderLink) {
        realFolder = opened != nullptr ? opened->RealPath() : std::string();
        if (realFolder.empty()) {
            // Where the system cannot say, the change of device still finds the other drives.
            return;
        }
    } else if (index > 0) {
        // Below the root the walk's paths are the root, a separator and the names.
        const std::size_t skip =
            !root_.empty() && root_.back() == separator_ ? root_.size() : root_.size() + 1;
        if (path_.size() <= skip) {
            return;
        }
        AppendWithSeparator(realFolder, std::string_view(path_).substr(skip), separator_);
    }
    // Network mounts that the walk enters anyway (the root's own share, the folder's own)
    // are looked at as usual.
    if (const std::vector<NamedMount>* mounts = source_->NetworkMountsIn(realFolder)) {
        for (const NamedMount& mount : *mounts) {
            if (mount.Device != rootIdentity_.Device && mount.Device != level.Identity.Device) {
                level.NetworkMounts.push_back(mount);
            }
        }
    }
}
