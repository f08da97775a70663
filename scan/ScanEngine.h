#pragma once

#include "HardLinkSet.h"
#include "LocaleFormat.h"
#include "ResultList.h"
#include "ResultReserve.h"
#include "RootFacts.h"
#include "ScanState.h"

#include "walk/FolderWalk.h"

#include <functional>
#include <optional>
#include <string>

class FolderWalk;
class IconLookup;
class ScanWindow;
struct DirectoryEntry;

// How the last scan ended: None before the first, Completed when the walk reached its end,
// Stopped when it was stopped (or failed midway) with a partial list, RootUnreadable when it
// has no result (its root could not be read, is a pseudo file system or did not answer).
enum class ScanOutcome { None, Completed, Stopped, RootUnreadable };

// Starts, walks and closes a scan, keeps the result list and writes the totals. It runs on
// the caller's thread and hands control to the window only through ScanWindow, most often
// through ProcessPendingMessages, where the user's commands run re-entrantly.
class ScanEngine {
public:
    // Asks about a scan's root before the walk: LookAtScanRoot, or a stand-in.
    using RootLook = std::function<RootFacts(const std::string& root, bool withDriveType)>;

    // `lookAtRoot` runs on a thread of its own and may never return.
    ScanEngine(ScanWindow& window, IconLookup& icons, RootLook lookAtRoot = LookAtScanRoot);
    ~ScanEngine();
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    // Starts and completes one scan of `path`: returns when the walk has ended, normally or
    // by StopRequested. Does nothing when StopRequested is already set, `path` is empty or
    // a scan is already running (a call from the window's commands during a walk). A root
    // that cannot be read (State().RootUnreadable) or lies on a kernel pseudo file system
    // (State().RootOnPseudoFileSystem) is found before the walk, which then does not run:
    // the scan ends without a result. So does a root whose file system has not answered
    // within AnswerTimeLimit (State().RootUnanswered, with RootUnreadable); meanwhile the
    // window hears the user through ProcessMessagesWhileWaiting, and a stop ends the scan as
    // Stopped, with an empty list.
    // An error thrown by the window's ShowReportPage passes through: at the start the scan
    // then does not run; at the end the remaining closing steps are skipped. An error
    // thrown during the walk passes through after the closing steps have run, without the
    // report page, so that the window is left as after a stopped scan.
    void StartScan(const std::string& path);

    // True from the first step of StartScan to its last: the one answer to "is a scan
    // running" that the window's commands consult.
    bool ScanRunning() const { return running_; }

    // Writes the totals bar from the current scan state, in the user's language.
    void UpdateTotalsPanels();

    // Removes the listed entry at `row` (a file the user deleted): its whole MiB leave the
    // listed total, and the largest file of the reserve moves up into the list with its
    // size, announced as an admission. Once the reserve is used up the list stays short;
    // the status line then says so, and only files from the reserve's floor up are
    // admitted. The totals bar is written again. Out-of-range rows are ignored.
    void RemoveListedEntry(int row);

    // How the current or last scan ended; None while it runs and before the first.
    ScanOutcome LastOutcome() const { return outcome_; }
    // True when deletes have left the list with fewer entries than it holds and files that
    // would have followed were not kept: the list is short of what it should show.
    bool ListRunsShort() const {
        return list_.Count() < state_.ListCapacity && reserve_.GaveUpFiles();
    }
    // The files that come next after the list, out of sight (ranks 101 to 200).
    const ResultReserve& Reserve() const { return reserve_; }
    // The files with several names met in the current or last scan.
    const HardLinkSet& HardLinks() const { return hardLinks_; }

    // The volume label of the current or last scan's root, as found when that scan asked
    // about its root: the end of a scan does not ask a root that may have stopped answering.
    // Empty when the root never answered.
    const std::string& VolumeLabel() const { return walkVolumeLabel_; }

