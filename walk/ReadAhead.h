#pragma once

#include "AheadFolder.h"

#include "MachineLoad.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Reads folders ahead of one walk on worker threads. The walk keeps its own thread and makes
// every decision (which links to follow, which folders to enter); the workers only list
// folders and read the details of their entries, nearest to the walk's position first, into
// a bounded amount of memory. A folder a worker has read waits as an AheadFolder until the
// walk takes it; what the walk goes past is dropped. The workers run below the walk's
// priority, so that they never take its processor from it. On Linux they are named
// "read-ahead".
//
// A worker may be stuck in a call on a file system that does not answer. The walk never
// waits for it longer than MaxAnswerWait, and the end of the walk never waits for it at all
// beyond a moment: it is left behind, holding only what it shares with the other workers,
// and ends whenever its call returns.
//
// The scheduling is the same on every platform; how a folder is read is the platform's, given
// as a FolderReader. The public methods are for the walk's thread.
class ReadAhead {
public:
    // A folder a worker has read and still holds open: its subfolders are read from it, which
    // costs the system less than opening each by its whole path.
    class HeldFolder {
    public:
        virtual ~HeldFolder() = default;
        // Reads `child`, the record of a subfolder of the held folder, as FolderReader does.
        virtual bool ReadChild(AheadFolder& child, const std::atomic<bool>& cancel) = 0;
    };

    // Reads the folder `folder.Path` into `folder` on a worker thread: its identity, its
    // entries and a Pending record (MakeFolder) for each subfolder that a worker may read in
    // turn. It calls NoteAnswer(folder) whenever the system has answered one of its calls.
    // False, keeping nothing, when the folder cannot be read ahead (the walk then reads it
    // itself); it gives up early, also false, once `cancel` is set. It may leave the folder
    // open in `held`, for its subfolders. Called on several threads at once, also after the
    // ReadAhead is gone (by a worker left behind).
    using FolderReader = std::function<bool(AheadFolder& folder, const std::atomic<bool>& cancel,
                                            std::unique_ptr<HeldFolder>& held)>;

    // Starts `workers` threads (at least one), or as many as the system allows, that read
    // folders with `reader`. `load` is the walk's look at the load so far, made before any
    // worker started; without it the look starts now.
    ReadAhead(int workers, FolderReader reader, std::optional<MachineLoad> load = std::nullopt);
    // Stops the workers, abandoning what they were reading. Waits for them only a moment
    // (MaxEndWait): a worker still inside a call then is left to end on its own.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // One worker per processor this process may run on, and 1 (no workers: the walk reads
    // every folder itself) when it may run on one only.
    static int DefaultWorkerCount();

    // The number of worker threads running; 0 when the system refused every one.
    int WorkerCount() const { return static_cast<int>(workers_.size()); }

    // Starts a record for a folder the walk opens, at position `key`, reached by `path`.
    // Null when the folder lies too deep or its path is too long to be read ahead.
    static std::shared_ptr<AheadFolder> MakeFolder(std::string path,
                                                   std::vector<std::uint32_t> key);
    // Starts a record for Probe: at any depth and path length, since the folder source opens
    // paths of any length.
    static std::shared_ptr<AheadFolder> MakeProbe(const std::string& path);

    // A worker's call on `folder` was answered: the walk goes on waiting for the folder.
    static void NoteAnswer(AheadFolder& folder);

    enum class Claim {
        Ready,        // a worker read the folder; its entries are the walk's now
        ReadYourself, // no worker read it (not started, or it could not be read)
        // A worker reading it has waited for the system for MaxAnswerWait: its file system
        // does not answer, and the walk leaves the folder out.
        NoAnswer,
        // The wait hook ended the wait (a stop): the walk leaves the folder out, uncounted.
        Stopped,
    };
    // Takes `folder` for the walk. A folder that a worker is reading is waited for until it
    // is read or its worker's system has not answered for MaxAnswerWait; for MaxHelpTime of
    // that wait the walk reads the folders next in line on its own file system itself, as long
    // as the worker's system answers. While a worker waits for a file system that does not
    // answer, the walk touches no folder first: it waits for a worker to read a queued one
    // too, and when every worker waits so, another is started.
    Claim Take(AheadFolder& folder);
    static constexpr std::chrono::milliseconds MaxAnswerWait{2000};
    static constexpr std::chrono::milliseconds MaxEndWait{50};

    // Has a worker read `folder` (a new record) before the walk touches it, waiting as Take
    // does, also while no worker has started on it. Ready when the system answered every
    // call; NoAnswer when it stopped answering (the record then stays the worker's); else
    // ReadYourself. The walk leaves the record afterwards, unless NoAnswer.
    Claim Probe(const std::shared_ptr<AheadFolder>& folder);

