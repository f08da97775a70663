#pragma once

#include "ReadAhead.h"
#include "platform/fs/WorkerThreads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// What the walk and its read-ahead workers share. A folder changes hands through its atomic
// Status without the lock: the walk takes what is Ready and what no worker has started on,
// and drops what it goes past, with one compare-and-swap each. The lock guards the queue, the
// counts of workers and the folders in the workers' hands (Busy); the workers take it once per
// batch of folders, so that neither side pays a lock or a futex per folder.
struct ReadAhead::Shared {
    // Orders the queue: the folder earliest in the walk on top.
    struct LaterInWalk {
        bool operator()(const std::shared_ptr<AheadFolder>& a,
                        const std::shared_ptr<AheadFolder>& b) const {
            // The heap keeps the greatest on top; "greater" here is earlier in the walk.
            return std::lexicographical_compare(b->Key.begin(), b->Key.end(), a->Key.begin(),
                                                a->Key.end());
        }
    };

    explicit Shared(FolderReader folderReader) : Reader(std::move(folderReader)) {}

    // What the workers may hold read and not yet taken. Enough to keep them busy for a while
    // ahead of the walk, small next to the memory of a machine that has such trees.
    static constexpr std::int64_t MaxReadyBytes = 8 << 20;
    static constexpr std::int64_t MaxReadyEntries = 64 * 1024;
    // The folders a worker claims at once, nearest to the walk first.
    static constexpr std::size_t BatchSize = 8;

    bool HasRoom() const {
        return ReadyBytes.load(std::memory_order_relaxed) < MaxReadyBytes &&
               ReadyEntries.load(std::memory_order_relaxed) < MaxReadyEntries;
    }
    // Counts `folder` as held ready (`sign` 1) or no longer (`sign` -1).
    void CountReady(const AheadFolder& folder, int sign) {
        ReadyBytes.fetch_add(sign * static_cast<std::int64_t>(folder.Bytes),
                             std::memory_order_relaxed);
        ReadyEntries.fetch_add(sign * static_cast<std::int64_t>(folder.Entries.size()),
                               std::memory_order_relaxed);
    }
    // Puts `folders` in the queue. Called with the lock held.
    void Enqueue(std::vector<std::shared_ptr<AheadFolder>>& folders);
    // Marks the subfolders of `folder` as queued and adds them to `out`.
    static void CollectChildren(AheadFolder& folder,
                                std::vector<std::shared_ptr<AheadFolder>>& out);
    // Wakes the workers when room was made and one of them waits for it.
    void WakeWorkersIfRoomReturned(bool wasFull);
    // Wakes the walk when it waits for a folder.
    void WakeWalkIfWaiting();
    // While the walk reads alone (ReadAhead::WalkAlone) the workers read only probes.
    bool HeldBack(const AheadFolder& next) const {
        return Paused.load(std::memory_order_relaxed) && !next.IsProbe;
    }
    // A worker reads on of its own accord while there is room, or the walk waits for it.
    bool MayReadOn(const AheadFolder& next) const {
        return !HeldBack(next) && (HasRoom() || WalkWaiting.load());
    }

    // A worker waits this long for the system before it counts as stuck.
    static constexpr std::chrono::milliseconds StuckAfter{200};
    // True when `busy` is being read and its system has not answered for StuckAfter.
    static bool IsStuck(const AheadFolder& busy, std::int64_t now);
    // True, at most once per StuckAfter, when `folder` may be put in the queue again.
    static bool MayRequeue(AheadFolder& folder, std::int64_t now);
    // Puts back in the queue what stuck workers hold in their batches and have not started
    // on. Called with the lock held.
    void RequeueBatchesOfStuckWorkers();

    // The worker's loop, and its parts.
    void Work();
    using FolderList = std::vector<std::shared_ptr<AheadFolder>>;
    void ClaimBatch(FolderList& batch, FolderList& busy);
    void ReadBatch(const FolderList& batch, FolderList& busy, FolderList& children);
    bool ReadOne(AheadFolder& folder, HeldFolder* parent, std::unique_ptr<HeldFolder>& held,
                 FolderList& children);
    void ReadChildrenFromHeld(HeldFolder& held, FolderList kids, FolderList& busy,
                              FolderList& children);
    // Calls `visit` for every folder in the workers' hands until it returns true. Called with
    // the lock held.
    template <typename Visit> bool AnyBusy(Visit visit) const {
        for (const FolderList* list : BusyLists) {
            for (const std::shared_ptr<AheadFolder>& busy : *list) {
                if (visit(*busy)) {
                    return true;
                }
            }
        }
        return false;
    }

    std::mutex Mutex;
    std::condition_variable WorkAvailable; // workers wait here for work and for room
    std::condition_variable FolderRead;    // the walk waits here for a folder being read
    // The start of the walk waits here for the workers to start, the end for them to end.
    std::condition_variable WorkerEnded;
    // Pending folders, the one earliest in the walk's order on top. Records the walk has
    // taken or dropped meanwhile are skipped when they come up.
    std::vector<std::shared_ptr<AheadFolder>> Queue;
    std::atomic<std::int64_t> ReadyBytes{0};
    std::atomic<std::int64_t> ReadyEntries{0};
    bool Stopping = false;
    int Running = 0;
    int Started = 0; // workers that have made their first allocation
    // Where the workers may run, once started beside the walk (ReadAhead's constructor).
    ProcessorMask Processors;
    // Workers waiting for work, and the folders in the workers' hands, one list each.
    int Idle = 0;
    std::vector<std::vector<std::shared_ptr<AheadFolder>>*> BusyLists;
    // The walk waits for a worker to read a folder: the workers read it even when the
    // memory they may hold is used up, and wake the walk when a folder is read.
    std::atomic<bool> WalkWaiting{false};
    std::atomic<bool> Cancel{false};
    // The walk reads alone (ReadAhead::WalkAlone).
    std::atomic<bool> Paused{false};
    const FolderReader Reader;
};

// Moves `folder` from `from` to `to` if it is still in `from`.
inline bool MoveStatus(AheadFolder& folder, AheadFolder::Status from, AheadFolder::Status to) {
    return folder.State.compare_exchange_strong(from, to, std::memory_order_acq_rel);
}
