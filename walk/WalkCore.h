#pragma once

#include "AheadReading.h"
#include "FolderWalk.h"
#include "IdentitySet.h"
#include "ReadAhead.h"
#include "WorkerHandles.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An entry as the walk decided on it.
struct WalkedFacts {
    // FolderAttribute for what is delivered as a folder, beside the platform's bits.
    std::uint32_t Attributes = 0;
    std::uint64_t SizeBytes = 0;
    std::int64_t LastWriteTime = 0;
    std::uint32_t LinkCount = 1;
    // Of the folder, of a followed link's target folder, or of the file (of the link for a
    // link delivered as a file).
    NodeIdentity Identity;
    bool ViaLink = false; // a link to a folder, delivered as a folder
    // An entry whose file system did not answer a worker: delivered as a folder that is not
    // entered, never looked at by the walk.
    bool Unanswered = false;
    // A link to a folder in a folder read whole: whether it is followed is decided when it is
    // delivered, when the folder it lies in need not be held open for it.
    bool LinkUndecided = false;
};

// An entry kept by a level that holds its folder's entries in memory.
struct BufferedEntry {
    std::uint32_t NameOffset = 0; // into WalkLevel::Names, NUL-terminated there
    std::uint32_t NameLength = 0;
    WalkedFacts Facts;
    // The read-ahead's record of the folder the entry names, if any, and the entry's place.
    std::shared_ptr<AheadFolder> Child;
    std::uint32_t Ordinal = 0;
};

// Where a level's entries come from.
enum class LevelSource {
    Listing,  // read from its open folder as the walk goes
    Buffered, // read whole into Entries (a level deeper than the handle budget)
    Ahead,    // read by a worker, or by the walk for the workers, into Ahead
};

// One open folder of the walk. Levels are kept from folder to folder, so their buffers
// grow to what the tree needs once and are then reused.
struct WalkLevel {
    NodeIdentity Identity;
    // The folder's path is WalkCore::Path up to here.
    std::size_t PathEnd = 0;
    // The folder, or a folder above it, was reached through a followed link: its path says
    // nothing about where it really is.
    bool UnderLink = false;
    LevelSource Source = LevelSource::Listing;
    // The open folder: read from while Source is Listing; otherwise kept only to open the
    // level's subfolders and check its links, closed while the walk is below a level whose
    // entries are in memory, and opened again on the way back up. Null when none is open.
    std::unique_ptr<SourceFolder> Folder;

    std::vector<char> Names;
    std::vector<BufferedEntry> Entries;
    std::size_t Cursor = 0;
    std::size_t FoldersLeft = 0; // folder entries not yet delivered

    std::shared_ptr<AheadFolder> Ahead; // null when the folder is not read ahead
    std::size_t AheadCursor = 0;
    // Names listed so far from Folder: their places in the walk's order.
    std::uint32_t Ordinal = 0;
    // The places of the entries a worker waited on in vain; the walk does not look at them.
    std::vector<std::int64_t> UnansweredOrdinals;
    // Entries on which a network file system is mounted: left out, never looked at.
    std::vector<NamedMount> NetworkMounts;
    // The details of an entry could not be read, or reading the folder failed.
    bool ReadFailed = false;

    // The entry Next delivered last, when it was a folder: Enter opens it.
    bool LastIsFolder = false;
    std::string_view LastName;
    WalkedFacts LastEntry;
    std::shared_ptr<AheadFolder> LastChild;
    std::uint32_t LastOrdinal = 0;
};

// The walk itself (FolderWalk is its face). Its parts live in the files named after them:
// WalkCore.cpp (the level stack), WalkRules.cpp (links, drives, mounts), HandleBudget.cpp
// (running short of handles) and WalkAhead.cpp (the read-ahead).
class WalkCore {
public:
    WalkCore(std::shared_ptr<FolderSource> source, std::string root, int readAheadThreads);
    ~WalkCore();

    const std::string& Root() const { return root_; }
    void SetWaitHook(std::function<bool()> hook);

    FolderSkip OpenRoot();
    bool Next(DirectoryEntry& entry);
    FolderSkip Enter();
    FolderSkip EndReason() const;
    void Leave();
    int Depth() const { return depth_; }

private:
    // WalkCore.cpp
    WalkLevel& PrepareLevel(int index);
    FolderSkip OpenLevel(int index, const WalkedFacts* entry);
    std::unique_ptr<SourceFolder> OpenFolderOfLevel(int index, const WalkedFacts* entry);
    FolderSkip EnterOpened(int index, const WalkedFacts* entry, bool readAhead,
                           std::shared_ptr<AheadFolder> ahead);
    bool NextBuffered(int index, std::string_view& name, const BufferedEntry*& entry);
    const WalkedFacts* NextFromAhead(int index, std::string_view& name,
                                     const std::shared_ptr<AheadFolder>*& child,
                                     std::uint32_t& ordinal);
    const WalkedFacts* NextListed(int index, std::string_view& name, std::uint32_t& ordinal);
    void Deliver(WalkLevel& level, std::string_view name, const WalkedFacts& facts,
                 const std::shared_ptr<AheadFolder>* child, std::uint32_t ordinal,
                 DirectoryEntry& entry);
    void CloseLevel(int index);

