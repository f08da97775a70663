// The read-ahead's workers: they claim folders in batches, read them and hand them over.
#include "AheadShared.h"

#include "platform/fs/CoarseClock.h"
#include "platform/fs/WorkerThreads.h"

namespace {

struct LaterInWalk {
    bool operator()(const std::shared_ptr<AheadFolder>& a,
                    const std::shared_ptr<AheadFolder>& b) const {
        // The heap keeps the greatest on top; "greater" here is earlier in the walk.
        return std::lexicographical_compare(b->Key.begin(), b->Key.end(), a->Key.begin(),
                                            a->Key.end());
    }
};

} // namespace

void ReadAhead::Shared::Enqueue(std::vector<std::shared_ptr<AheadFolder>>& folders) {
    for (std::shared_ptr<AheadFolder>& folder : folders) {
        Queue.push_back(std::move(folder));
        std::push_heap(Queue.begin(), Queue.end(), LaterInWalk{});
    }
    // Only a waiting worker needs waking: a busy one comes back to the queue by itself, and a
    // wake-up is a system call.
    if (!folders.empty() && Idle > 0) {
        WorkAvailable.notify_all();
    }
    folders.clear();
}

void ReadAhead::Shared::CollectChildren(AheadFolder& folder,
                                        std::vector<std::shared_ptr<AheadFolder>>& out) {
    for (AheadEntry& entry : folder.Entries) {
        if (entry.Child) {
            entry.Child->Queued.store(true, std::memory_order_relaxed);
            out.push_back(entry.Child);
        }
    }
}

void ReadAhead::Shared::WakeWorkersIfRoomReturned(bool wasFull) {
    if (wasFull && HasRoom()) {
        std::lock_guard<std::mutex> lock(Mutex);
        if (Idle > 0) {
            WorkAvailable.notify_all();
        }
    }
}

void ReadAhead::Shared::WakeWalkIfWaiting() {
    // The walk sets WalkWaiting before it looks at the folder for the last time, under the
    // lock: either it sees the folder read, or this sees it waiting and the lock orders the
    // wake-up after its wait began.
    if (WalkWaiting.load()) {
        std::lock_guard<std::mutex> lock(Mutex);
        FolderRead.notify_all();
    }
}

// Takes up to BatchSize pending folders from the queue, earliest in the walk first. They stay
// pending until the worker comes to each: the walk may still take them, and so may another
// worker when this one is stuck (RequeueBatchesOfStuckWorkers). Called with the lock held.
void ReadAhead::Shared::ClaimBatch(std::vector<std::shared_ptr<AheadFolder>>& batch) {
    while (!Queue.empty() && batch.size() < BatchSize) {
        std::pop_heap(Queue.begin(), Queue.end(), LaterInWalk{});
        std::shared_ptr<AheadFolder> folder = std::move(Queue.back());
        Queue.pop_back();
        if (folder->State.load(std::memory_order_relaxed) == AheadFolder::Status::Pending) {
            Busy.push_back(folder);
            batch.push_back(std::move(folder));
        }
    }
}

// Reads the folders of `batch` that the walk has not taken meanwhile, and hands each over as
// soon as it is read; their subfolders go to `children`, to be queued with the next lock.
void ReadAhead::Shared::ReadBatch(std::vector<std::shared_ptr<AheadFolder>>& batch,
                                  std::vector<std::shared_ptr<AheadFolder>>& children) {
    for (const std::shared_ptr<AheadFolder>& folder : batch) {
        if (Cancel.load(std::memory_order_relaxed) ||
            !MoveStatus(*folder, AheadFolder::Status::Pending, AheadFolder::Status::Reading)) {
            continue;
        }
        NoteAnswer(*folder);
        if (!Reader(*folder, Cancel)) {
            Discard(*folder);
            MoveStatus(*folder, AheadFolder::Status::Reading, AheadFolder::Status::Failed);
            WakeWalkIfWaiting();
            continue;
        }
        const std::size_t collected = children.size();
        if (!folder->IsProbe) {
            CollectChildren(*folder, children);
        }
        // Counted before it is shown, so that the walk's taking never counts below zero.
        CountReady(*folder, 1);
        if (!MoveStatus(*folder, AheadFolder::Status::Reading, AheadFolder::Status::Ready)) {
            // Dropped by the walk meanwhile.
            CountReady(*folder, -1);
            children.resize(collected);
            Discard(*folder);
        }
        WakeWalkIfWaiting();
    }
}

bool ReadAhead::Shared::IsStuck(const AheadFolder& busy, std::int64_t now) {
    return busy.State.load(std::memory_order_relaxed) == AheadFolder::Status::Reading &&
           now - busy.AnsweredAtNs.load(std::memory_order_relaxed) >=
               std::chrono::nanoseconds(StuckAfter).count();
}

void ReadAhead::Shared::RequeueBatchesOfStuckWorkers() {
    const std::int64_t now = CoarseMonotonicNs();
    if (std::none_of(Busy.begin(), Busy.end(), [&](const std::shared_ptr<AheadFolder>& busy) {
            return IsStuck(*busy, now);
        })) {
        return;
    }
    std::vector<std::shared_ptr<AheadFolder>> waiting;
    for (const std::shared_ptr<AheadFolder>& busy : Busy) {
        if (busy->State.load(std::memory_order_relaxed) == AheadFolder::Status::Pending &&
            !busy->Requeued.exchange(true)) {
            waiting.push_back(busy);
        }
    }
    Enqueue(waiting);
}

void ReadAhead::Shared::Work() {
    // Below the walk: its workers never take its processor from it.
    RunCallingThreadBelowNormal();
    std::vector<std::shared_ptr<AheadFolder>> batch;
    std::vector<std::shared_ptr<AheadFolder>> children;
    // The thread's first allocation may open a file of the system's (the C library sizes its
    // memory pools by the processors); done before the walk starts, it never takes the
    // descriptor the walk needs under a tight open-file limit.
    batch.reserve(BatchSize);
    children.reserve(BatchSize * 4);
    std::unique_lock<std::mutex> lock(Mutex);
    ++Started;
    WorkerEnded.notify_all();
    for (;;) {
        ++Idle;
        const auto hasWork = [&] {
            return Stopping || (!Queue.empty() && (HasRoom() || WalkWaiting.load()));
        };
        // While other workers hold batches, a waiting one looks now and then whether one of
        // them is stuck in a call, and takes over what it has not started on.
        while (!WorkAvailable.wait_for(lock, StuckAfter, hasWork)) {
            RequeueBatchesOfStuckWorkers();
        }
        --Idle;
        if (Stopping) {
            break;
        }
        ClaimBatch(batch);
        lock.unlock();
        ReadBatch(batch, children);
        lock.lock();
        for (const std::shared_ptr<AheadFolder>& folder : batch) {
            Busy.erase(std::find(Busy.begin(), Busy.end(), folder));
        }
        batch.clear();
        Enqueue(children);
    }
    --Running;
    WorkerEnded.notify_all();
}
