#include "platform/fs/FolderEnumeration.h"

#include "AheadReading.h"
#include "ExtendedPath.h"
#include "FolderWalkState.h"
#include "FoundEntry.h"
#include "WideText.h"

#include <cstdint>

namespace {

// The largest part of a folder the walk reads at once for the read-ahead, so that workers can
// go on below it; the rest it reads entry by entry, as it walks them, so that it never goes
// long without delivering an entry.
constexpr std::size_t MaxWalkReadEntries = 1024;

// The read-ahead's record of the folder `folder` about to be opened as a level below
// `parent` (null for the root), taken for the walk; null when the folder is not read ahead.
// `claim` tells whether a worker has read it, so that its entries are the walk's (Ready), or
// has waited too long for the system (NoAnswer).
std::shared_ptr<AheadFolder> TakeAheadRecord(FolderWalk::State& state, const FindLevel* parent,
                                             bool isChild, const std::string& folder,
                                             const std::wstring& path, ReadAhead::Claim& claim) {
    claim = ReadAhead::Claim::ReadYourself;
    std::shared_ptr<AheadFolder> ahead;
    if (isChild && parent->LastChild) {
        ahead = state.Ahead->TakeListed(parent->LastChild, claim);
        if (claim == ReadAhead::Claim::Ready) {
            // A folder removed or replaced by a link since a worker read it is not listed from
            // what was read: the walk lists it as it is now.
            if (!IsPlainFolder(GetFileAttributesW(ExtendedLengthPath(path).c_str()))) {
                claim = ReadAhead::Claim::ReadYourself;
                state.Ahead->Leave(*ahead);
            }
        }
    } else if (isChild ? parent->Ahead != nullptr : parent == nullptr) {
        ahead = state.Ahead->TakeNew(folder, isChild ? parent->Ahead.get() : nullptr,
                                     isChild ? parent->LastOrdinal : 0);
    }
    return ahead;
}

// Fills `entry` from what the listing said. Windows tells no link count or file number here;
// the files of a walk all lie on the root's drive, whose kind is asked once.
void DeliverEntry(FolderWalk::State& state, std::string_view name, const EntryStat& stat,
                  DirectoryEntry& entry) {
    entry.Name = name;
    entry.Attributes = stat.Attributes;
    entry.SizeBytes = stat.SizeBytes;
    entry.LastWriteTime = stat.LastWriteTime;
    entry.LinkCount = 1;
    entry.Device = 0;
    entry.FileNumber = 0;
    entry.Drive = DriveType::Unknown;
    if ((stat.Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        if (!state.FilesDriveType) {
            state.FilesDriveType = QueryDriveTypeOfFile(state.Levels.front()->PathUtf8);
        }
        entry.Drive = *state.FilesDriveType;
    }
}

} // namespace

FolderEnumeration::FolderEnumeration(FolderWalk& walk, const std::string& folder) : walk_(walk) {
    // Listed by its extended-length path, so that no depth of the tree meets MAX_PATH.
    std::wstring path = ToWide(folder);
    const std::wstring pattern = ListingPattern(path);
    FolderWalk::State& state = walk_.PlatformState();
    auto& levels = state.Levels;
    std::wstring realPath;
    skip_ = state.Locate(folder, path, realPath);
    if (skip_ != FolderSkip::None) {
        return;
    }
    const FindLevel* parent = levels.empty() ? nullptr : levels.back().get();
    const bool isChild = state.IsLastEntryOfInnermost(folder);

    auto level = std::make_unique<FindLevel>();
    ReadAhead::Claim claim = ReadAhead::Claim::ReadYourself;
    if (state.Ahead) {
        level->Ahead = TakeAheadRecord(state, parent, isChild, folder, path, claim);
        if (claim == ReadAhead::Claim::NoAnswer || claim == ReadAhead::Claim::Stopped) {
            // A worker still waits for the folder's file system: the walk does not.
            skip_ =
                claim == ReadAhead::Claim::NoAnswer ? FolderSkip::NoAnswer : FolderSkip::NotEntered;
            return;
        }
    }
    const bool ready = claim == ReadAhead::Claim::Ready;
    if (!ready) {
        level->Find.Reset(FindFirstEntry(pattern.c_str(), level->Data));
        if (!level->Find.IsOpen()) {
            const DWORD error = GetLastError();
            if (level->Ahead) {
                state.Ahead->Leave(*level->Ahead);
            }
            // An empty drive root has not even "." to deliver; it is read, not skipped.
            skip_ = error == ERROR_FILE_NOT_FOUND ? FolderSkip::NotEntered : FolderSkip::Unreadable;
            return;
        }
        level->HasPending = true;
        if (level->Ahead) {
            // Read by the walk: its first entries go to the record, and the workers read the
            // subfolders among them ahead. A failure midway ends the listing there, as it
            // would entry by entry.
            bool failed = false;
            if (ReadFoundEntriesAhead(level->Find.Get(), level->Data, level->HasPending,
                                      *level->Ahead, MaxWalkReadEntries, failed)) {
                level->Find.Reset();
            }
            level->Ordinal = static_cast<std::uint32_t>(level->Ahead->Entries.size());
            state.Ahead->Publish(*level->Ahead);
        }
    }
    level->PathUtf8 = folder;
    level->Path = std::move(path);
    level->RealPath = std::move(realPath);
    levels.push_back(std::move(level));
    level_ = static_cast<int>(levels.size()) - 1;
}

FolderEnumeration::~FolderEnumeration() {
    Close();
}

bool FolderEnumeration::IsOpen() const {
    return level_ >= 0;
}

bool FolderEnumeration::Next(DirectoryEntry& entry) {
    if (level_ < 0) {
        return false;
    }
    auto& levels = walk_.PlatformState().Levels;
    if (static_cast<std::size_t>(level_) >= levels.size()) {
        return false;
    }
    FindLevel& level = *levels[static_cast<std::size_t>(level_)];
    if (!level.Open) {
        return false;
    }
    if (level.Ahead && level.AheadCursor < level.Ahead->Entries.size()) {
        const AheadFolder& ahead = *level.Ahead;
        level.LastOrdinal = static_cast<std::uint32_t>(level.AheadCursor);
        const AheadEntry& read = ahead.Entries[level.AheadCursor++];
        level.Name = std::string_view(ahead.Names.data() + read.NameOffset, read.NameLength);
        level.Attributes = read.Stat.Attributes;
        level.LastChild = read.Child;
        DeliverEntry(walk_.PlatformState(), level.Name, read.Stat, entry);
        return true;
    }
    if (!level.Find.IsOpen()) {
        return false;
    }
    for (;;) {
        if (level.HasPending) {
            level.HasPending = false;
        } else if (!FindNextFileW(level.Find.Get(), &level.Data)) {
            return false;
        }
        if (IsDotEntry(level.Data.cFileName)) {
            continue;
        }
        level.NameStorage = FromWide(level.Data.cFileName);
        level.Name = level.NameStorage;
        level.Attributes = level.Data.dwFileAttributes;
        level.LastChild.reset();
        level.LastOrdinal = level.Ordinal++;
        DeliverEntry(walk_.PlatformState(), level.Name, FoundEntryStat(level.Data), entry);
        return true;
    }
}

void FolderEnumeration::Close() {
    if (level_ < 0) {
        return;
    }
    FolderWalk::State& state = walk_.PlatformState();
    auto& levels = state.Levels;
    const auto index = static_cast<std::size_t>(level_);
    level_ = -1;
    if (index < levels.size() && levels[index]->Open) {
        FindLevel& level = *levels[index];
        level.Open = false;
        level.Find.Reset();
        if (level.Ahead) {
            state.Ahead->Leave(*level.Ahead);
            level.Ahead.reset();
        }
        level.LastChild.reset();
        level.Name = {};
    }
    // Enumerations close innermost first; a level closed out of turn keeps its slot until
    // the ones inside it are gone, so that their positions stay valid.
    while (!levels.empty() && !levels.back()->Open) {
        levels.pop_back();
    }
}
