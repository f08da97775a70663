#include "ScanEngine.h"

#include "IconLookup.h"
#include "InterfaceTexts.h"
#include "ScanWindow.h"
#include "StopRequested.h"
#include "TextFormat.h"
#include "Totals.h"

#include "platform/fs/AnswerWithin.h"
#include "platform/fs/DirectoryEntry.h"
#include "platform/fs/LocalTime.h"
#include "platform/fs/Paths.h"
#include "platform/fs/Volume.h"
#include "walk/FolderWalk.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// The whole MiB of a size, as the listed total counts them.
std::uint64_t WholeMB(std::uint64_t sizeBytes) {
    return sizeBytes >> 20;
}

// Marks a scan as running for as long as StartScan runs, also when it throws.
class ScanInProgress {
public:
    explicit ScanInProgress(bool& running) : running_(running) { running_ = true; }
    ~ScanInProgress() { running_ = false; }
    ScanInProgress(const ScanInProgress&) = delete;
    ScanInProgress& operator=(const ScanInProgress&) = delete;

private:
    bool& running_;
};

// Points a scan's walk pointer at its FolderWalk for as long as the walk runs, also when
// the window throws out of one of its calls.
class WalkInProgress {
public:
    WalkInProgress(FolderWalk*& slot, FolderWalk& walk) : slot_(slot) { slot_ = &walk; }
    ~WalkInProgress() { slot_ = nullptr; }
    WalkInProgress(const WalkInProgress&) = delete;
    WalkInProgress& operator=(const WalkInProgress&) = delete;

private:
    FolderWalk*& slot_;
};

bool IsDotEntry(std::string_view name) {
    return name == "." || name == "..";
}

} // namespace

bool IsSubfolderEntry(const DirectoryEntry& entry) {
    return !IsDotEntry(entry.Name) && (entry.Attributes & FolderAttribute) != 0;
}

bool IsFileEntry(const DirectoryEntry& entry) {
    return !IsDotEntry(entry.Name) && (entry.Attributes & FolderAttribute) == 0;
}

namespace {

// The icon index of the file at `path`, from the kind of drive that holds it (nullopt: no
// file is there).
int IconIndexOnDrive(std::optional<DriveType> drive, const std::string& path, IconLookup& icons) {
    if (!drive)
        return -1;
    const DriveType type = *drive;
    // Removable and other media are not asked: reading them may spin up a drive or wait
    // for a medium, so they get the catalogue's first icon.
    if (type != DriveType::Fixed && type != DriveType::Network)
        return 0;
    return icons.SmallIconIndex(path);
}

} // namespace

int GetFileIconIndex(const std::string& path, IconLookup& icons) {
    return IconIndexOnDrive(FileExists(path) ? std::optional<DriveType>(QueryDriveTypeOfFile(path))
                                             : std::nullopt,
                            path, icons);
}

ScanEngine::ScanEngine(ScanWindow& window, IconLookup& icons, RootLook lookAtRoot)
    : window_(window), icons_(icons), list_(window), lookAtRoot_(std::move(lookAtRoot)) {}

ScanEngine::~ScanEngine() = default;

void ScanEngine::StartScan(const std::string& path) {
    if (StopRequested || path.empty())
        return;
    // The window's commands run inside the walk; a start from there would clear the list
    // and the counters under the running walk, so it is refused.
    if (running_)
        return;
    ScanInProgress running(running_);

    window_.ShowReportPage(false);
    window_.StartBusyAnimation();
    list_.Clear();
    window_.ShowStopButton(std::string(TextsFor(IsGermanUser()).StopButton));
    ClearScanState();

    const std::string root = TrimScanRoot(path);
    state_.ScanRoot = root;
    window_.MakeBrowseButtonVisible();

    const std::optional<RootFacts> facts = AwaitRootFacts();
    if (!facts)
        return;
    if (facts->Space.Ok) {
        const std::uint64_t totalMB = facts->Space.TotalBytes / 1024 / 1024;
        const std::uint64_t freeMB = facts->Space.FreeBytes / 1024 / 1024;
        state_.DiskTotalMB = totalMB;
        state_.DiskUsedMB = totalMB > freeMB ? totalMB - freeMB : 0;
    }
    walkVolumeLabel_ = facts->VolumeLabel;
    if (RefuseUnreadableRoot(facts->Check))
        return;
    try {
        FolderWalk walk(root, WalkThreadsFor(facts->Drive));
        WalkInProgress walking(walk_, walk);
        walk.SetWaitHook([this] {
            window_.ProcessMessagesWhileWaiting();
            return !StopRequested;
        });
        path_ = root;
        ScanRoot();
        std::string().swap(path_);
    } catch (...) {
        // The walk failed midway: the window is left as after a stop, then the error goes
        // on to the window's handler.
        std::string().swap(path_);
        EndScan(false);
        throw;
    }
    EndScan(!StopRequested);
}

