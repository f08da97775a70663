#pragma once

#include "AheadFolder.h"
#include "DirectoryReader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
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
// The public methods are for the walk's thread.
class ReadAhead {
public:
    // Starts `workers` threads (at least one), or as many as the system allows.
    explicit ReadAhead(int workers);
    // Stops the workers at once, abandoning what they were reading, and waits for them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

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

    // The walk read `folder` itself (Take said ReadYourself, or it made the record): its
    // subfolders are read ahead from now on.
    void Publish(AheadFolder& folder);

    // The walk has left `folder`: what was read ahead below it and not taken is dropped, and
    // the folder's own entries are freed.
    void Leave(AheadFolder& folder);

    enum class ReadResult {
        Complete,  // every entry is in `folder`
        TooLarge,  // the folder has more than `maxEntries` entries; none are kept
        Cancelled, // `cancel` was set; none are kept
    };
    // Reads the entries of the folder open in `reader` into `folder`, with a Pending record
    // for each subfolder on the folder's own device (`folder.Identity` must be set). A read
    // error ends the entries as the end of the folder would. Keeps the reader open.
    static ReadResult ReadFolder(DirectoryReader& reader, AheadFolder& folder,
                                 std::size_t maxEntries, const std::atomic<bool>* cancel);

    // The most entries a worker reads from one folder; larger folders are left to the walk.
    static constexpr std::size_t MaxWorkerFolderEntries = 4096;

private:
    struct LaterInWalk {
        bool operator()(const std::shared_ptr<AheadFolder>& a,
                        const std::shared_ptr<AheadFolder>& b) const;
    };

    void Work();
    // Opens the folder by its path and reads it; false when it cannot be read ahead.
    bool ReadByPath(DirectoryReader& reader, AheadFolder& folder);
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
    std::vector<std::thread> workers_;
};