    // Takes for the walk the record `listed` of a subfolder that its parent's listing made,
    // as Take does: the record the walk owns from now on, and in `claim` what became of it.
    std::shared_ptr<AheadFolder> TakeListed(std::shared_ptr<AheadFolder> listed, Claim& claim);

    // Makes and takes a record for a folder that the walk reads itself, at the place `key` in
    // the walk (see AheadFolder::Key; empty for the walk's first folder). Null as MakeFolder.
    std::shared_ptr<AheadFolder> TakeNew(const std::string& path, std::vector<std::uint32_t> key);

    // True while the walk reads the folders it comes to itself and the workers read only
    // probes: while other programs keep the processors busy (MachineLoad). Called for every
    // folder the walk enters.
    bool WalkAlone();

    // The walk read `folder` itself (Take said ReadYourself, or it made the record): its
    // subfolders are read ahead from now on.
    void Publish(AheadFolder& folder);

    // For a walk whose folders take their time on a network rather than on a processor: the
    // workers wait for the server most of the time, and read ahead however busy other
    // programs keep the processors (the ones that serve the share, as often as not).
    void ReadAheadWhateverTheLoad(bool latencyBound) { latencyBound_ = latencyBound; }

    // Lets the walk read folders next in line on `device` itself while it waits for a worker
    // (none: on no device). The walk's own file system, where it reads folders itself anyway;
    // others below it are mount points, which workers touch first.
    void LetWalkReadAheadOn(std::optional<std::uint64_t> device) { helpDevice_ = device; }

    // The walk has left `folder`: what was read ahead below it and not taken is dropped, and
    // the folder's own entries are freed.
    void Leave(AheadFolder& folder);

    // The most entries a worker reads from one folder; larger folders are left to the walk.
    static constexpr std::size_t MaxWorkerFolderEntries = AheadFolder::MaxWorkerEntries;
    // The largest folder the walk reads at once, for the read-ahead or for a worker; it reads
    // larger ones entry by entry, as they are walked, so that it never goes long without
    // delivering an entry.
    static constexpr std::uint32_t MaxWalkFolderEntries = 1024;

    // Frees what `folder` holds of entries, as after a read that is given up.
    static void Discard(AheadFolder& folder);

    // Runs `hook` every AnswerCheckInterval while the walk waits for a worker; when it returns
    // false the wait ends with Claim::Stopped. Runs on the walk's thread, without the lock.
    void SetWaitHook(std::function<bool()> hook) { waitHook_ = std::move(hook); }

    // What the walk and its workers share; it lives as long as the last of them.
    struct Shared;

private:
    // Waits while `folder` is pending or being read, as Take says.
    Claim WaitForWorker(AheadFolder& folder, std::unique_lock<std::mutex>& lock);
    // True when a worker has waited Shared::StuckAfter for the system. Called with the lock held.
    bool AnyWorkerStuck() const;
    // AnyWorkerStuck as found at most StuckCheckInterval ago, so that the walk takes the lock
    // for it only now and then.
    bool WorkerSuspectedStuck();
    // Take for a folder a worker is reading; empty when the walk is to look at it again.
    std::optional<Claim> TakeWhileRead(AheadFolder& folder);
    // While a worker reads `awaited`, the folder the walk needs, the walk reads the folder next
    // in the queue itself, as a worker would. False when there is none it may read.
    bool ReadNextInLine(const AheadFolder& awaited);
    // Takes that folder out of the queue: pending, on helpDevice_, not a probe.
    std::shared_ptr<AheadFolder> NextInLineForWalk(const AheadFolder& awaited);
    static constexpr std::chrono::milliseconds MaxHelpTime{5};
    static constexpr std::chrono::milliseconds MaxHelpSilence{20};
    // Take's wait under the lock; empty when the walk is to look at the folder again.
    std::optional<Claim> WaitUnderLock(AheadFolder& folder);
    // Starts one more worker when every worker has waited Shared::StuckAfter for the system.
    void AddWorkerForStuckOnes(std::unique_lock<std::mutex>& lock);
    static constexpr std::size_t MaxWorkers = 96;

    static constexpr std::chrono::milliseconds StuckCheckInterval{10};
    // Lets the workers read of their own accord again (`alone` false), or not.
    void SetAlone(bool alone);

    std::shared_ptr<Shared> shared_;
    std::function<bool()> waitHook_;
    // How long the walk waits for a worker without sleeping (TakeWhileRead).
    std::chrono::nanoseconds spinWait_{50'000};
    std::int64_t stuckCheckedAtNs_ = 0;
    std::optional<std::uint64_t> helpDevice_;
    bool latencyBound_ = false;
    bool stuckFound_ = false;
    MachineLoad load_;
    bool alone_ = false;
    std::vector<std::thread> workers_;
};
