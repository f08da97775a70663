// Running short of handles: the walk completes under any limit of open files, freeing its
// own handles and reading folders whole where it cannot keep them open.
#include "WalkCore.h"

std::unique_ptr<SourceFolder>
WalkCore::OpenWithRetry(const SourceFolder* needed,
                        const std::function<std::unique_ptr<SourceFolder>(OpenFailure&)>& open) {
    for (;;) {
        OpenFailure failure = OpenFailure::None;
        std::unique_ptr<SourceFolder> folder = open(failure);
        if (folder || failure != OpenFailure::OutOfHandles || !FreeHandle(needed)) {
            return folder;
        }
    }
}

// Frees one of the walk's handles other than `needed`, which the call being tried depends
// on. False when none is left.
bool WalkCore::FreeHandle(const SourceFolder* needed) {
    // The workers' handles go first: the walk needs no worker to complete.
    if (!workerHandlesTaken_) {
        workerHandlesTaken_ = true;
        workerHandles_->TakeAllBack(ReadAhead::MaxAnswerWait);
        return true;
    }
    // A level whose entries are in memory finds its folder again when it needs it.
    for (int i = 0; i < depth_; ++i) {
        WalkLevel& level = *levels_[static_cast<std::size_t>(i)];
        if (level.Source != LevelSource::Listing && level.Folder && level.Folder.get() != needed &&
            level.Folder.get() != reading_) {
            level.Folder.reset();
            return true;
        }
    }
    // A level read as it goes reads the rest of its folder now; the deepest has the fewest
    // left.
    for (int i = depth_ - 1; i >= 0; --i) {
        WalkLevel& level = *levels_[static_cast<std::size_t>(i)];
        if (level.Source == LevelSource::Listing && level.Folder && level.Folder.get() != needed &&
            level.Folder.get() != reading_) {
            SpillLevel(i);
            handleBudget_ = std::min(handleBudget_, i);
            return true;
        }
    }
    return false;
}

// Turns the level `index`, read as it goes, into one whose entries are in memory and which
// keeps no handle.
void WalkCore::SpillLevel(int index) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    // In memory from here on, so that a shortage met while reading the rest does not pick
    // this level a second time.
    level.Source = LevelSource::Buffered;
    level.Names.clear();
    level.Entries.clear();
    level.Cursor = 0;
    level.FoldersLeft = 0;
    BufferRest(index, *level.Folder);
    level.Folder.reset();
}

// Reads the remaining entries of `folder`, the folder of level `index`, into the level.
void WalkCore::BufferRest(int index, SourceFolder& folder) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    for (std::string_view name = folder.ReadName(); !name.empty(); name = folder.ReadName()) {
        BufferedEntry entry;
        entry.Ordinal = level.Ordinal++;
        if (!LookAndClassify(index, folder, name, false, entry.Ordinal, entry.Facts)) {
            continue;
        }
        entry.NameOffset = static_cast<std::uint32_t>(level.Names.size());
        entry.NameLength = static_cast<std::uint32_t>(name.size());
        level.Names.insert(level.Names.end(), name.begin(), name.end());
        level.Names.push_back('\0');
        if ((entry.Facts.Attributes & FolderAttribute) != 0) {
            ++level.FoldersLeft;
        }
        level.Entries.push_back(entry);
    }
    level.ReadFailed = level.ReadFailed || folder.ReadFailed();
}

// The open folder of level `index`, opened again by its path from the nearest level above
// that has one, when the level keeps none. Null when it cannot be opened or is no longer the
// folder the walk listed.
SourceFolder* WalkCore::AnchorOf(int index) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    if (level.Folder) {
        return level.Folder.get();
    }
    SourceFolder* base = nullptr;
    std::size_t start = 0;
    for (int i = index - 1; i >= 0; --i) {
        const WalkLevel& above = *levels_[static_cast<std::size_t>(i)];
        if (above.Folder) {
            base = above.Folder.get();
            start = above.PathEnd;
            if (start < path_.size() && path_[start] == separator_) {
                ++start;
            }
            break;
        }
    }
    const std::string relative = path_.substr(start, level.PathEnd - start);
    std::unique_ptr<SourceFolder> folder = OpenWithRetry(base, [&](OpenFailure& failure) {
        return base != nullptr ? base->OpenBelow(relative, true, failure)
                               : source_->OpenPath(relative, true, failure);
    });
    if (!folder || !(folder->Identity() == level.Identity)) {
        return nullptr;
    }
    level.Folder = std::move(folder);
    return level.Folder.get();
}

// True when the level will still open subfolders: it holds folder entries not delivered yet.
bool WalkCore::HasFoldersLeft(const WalkLevel& level) const {
    if (level.Source == LevelSource::Buffered) {
        return level.FoldersLeft > 0;
    }
    return level.Source == LevelSource::Ahead && level.AheadCursor < level.Ahead->Entries.size();
}

// Coming back up from level `index` is the cheap moment to find the folder above again.
void WalkCore::ReopenAboveOnTheWayUp(int index) {
    WalkLevel& level = *levels_[static_cast<std::size_t>(index)];
    WalkLevel& above = *levels_[static_cast<std::size_t>(index - 1)];
    if (above.Folder || !level.Folder || !HasFoldersLeft(above)) {
        return;
    }
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<SourceFolder> folder = level.Folder->OpenAbove(failure);
    // Not the folder above when this one was reached through a link.
    if (folder && folder->Identity() == above.Identity) {
        above.Folder = std::move(folder);
    }
}