void ScanEngine::ClearScanState() {
    state_.ListedTotalMB = 0;
    // Until the volume answers: the figures of a volume that could not be queried.
    state_.DiskTotalMB = 1;
    state_.DiskUsedMB = 1;
    state_.MinListedSize = 0;
    state_.FileCount = 0;
    state_.ListCapacity = 100;
    state_.SkippedMountCount = 0;
    state_.UnreadableFolderCount = 0;
    state_.UnansweredFolderCount = 0;
    state_.RootUnreadable = false;
    state_.RootUnanswered = false;
    reserve_.Clear();
    hardLinks_.Clear();
    outcome_ = ScanOutcome::None;
    state_.RootOnPseudoFileSystem = false;
    walkVolumeLabel_.clear();
}

std::optional<RootFacts> ScanEngine::AwaitRootFacts() {
    // StopRequested was clear at the start and is not cleared here: a stop that comes while
    // the root is asked (Stop, or a Ctrl+C while a share's server does not answer) ends the
    // scan.
    Answer<RootFacts> answer =
        AnswerWithin([look = lookAtRoot_, root = state_.ScanRoot,
                      withDriveType = walkThreads_ == 0] { return look(root, withDriveType); },
                     [this, calls = 0]() mutable {
                         // Only a root that is slow to answer is named while it is asked: the
                         // first call comes at once, the second after the first slice.
                         if (++calls == 2)
                             window_.SetStatusText(state_.ScanRoot);
                         window_.ProcessMessagesWhileWaiting();
                         return !StopRequested;
                     });
    if (answer.End == AnswerEnd::Answered)
        return std::move(answer.Value);
    if (answer.End == AnswerEnd::NoAnswer && !StopRequested) {
        RefuseUnreadableRoot(std::nullopt);
    } else {
        // Neither the volume nor its name is known: no totals that would read as its
        // figures.
        EndScan(false, false);
    }
    return std::nullopt;
}

bool ScanEngine::RefuseUnreadableRoot(std::optional<RootCheck> check) {
    // Decided before the walk, by one look at the root: a folder that lists but cannot be
    // looked into, or lies behind a folder the user may not search, would otherwise walk as
    // an empty tree, and so would a pseudo file system or a working folder deleted meanwhile.
    if (check == RootCheck::Readable)
        return false;
    window_.SetStatusText(state_.ScanRoot);
    if (check == RootCheck::PseudoFileSystem) {
        state_.RootOnPseudoFileSystem = true;
    } else {
        state_.RootUnreadable = true;
        state_.RootUnanswered = !check.has_value();
        path_ = state_.ScanRoot;
        NoteSkippedFolder(check ? FolderSkip::Unreadable : FolderSkip::NoAnswer);
        std::string().swap(path_);
    }
    window_.ProcessPendingMessages();
    EndScan(false);
    return true;
}

void ScanEngine::EndScan(bool withReportPage, bool withTotals) {
    window_.StopBusyAnimation();
    window_.ShowBrowseButton(std::string(TextsFor(IsGermanUser()).BrowseButton));
    if (state_.RootUnreadable || state_.RootOnPseudoFileSystem) {
        outcome_ = ScanOutcome::RootUnreadable;
        // No result at all: neither a summary nor totals that would read as one.
        window_.SetStatusText(MakeNoResultText(state_, IsGermanUser(), locale_));
        window_.WriteTotalsPanels(TotalsPanelTexts{});
    } else {
        outcome_ = withReportPage ? ScanOutcome::Completed : ScanOutcome::Stopped;
        if (withReportPage)
            window_.ShowReportPage(true);
        window_.SetStatusText(StatusAfterScan());
        if (withTotals)
            UpdateTotalsPanels();
        else
            window_.WriteTotalsPanels(TotalsPanelTexts{});
    }
    StopRequested = false;
}

