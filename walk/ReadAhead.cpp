// The walk's side of the read-ahead: taking folders from the workers, and waiting for them
// no longer than their file systems answer.
#include "AheadShared.h"

#include "platform/fs/CoarseClock.h"
#include "platform/fs/WorkerThreads.h"

#include <system_error>
#include <utility>

namespace {

// How often the walk, waiting for a folder, looks whether the worker's system still answers.
constexpr std::chrono::milliseconds AnswerCheckInterval{50};
// How long the walk waits without sleeping for a worker reading a folder: at most about what
// reading a small folder costs, at least a moment.
constexpr std::chrono::nanoseconds MaxSpinWait{50'000};
constexpr std::chrono::nanoseconds MinSpinWait{2'000};

// A worker reading a folder ahead of the walk must not take more than this from the tree's
// depth or path length: deeper folders are read by the walk itself as it reaches them.
constexpr std::size_t MaxAheadPathBytes = 3072;
constexpr std::size_t MaxAheadDepth = 64;

bool IsWaitedFor(AheadFolder::Status status) {
    return status == AheadFolder::Status::Pending || status == AheadFolder::Status::Reading;
}

} // namespace

int ReadAhead::DefaultWorkerCount() {
    const unsigned cores = ProcessorsAvailable();
    return cores > 1 ? static_cast<int>(std::min(cores, 64u)) : 1;
}

void ReadAhead::Discard(AheadFolder& folder) {
    std::vector<char>().swap(folder.Names);
    std::vector<AheadEntry>().swap(folder.Entries);
    folder.Incomplete = false;
    folder.Bytes = 0;
}

void ReadAhead::NoteAnswer(AheadFolder& folder) {
    folder.AnsweredAtNs.store(CoarseMonotonicNs(), std::memory_order_relaxed);
}

ReadAhead::ReadAhead(int workers, FolderReader reader, std::optional<MachineLoad> load)
    : shared_(std::make_shared<Shared>(std::move(reader))),
      load_(load ? *load : MachineLoad(CoarseMonotonicNs())) {
    SetAlone(load_.LeavesWorkersTooLittle(CoarseMonotonicNs()));
    const int count = std::max(1, workers);
    workers_.reserve(static_cast<std::size_t>(count));
    {
        // The walk waits for them below. On a busy machine a new thread goes to another
        // processor and waits there for milliseconds, while the walk leaves its own idle:
        // there the workers start on the walk's processor. On a quiet one a new thread goes
        // to a free processor at once, and is left to.
        std::optional<ThreadsStartedBesideCaller> beside;
        if (alone_) {
            beside.emplace();
            shared_->Processors = beside->Before();
        }
        for (int i = 0; i < count; ++i) {
            try {
                // Each worker holds the shared state, so that one left behind in a call that
                // does not return finds it there when the call does.
                workers_.emplace_back([shared = shared_] { shared->Work(); });
            } catch (const std::system_error&) {
                // The system refuses more threads: the walk goes on with those it has.
                break;
            }
            {
                std::lock_guard<std::mutex> lock(shared_->Mutex);
                ++shared_->Running;
            }
            // Named before the walk goes on, so that a look at the process tells the workers
            // apart.
            NameThread(workers_.back(), "read-ahead");
        }
    }
    // Started before the walk opens anything (see Shared::Work), but not waited for long.
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    shared_->WorkerEnded.wait_for(lock, std::chrono::seconds(1), [&] {
        return shared_->Started >= static_cast<int>(workers_.size());
    });
}

ReadAhead::~ReadAhead() {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    shared_->Stopping = true;
    shared_->Cancel.store(true, std::memory_order_relaxed);
    shared_->WorkAvailable.notify_all();
    const bool allEnded =
        shared_->WorkerEnded.wait_for(lock, MaxEndWait, [&] { return shared_->Running == 0; });
    lock.unlock();
    for (std::thread& worker : workers_) {
        if (allEnded) {
            worker.join();
        } else {
            worker.detach();
        }
    }
}

std::shared_ptr<AheadFolder> ReadAhead::MakeFolder(std::string path,
                                                   std::vector<std::uint32_t> key) {
    if (path.size() >= MaxAheadPathBytes || key.size() > MaxAheadDepth) {
        return nullptr;
    }
    auto folder = std::make_shared<AheadFolder>();
    folder->Path = std::move(path);
    folder->Key = std::move(key);
    return folder;
}

std::shared_ptr<AheadFolder> ReadAhead::MakeProbe(const std::string& path) {
    auto folder = std::make_shared<AheadFolder>();
    folder->Path = path;
    folder->IsProbe = true;
    return folder;
}

bool ReadAhead::AnyWorkerStuck() const {
    const std::int64_t now = CoarseMonotonicNs();
    return shared_->AnyBusy([&](const AheadFolder& busy) { return Shared::IsStuck(busy, now); });
}

bool ReadAhead::WorkerSuspectedStuck() {
    const std::int64_t now = CoarseMonotonicNs();
    if (now - stuckCheckedAtNs_ >= std::chrono::nanoseconds(StuckCheckInterval).count()) {
        std::lock_guard<std::mutex> lock(shared_->Mutex);
        stuckFound_ = AnyWorkerStuck();
        stuckCheckedAtNs_ = now;
    }
    return stuckFound_;
}

void ReadAhead::AddWorkerForStuckOnes(std::unique_lock<std::mutex>&) {
    Shared& shared = *shared_;
    if (shared.Idle > 0 || workers_.size() >= MaxWorkers) {
        return;
    }
    const std::int64_t now = CoarseMonotonicNs();
    int stuck = 0;
    shared.AnyBusy([&](const AheadFolder& busy) {
        stuck += Shared::IsStuck(busy, now);
        return false;
    });
    if (stuck < shared.Running) {
        return;
    }
    // Every worker waits for a file system that does not answer: another takes their place.
    try {
        workers_.emplace_back([shared = shared_] { shared->Work(); });
        ++shared.Running;
    } catch (const std::system_error&) {
    }
}

void ReadAhead::SetAlone(bool alone) {
    if (alone == alone_) {
        return;
    }
    alone_ = alone;
    shared_->Paused.store(alone, std::memory_order_relaxed);
    if (!alone) {
        std::lock_guard<std::mutex> lock(shared_->Mutex);
        if (shared_->Idle > 0) {
            shared_->WorkAvailable.notify_all();
        }
    }
}

bool ReadAhead::WalkAlone() {
    // Not while a worker waits for a file system that does not answer: the walk then waits
    // for workers to touch what it comes to.
    SetAlone(!latencyBound_ && load_.LeavesWorkersTooLittle(CoarseMonotonicNs()) && !stuckFound_);
    return alone_;
}

ReadAhead::Claim ReadAhead::WaitForWorker(AheadFolder& folder, std::unique_lock<std::mutex>& lock) {
    Shared& shared = *shared_;
    shared.WalkWaiting.store(true);
    shared.WorkAvailable.notify_all();
    const std::int64_t waitStartNs = CoarseMonotonicNs();
    for (AheadFolder::Status status = folder.State.load(); IsWaitedFor(status);
         status = folder.State.load()) {
        const std::int64_t silentNs =
            CoarseMonotonicNs() - folder.AnsweredAtNs.load(std::memory_order_relaxed);
        // A folder no worker could come to (every one stuck, and no thread to be had for
        // another) is given up as well: the walk never waits longer.
        const std::int64_t waitedNs = CoarseMonotonicNs() - waitStartNs;
        if ((status == AheadFolder::Status::Reading &&
             silentNs >= std::chrono::nanoseconds(MaxAnswerWait).count()) ||
            waitedNs >= std::chrono::nanoseconds(MaxAnswerWait).count() * 2) {
            if (MoveStatus(folder, status, AheadFolder::Status::Dropped)) {
                shared.WalkWaiting.store(false);
                return Claim::NoAnswer;
            }
            continue;
        }
        if (status == AheadFolder::Status::Pending) {
            // It may wait in the batch of a worker that is stuck: any worker may read it.
            if (Shared::MayRequeue(folder, CoarseMonotonicNs())) {
                std::vector<std::shared_ptr<AheadFolder>> again{folder.shared_from_this()};
                shared.Enqueue(again);
            }
            AddWorkerForStuckOnes(lock);
        }
        if (shared.FolderRead.wait_for(lock, AnswerCheckInterval) == std::cv_status::timeout &&
            waitHook_) {
            lock.unlock();
            const bool goOn = waitHook_();
            lock.lock();
            const AheadFolder::Status now = folder.State.load();
            if (!goOn && IsWaitedFor(now) &&
                MoveStatus(folder, now, AheadFolder::Status::Dropped)) {
                shared.WalkWaiting.store(false);
                return Claim::Stopped;
            }
        }
    }
    shared.WalkWaiting.store(false);
    return Claim::Ready;
}

std::optional<ReadAhead::Claim> ReadAhead::WaitUnderLock(AheadFolder& folder) {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    const Claim waited = WaitForWorker(folder, lock);
    if (waited == Claim::NoAnswer || waited == Claim::Stopped) {
        return waited;
    }
    return std::nullopt;
}

std::optional<ReadAhead::Claim> ReadAhead::TakeWhileRead(AheadFolder& folder) {
    // A worker finishes a small folder in a moment: the walk waits that long without
    // sleeping, which would cost two system calls and the processor's cache. Never does it
    // read the folder itself: the worker's call may be one that does not return. Where the
    // folders take longer, the time spent so is a processor's time lost to the workers: the
    // wait halves each time it was in vain and doubles as it is not.
    const auto until = std::chrono::steady_clock::now() + spinWait_;
    for (int spins = 1;; ++spins) {
        if (folder.State.load(std::memory_order_acquire) != AheadFolder::Status::Reading) {
            spinWait_ = std::min(MaxSpinWait, spinWait_ * 2);
            return std::nullopt;
        }
        if (spins % 64 == 0 && std::chrono::steady_clock::now() >= until) {
            spinWait_ = std::max(MinSpinWait, spinWait_ / 2);
            break;
        }
    }
    // Rather than sleep, the walk reads the next folders in line itself, for a moment at most:
    // the walk looks at its stop and at the worker's answers only while it waits.
    const auto helpUntil = std::chrono::steady_clock::now() + MaxHelpTime;
    while (folder.State.load(std::memory_order_acquire) == AheadFolder::Status::Reading) {
        if (std::chrono::steady_clock::now() >= helpUntil || !ReadNextInLine(folder)) {
            return WaitUnderLock(folder);
        }
    }
    return std::nullopt;
}

ReadAhead::Claim ReadAhead::Take(AheadFolder& folder) {
    Shared& shared = *shared_;
    for (;;) {
        const AheadFolder::Status status = folder.State.load(std::memory_order_acquire);
        std::optional<Claim> claim;
        switch (status) {
        case AheadFolder::Status::Ready:
            if (MoveStatus(folder, status, AheadFolder::Status::Taken)) {
                const bool wasFull = !shared.HasRoom();
                shared.CountReady(folder, -1);
                shared.WakeWorkersIfRoomReturned(wasFull);
                return Claim::Ready;
            }
            break;
        case AheadFolder::Status::Pending:
            // No worker has started on it: it is the walk's to read, which is quickest, unless
            // a worker waits for a file system that does not answer: then any queued folder
            // may lead there.
            if (folder.Queued.load(std::memory_order_relaxed) && WorkerSuspectedStuck()) {
                // Only a worker touches it now, whatever the load.
                SetAlone(false);
                claim = WaitUnderLock(folder);
            } else if (MoveStatus(folder, status, AheadFolder::Status::Taken)) {
                return Claim::ReadYourself;
            }
            break;
        case AheadFolder::Status::Reading:
            claim = TakeWhileRead(folder);
            break;
        case AheadFolder::Status::Failed:
            if (MoveStatus(folder, status, AheadFolder::Status::Taken)) {
                return Claim::ReadYourself;
            }
            break;
        default:
            return Claim::ReadYourself;
        }
        if (claim) {
            return *claim;
        }
    }
}

ReadAhead::Claim ReadAhead::Probe(const std::shared_ptr<AheadFolder>& folder) {
    Shared& shared = *shared_;
    std::unique_lock<std::mutex> lock(shared.Mutex);
    NoteAnswer(*folder);
    folder->IsProbe = true;
    folder->Queued.store(true);
    std::vector<std::shared_ptr<AheadFolder>> one{folder};
    shared.Enqueue(one);
    shared.WorkAvailable.notify_all();
    const Claim waited = WaitForWorker(*folder, lock);
    if (waited == Claim::NoAnswer || waited == Claim::Stopped) {
        return waited;
    }
    lock.unlock();
    if (MoveStatus(*folder, AheadFolder::Status::Ready, AheadFolder::Status::Taken)) {
        const bool wasFull = !shared.HasRoom();
        shared.CountReady(*folder, -1);
        shared.WakeWorkersIfRoomReturned(wasFull);
        return Claim::Ready;
    }
    folder->State.store(AheadFolder::Status::Taken);
    return Claim::ReadYourself;
}

std::shared_ptr<AheadFolder> ReadAhead::TakeListed(std::shared_ptr<AheadFolder> listed,
                                                   Claim& claim) {
    claim = Take(*listed);
    return listed;
}

std::shared_ptr<AheadFolder> ReadAhead::TakeNew(const std::string& path,
                                                std::vector<std::uint32_t> key) {
    std::shared_ptr<AheadFolder> folder = MakeFolder(path, std::move(key));
    if (folder) {
        folder->State.store(AheadFolder::Status::Taken, std::memory_order_relaxed);
    }
    return folder;
}

void ReadAhead::Publish(AheadFolder& folder) {
    std::vector<std::shared_ptr<AheadFolder>> children;
    Shared::CollectChildren(folder, children);
    if (!children.empty()) {
        std::lock_guard<std::mutex> lock(shared_->Mutex);
        shared_->Enqueue(children);
    }
}

namespace {

// Drops `child`, which the walk went past. True when it was ready: its own subfolders are
// then the walk's to drop too.
bool DropRecord(AheadFolder& child) {
    for (;;) {
        const AheadFolder::Status status = child.State.load(std::memory_order_acquire);
        if (status != AheadFolder::Status::Ready && !IsWaitedFor(status)) {
            return false;
        }
        // A worker that is reading it throws its result away.
        if (MoveStatus(child, status, AheadFolder::Status::Dropped)) {
            return status == AheadFolder::Status::Ready;
        }
    }
}

} // namespace

void ReadAhead::Leave(AheadFolder& folder) {
    Shared& shared = *shared_;
    const bool wasFull = !shared.HasRoom();
    std::vector<AheadFolder*> below{&folder};
    while (!below.empty()) {
        AheadFolder* current = below.back();
        below.pop_back();
        for (AheadEntry& entry : current->Entries) {
            if (entry.Child && DropRecord(*entry.Child)) {
                shared.CountReady(*entry.Child, -1);
                below.push_back(entry.Child.get());
            }
        }
    }
    std::vector<AheadEntry>().swap(folder.Entries);
    std::vector<char>().swap(folder.Names);
    folder.Bytes = 0;
    shared.WakeWorkersIfRoomReturned(wasFull);
}
