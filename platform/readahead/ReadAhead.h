#pragma once

#include "AheadFolder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Reads folders ahead of one walk on worker threads. The walk keeps its own thread and makes
// every decision (which links to follow, which folders to enter); the workers only list
// folders and read the details of their entries, nearest to the walk's position first, into
// a bounded amount of memory. A folder a worker has read waits as an AheadFolder until the
// walk takes it; what the walk goes past is dropped. The workers end with the object. On
// Linux they are named "read-ahead".
//
// The scheduling is the same on every platform; how a folder is read is the platform's, given
// as a FolderReader. The public methods are for the walk's thread.
class ReadAhead {
public:
    // Reads the folder `folder.Path` into `folder` on a worker thread: its identity, its
    // entries and a Pending record (MakeFolder) for each subfolder that a worker may read in
    // turn. False, keeping nothing, when the folder cannot be read ahead (the walk then reads
    // it itself); it gives up early, also false, once `cancel` is set. Called on several
    // threads at once.
    using FolderReader = std::function<bool(AheadFolder& folder, const std::atomic<bool>& cancel)>;

    // Starts `workers` threads (at least one), or as many as the system allows, that read
    // folders with `reader`.
    ReadAhead(int workers, FolderReader reader);
    // Stops the workers at once, abandoning what they were reading, and waits for them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // One worker per processor core, and 1 (no workers: the walk reads every folder itself) on
    // a machine with a single core.
    static int DefaultWorkerCount();

    // The number of worker threads running; 0 when the system refused every one.
    int WorkerCount() const { return static_cast<int>(workers_.size()); }

    // Starts a record for a folder the walk opens, at position `key`, reached by `path`.
    // Null when the folder lies too deep or its path is too long to be read ahead.
    static std::shared_ptr<AheadFolder> MakeFolder(const std::string& path,
                                                   std::vector<std::uint32_t> key);

    enum class Claim {
        Ready,        // a worker read the folder; its entries are the walk's now
        ReadYourself, // no worker read it (not started, or it could not be read)
        // A worker is still at it after the longest wait: the walk reads the folder itself,
        // into a record of its own, and the worker's result is thrown away.
        ReadYourselfAnew,
    };
    // Takes `folder` for the walk, waiting while a worker reads it, but not longer than
    // MaxWalkWait: a worker held up (the processors busy elsewhere) must not hold up the walk,
    // and with it the window.
    Claim Take(AheadFolder& folder);
    static constexpr std::chrono::milliseconds MaxWalkWait{8};

    // Takes for the walk the record `listed` of a subfolder that its parent's listing made:
    // the record the walk owns from now on (a new, empty one when a worker was still reading
    // the old after the longest wait), and in `ready` whether a worker has read it. Null when
    // a new record cannot be made (too deep, too long a path).
    std::shared_ptr<AheadFolder> TakeListed(std::shared_ptr<AheadFolder> listed, bool& ready);

    // Makes and takes a record for a folder that the walk reads itself: the entry `ordinal`
    // of the folder `parent` (null for the walk's first folder). Null as MakeFolder.
    std::shared_ptr<AheadFolder> TakeNew(const std::string& path, const AheadFolder* parent,
                                         std::uint32_t ordinal);

    // The walk read `folder` itself (Take said ReadYourself, or it made the record): its
    // subfolders are read ahead from now on.
    void Publish(AheadFolder& folder);

    // The walk has left `folder`: what was read ahead below it and not taken is dropped, and
    // the folder's own entries are freed.
    void Leave(AheadFolder& folder);

    // The most entries a worker reads from one folder; larger folders are left to the walk.
    static constexpr std::size_t MaxWorkerFolderEntries = 4096;

    // Frees what `folder` holds of entries, as after a read that is given up.
    static void Discard(AheadFolder& folder);

private:
    struct LaterInWalk {
        bool operator()(const std::shared_ptr<AheadFolder>& a,
                        const std::shared_ptr<AheadFolder>& b) const;
    };

    void Work();
    void QueueChildren(AheadFolder& folder);
    bool HasRoom() const;

    std::mutex mutex_;
    std::condition_variable workAvailable_; // workers wait here for work and for room
    std::condition_variable folderRead_;    // the walk waits here for a folder being read
    // Pending folders, the one earliest in the walk's order on top. Records the walk has
    // taken or dropped meanwhile are skipped when they come up.
    std::vector<std::shared_ptr<AheadFolder>> queue_;
    std::size_t readyBytes_ = 0;
    std::size_t readyEntries_ = 0;
    bool stopping_ = false;
    std::atomic<bool> cancel_{false};
    FolderReader reader_;
    std::vector<std::thread> workers_;
};
