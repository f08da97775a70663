// The read-ahead's workers: they claim folders in batches, read them and hand them over.
#include "AheadShared.h"

#include "platform/fs/CoarseClock.h"
#include "platform/fs/WorkerThreads.h"

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
void ReadAhead::Shared::ClaimBatch(FolderList& batch, FolderList& busy) {
    while (!Queue.empty() && batch.size() < BatchSize && !HeldBack(*Queue.front())) {
        std::pop_heap(Queue.begin(), Queue.end(), LaterInWalk{});
        std::shared_ptr<AheadFolder> folder = std::move(Queue.back());
        Queue.pop_back();
        if (folder->State.load(std::memory_order_relaxed) == AheadFolder::Status::Pending) {
            busy.push_back(folder);
            batch.push_back(std::move(folder));
        }
    }
}

// Reads `folder` unless the walk or another worker has taken it: from the held folder above
// it when there is one (`parent`), else by its path, and hands it over as soon as it is read.
// Its subfolders go to `children`; it may stay open in `held` for them. False when it was not
// read.
bool ReadAhead::Shared::ReadOne(AheadFolder& folder, HeldFolder* parent,
                                std::unique_ptr<HeldFolder>& held, FolderList& children) {
    // Stamped before the folder shows as being read: a walk that waits for it counts the
    // system's silence from here, never from a stamp of 0.
    if (folder.State.load(std::memory_order_relaxed) != AheadFolder::Status::Pending) {
        return false;
    }
    NoteAnswer(folder);
    if (Cancel.load(std::memory_order_relaxed) ||
        !MoveStatus(folder, AheadFolder::Status::Pending, AheadFolder::Status::Reading)) {
        return false;
    }
    folder.BeingRead.store(true, std::memory_order_relaxed);
    const bool read =
        parent != nullptr ? parent->ReadChild(folder, Cancel) : Reader(folder, Cancel, held);
    folder.BeingRead.store(false, std::memory_order_relaxed);
    if (!read) {
        held.reset();
        Discard(folder);
        MoveStatus(folder, AheadFolder::Status::Reading, AheadFolder::Status::Failed);
        WakeWalkIfWaiting();
        return false;
    }
    const std::size_t collected = children.size();
    if (!folder.IsProbe) {
        CollectChildren(folder, children);
    }
    // Counted before it is shown, so that the walk's taking never counts below zero.
    CountReady(folder, 1);
    const bool handedOver =
        MoveStatus(folder, AheadFolder::Status::Reading, AheadFolder::Status::Ready);
    if (!handedOver) {
        // Dropped by the walk meanwhile.
        CountReady(folder, -1);
        children.resize(collected);
        held.reset();
        Discard(folder);
    }
    WakeWalkIfWaiting();
    return handedOver;
}

// Reads the subfolders `kids` of the folder `held` from it, the last first: the walk takes
// them from the first, so the two meet in the middle instead of waiting for each other. Those
// not read go to `children`, for the queue.
void ReadAhead::Shared::ReadChildrenFromHeld(HeldFolder& held, FolderList kids, FolderList& busy,
                                             FolderList& children) {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        busy.insert(busy.end(), kids.begin(), kids.end());
    }
    std::unique_ptr<HeldFolder> none;
    for (auto kid = kids.rbegin(); kid != kids.rend(); ++kid) {
        if (!MayReadOn(**kid)) {
            children.insert(children.end(), kid, kids.rend());
            break;
        }
        ReadOne(**kid, &held, none, children);
    }
}

void ReadAhead::Shared::ReadBatch(const FolderList& batch, FolderList& busy, FolderList& children) {
    for (const std::shared_ptr<AheadFolder>& folder : batch) {
        if (HeldBack(*folder)) {
            // Left pending: the walk reads them itself.
            break;
        }
        const std::size_t collected = children.size();
        std::unique_ptr<HeldFolder> held;
        if (ReadOne(*folder, nullptr, held, children) && held && children.size() > collected) {
            FolderList kids(children.begin() + static_cast<std::ptrdiff_t>(collected),
                            children.end());
            children.resize(collected);
            ReadChildrenFromHeld(*held, std::move(kids), busy, children);
        }
    }
}

bool ReadAhead::Shared::MayRequeue(AheadFolder& folder, std::int64_t now) {
    std::int64_t last = folder.RequeuedAtNs.load(std::memory_order_relaxed);
    if (now - last < std::chrono::nanoseconds(StuckAfter).count()) {
        return false;
    }
    return folder.RequeuedAtNs.compare_exchange_strong(last, now);
}

bool ReadAhead::Shared::IsStuck(const AheadFolder& busy, std::int64_t now) {
    return busy.BeingRead.load(std::memory_order_relaxed) &&
           now - busy.AnsweredAtNs.load(std::memory_order_relaxed) >=
               std::chrono::nanoseconds(StuckAfter).count();
}

void ReadAhead::Shared::RequeueBatchesOfStuckWorkers() {
    const std::int64_t now = CoarseMonotonicNs();
    if (!AnyBusy([&](const AheadFolder& busy) { return IsStuck(busy, now); })) {
        return;
    }
    FolderList waiting;
    for (const FolderList* list : BusyLists) {
        for (const std::shared_ptr<AheadFolder>& busy : *list) {
            if (busy->State.load(std::memory_order_relaxed) == AheadFolder::Status::Pending &&
                MayRequeue(*busy, now)) {
                waiting.push_back(busy);
            }
        }
    }
    Enqueue(waiting);
}

void ReadAhead::Shared::Work() {
    // Below the walk: its workers never take its processor from it. Started beside it, on
    // its processor, a worker runs wherever the process may from then on.
    RunCallingThreadOn(Processors);
    RunCallingThreadBelowNormal();
    KeepCallingThreadDescriptorsApart();
    FolderList batch;
    FolderList children;
    FolderList busy;
    // The thread's first allocation may open a file of the system's (the C library sizes its
    // memory pools by the processors); done before the walk starts, it never takes the
    // descriptor the walk needs under a tight open-file limit.
    batch.reserve(BatchSize);
    children.reserve(BatchSize * 4);
    busy.reserve(BatchSize * 4);
    std::unique_lock<std::mutex> lock(Mutex);
    BusyLists.push_back(&busy);
    ++Started;
    WorkerEnded.notify_all();
    for (;;) {
        ++Idle;
        const auto hasWork = [&] {
            return Stopping || (!Queue.empty() && MayReadOn(*Queue.front()));
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
        ClaimBatch(batch, busy);
        lock.unlock();
        ReadBatch(batch, busy, children);
        lock.lock();
        busy.clear();
        batch.clear();
        Enqueue(children);
    }
    BusyLists.erase(std::find(BusyLists.begin(), BusyLists.end(), &busy));
    --Running;
    WorkerEnded.notify_all();
}