    ScanState& State() { return state_; }
    const ScanState& State() const { return state_; }
    ResultList& List() { return list_; }
    const ResultList& List() const { return list_; }

    // The threads that read folders ahead of the walk in the next scans: 0 for one per
    // processor core, 1 for none (every folder is read as the walk reaches it). The walk and
    // every call to the window stay on the caller's thread, and the results are the same.
    void SetWalkThreads(int threads) { walkThreads_ = threads; }
    // The number of threads the next scan uses, as set or as found for this machine.
    int WalkThreads() const;
    // The number of threads a scan uses whose root lies on `rootDrive`: as WalkThreads, and
    // more when nothing was set and the root lies on a network drive.
    int WalkThreadsFor(DriveType rootDrive) const;

    // The regional formats used for new texts; the window sets them at start and on change.
    void SetLocaleFormat(const LocaleFormat& format) { locale_ = format; }
    const LocaleFormat& Locale() const { return locale_; }

private:
    // Opens the walk's root, whose path is `path_`, and walks everything under it.
    void ScanRoot();
    // Enters the subfolder that the walk delivered last, whose path is `path_`, and walks it.
    void ScanSubfolder();
    // Walks the entries of the walk's innermost open folder, whose path is `path_`, and
    // everything under them; leaves the folder at its end or at a stop.
    void ScanOpenFolder();
    // Counts and announces a folder that was not read.
    void NoteSkippedFolder(FolderSkip reason);
    // True when `entry` (a file) is met for the first time: a file with several names is
    // counted and listed once, under the first name met.
    bool FirstNameOfFile(const DirectoryEntry& entry);
    // Adds one admitted file to the list; may evict the smallest entry into the reserve.
    void AddFile(const std::string& folder, const DirectoryEntry& entry);
    // Keeps a file the full list did not admit in the reserve, when it is large enough.
    void KeepInReserve(const std::string& folder, const DirectoryEntry& entry);
    // Moves the reserve's largest file into the list.
    void PromoteFromReserve();
    // The status line at the end of a scan with a result.
    std::string StatusAfterScan() const;

    ScanWindow& window_;
    IconLookup& icons_;
    ScanState state_;
    ResultList list_;
    ResultReserve reserve_;
    HardLinkSet hardLinks_;
    ScanOutcome outcome_ = ScanOutcome::None;
    LocaleFormat locale_;
    RootLook lookAtRoot_;
    // `withTotals` false: the root never answered, so there are no figures to write.
    void EndScan(bool withReportPage, bool withTotals = true);
    // Asks about the root away from this thread, hearing the user meanwhile; nullopt when
    // the scan has ended meanwhile (stopped, or the root did not answer).
    // Empties the counters, the figures and the sets of the scan before.
    void ClearScanState();
    std::optional<RootFacts> AwaitRootFacts();
    // Ends the scan at once, without a walk, when its root cannot be read, is a pseudo file
    // system or did not answer (`check` nullopt); returns whether it did.
    bool RefuseUnreadableRoot(std::optional<RootCheck> check);

    bool running_ = false;
    FolderWalk* walk_ = nullptr; // the running scan's walk; null between scans
    int walkThreads_ = 0;
    // The path of the folder being walked: names are appended going down and cut off coming
    // up, so that a deep tree costs one path, not one per level.
    std::string path_;
    // The scan root's volume label, found once per walk: the totals are rewritten at every
    // eviction, and finding the label reads the system's mount table.
    std::string walkVolumeLabel_;
};

// A folder entry to walk into: the name is neither "." nor ".." and the folder bit is set.
bool IsSubfolderEntry(const DirectoryEntry& entry);
// A file entry: the name is neither "." nor ".." and the folder bit is clear.
bool IsFileEntry(const DirectoryEntry& entry);

// The icon index for the file at `path`: -1 when no file exists there, 0 on a drive that
// is neither fixed nor network, else what `icons` answers (-1 when it fails).
int GetFileIconIndex(const std::string& path, IconLookup& icons);