int ScanEngine::WalkThreads() const {
    return walkThreads_ > 0 ? walkThreads_ : FolderWalk::DefaultReadAheadThreads();
}

int ScanEngine::WalkThreadsFor(DriveType rootDrive) const {
    // On a share the workers mostly wait for the server: more of them wait at once.
    if (walkThreads_ == 0 && rootDrive == DriveType::Network)
        return FolderWalk::NetworkReadAheadThreads;
    return WalkThreads();
}

void ScanEngine::ScanRoot() {
    window_.SetStatusText(path_);
    if (StopRequested)
        return;
    const FolderSkip skip = walk_->OpenRoot();
    if (skip != FolderSkip::None) {
        // Without its root a scan has no result.
        if (skip == FolderSkip::Unreadable)
            state_.RootUnreadable = true;
        NoteSkippedFolder(skip);
        window_.ProcessPendingMessages();
        return;
    }
    ScanOpenFolder();
}

void ScanEngine::ScanSubfolder() {
    window_.SetStatusText(path_);
    if (StopRequested)
        return;
    const FolderSkip skip = walk_->Enter();
    if (skip != FolderSkip::None) {
        // A folder that cannot be read contributes nothing; the walk goes on.
        NoteSkippedFolder(skip);
        window_.ProcessPendingMessages();
        return;
    }
    ScanOpenFolder();
}

void ScanEngine::ScanOpenFolder() {
    DirectoryEntry entry;
    while (walk_->Next(entry)) {
        window_.ProcessPendingMessages();
        if (StopRequested) {
            walk_->Leave();
            return;
        }
        if (IsSubfolderEntry(entry)) {
            const std::size_t length = path_.size();
            AppendPathName(path_, entry.Name);
            ScanSubfolder();
            path_.resize(length);
        } else if (IsFileEntry(entry)) {
            if (!FirstNameOfFile(entry))
                continue;
            if (state_.FileCount != std::numeric_limits<std::uint32_t>::max())
                ++state_.FileCount;
            // Only admitted files cost more than this test: nothing is copied for the rest.
            if (entry.SizeBytes >= state_.MinListedSize) {
                AddFile(path_, entry);
                window_.ProcessPendingMessages();
                if (StopRequested) {
                    walk_->Leave();
                    return;
                }
            } else if (entry.SizeBytes >= reserve_.KeepThreshold()) {
                KeepInReserve(path_, entry);
            }
        }
    }
    // A read error midway ends the entries early: what was delivered counts, the rest is
    // missing.
    NoteSkippedFolder(walk_->EndReason());
    walk_->Leave();
    window_.ProcessPendingMessages();
}

void ScanEngine::NoteSkippedFolder(FolderSkip reason) {
    if (reason == FolderSkip::None || reason == FolderSkip::NotEntered)
        return;
    // Counted, so that a result with gaps does not read as complete.
    if (reason == FolderSkip::Unreadable)
        ++state_.UnreadableFolderCount;
    else if (reason == FolderSkip::OtherDrive)
        ++state_.SkippedMountCount;
    else if (reason == FolderSkip::NoAnswer)
        ++state_.UnansweredFolderCount;
    window_.FolderSkipped(path_, reason);
}

void ScanEngine::AddFile(const std::string& folder, const DirectoryEntry& entry) {
    ResultEntry added;
    added.Caption = std::string(entry.Name);
    added.LastWriteTime = entry.LastWriteTime;
    int row = list_.Append(std::move(added));
    row = list_.SetSizeValue(row, entry.SizeBytes);

    std::string sizeText = SizeText(entry.SizeBytes);
    sizeText += TextsFor(IsGermanUser()).SizeSuffix;
    state_.ListedTotalMB += WholeMB(entry.SizeBytes);
    std::string dateText = FileDateText(entry.LastWriteTime, locale_);
    // The walk found the drive with the entry's details: asking by the path would cost a
    // lookup of every folder above it, and trees can be deeper than PATH_MAX.
    const int iconIndex =
        IconIndexOnDrive(entry.Drive, JoinPath(folder, std::string(entry.Name)), icons_);
    list_.CompleteEntry(row, folder, std::move(sizeText), std::move(dateText), iconIndex);

    if (list_.Count() > state_.ListCapacity && list_.Count() > 0) {
        const int last = list_.Count() - 1;
        state_.ListedTotalMB -= WholeMB(list_.At(last).SizeValue);
        // The evicted file is the largest not listed: it heads the reserve.
        // The evicted file is complete: its time is not needed again.
        reserve_.Keep(list_.TakeAt(last), 0);
        state_.MinListedSize = list_.Count() > 0 ? list_.At(list_.Count() - 1).SizeValue : 0;
        UpdateTotalsPanels();
        window_.ProcessPendingMessages();
    }
}