    // WalkRules.cpp
    FolderSkip DecideBeforeOpening(const WalkLevel& parent, const WalkedFacts& entry);
    FolderSkip DecideAfterOpening(int index, const WalkedFacts* entry, SourceFolder& opened);
    bool Classify(int index, std::string_view name, const EntryFacts& facts, WalkedFacts& out,
                  bool decideLinks);
    bool LookAndClassify(int index, SourceFolder& folder, std::string_view name, bool decideLinks,
                         std::uint32_t ordinal, WalkedFacts& out);
    bool MayFollowLink(int index, std::string_view name, const NodeIdentity& target);
    void FindRootAncestors(SourceFolder& root);
    void FindNetworkMounts(int index, SourceFolder* opened);
    bool IsOtherDrive(std::uint64_t parentDevice, std::uint64_t device);
    bool IsEmptyFolderOfDrives();
    DriveType DriveOfFilesOn(std::uint64_t device);
    void AppendName(std::string_view name);

    // HandleBudget.cpp
    std::unique_ptr<SourceFolder>
    OpenWithRetry(const SourceFolder* needed,
                  const std::function<std::unique_ptr<SourceFolder>(OpenFailure&)>& open);
    bool FreeHandle(const SourceFolder* needed);
    SourceFolder* AnchorOf(int index);
    void BufferRest(int index, SourceFolder& folder);
    void SpillLevel(int index);
    void ReopenAboveOnTheWayUp(int index);
    bool HasFoldersLeft(const WalkLevel& level) const;

    // WalkAhead.cpp
    FolderSkip StartAndProbeRoot(WalkLevel& level);
    void StartReadAheadUnlessBusy();
    void StartReadAheadOnceQuiet();
    // Starts the workers if they wait for the processors to be free; true when there are any.
    bool WorkersAtHand();
    void StartReadAhead();
    void HearWaitHook();
    FolderSkip ProbeWithWorker(const std::string& path, WalkLevel& level,
                               std::shared_ptr<AheadFolder>* kept = nullptr);
    bool TakeRootProbe(WalkLevel& level, std::shared_ptr<AheadFolder>& ahead);
    void AdaptReadAheadToRoot(std::uint64_t device);
    ReadAhead::Claim TouchLinkTarget(int index, std::string_view name);
    FolderSkip TakeAheadRecord(int index, const WalkedFacts* entry,
                               std::shared_ptr<AheadFolder>& ahead, bool& readAhead);
    std::vector<std::uint32_t> PlaceInWalk(int index) const;
    bool ReadForAhead(int index, SourceFolder& folder, AheadFolder& ahead);
    bool LookAtLinkTargets(int index, SourceFolder& folder, AheadFolder& ahead);
    void BufferAheadRecord(int index);
    void PrepareAheadAvoids();
    void LeaveAhead(std::shared_ptr<AheadFolder>& ahead);

    std::shared_ptr<FolderSource> source_;
    const std::string root_;
    const char separator_;
    std::vector<std::unique_ptr<WalkLevel>> levels_;
    int depth_ = 0;
    // Levels below this depth read from an open folder; deeper ones are read whole.
    int handleBudget_ = 0;
    NodeIdentity rootIdentity_;
    // The device of the folder the last probe read (0 when no worker read it).
    std::uint64_t probedDevice_ = 0;
    // A worker's whole reading of the root, until the walk has opened the root.
    std::shared_ptr<AheadFolder> rootProbe_;
    bool rootOpen_ = false;
    // The path of the innermost open folder, and of every folder above it as a prefix.
    std::string path_;
    // Every folder the walk has entered: one met again by whatever way (a link, a bind mount,
    // the same file system mounted twice) is not entered a second time.
    IdentitySet entered_;
    // Folders found to lie outside every entered folder (and the folders above the root): a
    // link's check that reaches one of them stops there.
    IdentitySet outside_;
    // The kind of drive of the device whose file was delivered last.
    std::uint64_t filesDevice_ = 0;
    DriveType filesDrive_ = DriveType::Unknown;
    // The root's path without links, when network file systems are mounted anywhere.
    std::string realRoot_;
    // Network or FUSE file systems are mounted somewhere: a link the walk looks at may lead
    // into one that does not answer.
    bool linksMayLeadToShares_ = false;
    std::shared_ptr<NetworkMountFolders> aheadAvoids_ = std::make_shared<NetworkMountFolders>();
    std::shared_ptr<WorkerHandles> workerHandles_;
    bool workerHandlesTaken_ = false;
    // The folder whose names the walk is reading right now: never closed to free a handle.
    const SourceFolder* reading_ = nullptr;
    std::function<bool()> waitHook_;
    // The workers the walk is to have (0 for none), and while they wait for the processors
    // to be free, the load the walk looks at.
    int aheadThreads_ = 0;
    std::optional<MachineLoad> loadBeforeWorkers_;
    // Declared last, so that the workers end before the records they may hold.
    std::unique_ptr<ReadAhead> ahead_;
};