bool ScanEngine::FirstNameOfFile(const DirectoryEntry& entry) {
    // Only files with more than one name are remembered: a tree of ordinary files costs
    // nothing here.
    return entry.LinkCount <= 1 || hardLinks_.FirstMeeting(entry.Device, entry.FileNumber);
}

void ScanEngine::KeepInReserve(const std::string& folder, const DirectoryEntry& entry) {
    // Its texts and icon are made only if it ever moves up into the list.
    ResultEntry kept;
    kept.Caption = std::string(entry.Name);
    kept.FolderText = folder;
    kept.SizeValue = entry.SizeBytes;
    reserve_.Keep(std::move(kept), entry.LastWriteTime);
}

void ScanEngine::PromoteFromReserve() {
    std::int64_t lastWriteTime = 0;
    ResultEntry next = reserve_.TakeLargest(lastWriteTime);
    const std::uint64_t sizeBytes = next.SizeValue;
    // Announced as an admission: appended, placed by its size, then completed.
    ResultEntry added;
    added.Caption = next.Caption;
    int row = list_.Append(std::move(added));
    row = list_.SetSizeValue(row, sizeBytes);
    if (!next.IsComplete()) {
        next.SizeText = SizeText(sizeBytes) + std::string(TextsFor(IsGermanUser()).SizeSuffix);
        next.DateText = DateColumnText(ToLocalDateTime(lastWriteTime), locale_);
        next.IconIndex = GetFileIconIndex(JoinPath(next.FolderText, next.Caption), icons_);
    }
    list_.CompleteEntry(row, std::move(next.FolderText), std::move(next.SizeText),
                        std::move(next.DateText), next.IconIndex);
    state_.ListedTotalMB += WholeMB(sizeBytes);
}

void ScanEngine::RemoveListedEntry(int row) {
    if (row < 0 || row >= list_.Count())
        return;
    const std::uint64_t removedMB = WholeMB(list_.At(row).SizeValue);
    state_.ListedTotalMB -= std::min(removedMB, state_.ListedTotalMB);
    list_.RemoveAt(row);
    if (list_.Count() < state_.ListCapacity && !reserve_.Empty())
        PromoteFromReserve();
    if (list_.Count() < state_.ListCapacity) {
        // A list with room again admits every file that can still belong in it: all of them
        // while nothing was given up, else those from the largest size given up.
        state_.MinListedSize = reserve_.Floor();
    } else {
        // The file that moved up is the smallest listed now: a later file larger than it
        // belongs in the list.
        state_.MinListedSize = list_.At(list_.Count() - 1).SizeValue;
    }
    UpdateTotalsPanels();
    if (ListRunsShort())
        window_.SetStatusText(
            MakeListShortText(static_cast<std::uint64_t>(list_.Count()), IsGermanUser()));
}

std::string ScanEngine::StatusAfterScan() const {
    const bool german = IsGermanUser();
    std::string status;
    if (outcome_ == ScanOutcome::Stopped)
        status = MakeScanStoppedText(state_.FileCount, german);
    if (ListRunsShort()) {
        if (!status.empty())
            status += ' ';
        status += MakeListShortText(static_cast<std::uint64_t>(list_.Count()), german);
    }
    return status.empty() ? std::string(TextsFor(german).CreditLine) : status;
}

void ScanEngine::UpdateTotalsPanels() {
    // Between scans the label is found afresh: a volume may have been mounted meanwhile.
    // During a scan, up to its last step, the root is not asked again: it may have stopped
    // answering.
    const std::string label = running_ ? walkVolumeLabel_ : VolumeLabelFor(state_.ScanRoot);
    window_.WriteTotalsPanels(MakeTotalsPanelTexts(state_, label, IsGermanUser(), locale_));
}
