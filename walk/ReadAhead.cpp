#include "ReadAhead.h"

#include "platform/fs/CoarseClock.h"

#include "platform/fs/WorkerThreads.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

// A worker opens a folder by its whole path, which must stay below the kernel's limit. Deeper
// folders, and the ones below them, are read by the walk itself as it reaches them.
constexpr std::size_t MaxAheadPathBytes = 3072;
constexpr std::size_t MaxAheadDepth = 64;

// What the workers may hold read and not yet taken. Enough to keep them busy for a while
// ahead of the walk, small next to the memory of a machine that has such trees.
constexpr std::size_t MaxReadyBytes = 8u << 20;
constexpr std::size_t MaxReadyEntries = 64 * 1024;

// How often the walk, waiting for a folder, looks whether the worker's system still answers.
constexpr std::chrono::milliseconds AnswerCheckInterval{50};

struct LaterInWalk {
    bool operator()(const std::shared_ptr<AheadFolder>& a,
                    const std::shared_ptr<AheadFolder>& b) const {
        // The heap keeps the greatest on top; "greater" here is earlier in the walk.
        return std::lexicographical_compare(b->Key.begin(), b->Key.end(), a->Key.begin(),
                                            a->Key.end());
    }
};

} // namespace

struct ReadAhead::Shared {
    explicit Shared(FolderReader folderReader) : Reader(std::move(folderReader)) {}

    bool HasRoom() const { return ReadyBytes < MaxReadyBytes && ReadyEntries < MaxReadyEntries; }
    void QueueChildren(AheadFolder& folder);
    void Work();

    std::mutex Mutex;
    std::condition_variable WorkAvailable; // workers wait here for work and for room
    std::condition_variable FolderRead;    // the walk waits here for a folder being read
    std::condition_variable WorkerEnded;   // the end of the walk waits here, a moment
    // Pending folders, the one earliest in the walk's order on top. Records the walk has
    // taken or dropped meanwhile are skipped when they come up.
    std::vector<std::shared_ptr<AheadFolder>> Queue;
    std::size_t ReadyBytes = 0;
    std::size_t ReadyEntries = 0;
    bool Stopping = false;
    int Running = 0;
    // Workers waiting for work, and the folders being read now.
    int Idle = 0;
    std::vector<AheadFolder*> Busy;
    // The walk waits for a worker to read a folder: the workers read it even when the
    // memory they may hold is used up.
    bool WalkWaiting = false;
    std::atomic<bool> Cancel{false};
    const FolderReader Reader;
};

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

ReadAhead::ReadAhead(int workers, FolderReader reader)
    : shared_(std::make_shared<Shared>(std::move(reader))) {
    const int count = std::max(1, workers);
    workers_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        try {
            // Each worker holds the shared state, so that one left behind in a call that does
            // not return finds it there when the call does.
            workers_.emplace_back([shared = shared_] { shared->Work(); });
        } catch (const std::system_error&) {
            // The system refuses more threads: the walk goes on with those it has.
            break;
        }
        {
            std::lock_guard<std::mutex> lock(shared_->Mutex);
            ++shared_->Running;
        }
        // Named before the walk goes on, so that a look at the process tells the workers apart.
        NameThread(workers_.back(), "read-ahead");
    }
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

std::shared_ptr<AheadFolder> ReadAhead::MakeFolder(const std::string& path,
                                                   std::vector<std::uint32_t> key) {
    if (path.size() >= MaxAheadPathBytes || key.size() > MaxAheadDepth) {
        return nullptr;
    }
    auto folder = std::make_shared<AheadFolder>();
    folder->Path = path;
    folder->Key = std::move(key);
    return folder;
}

bool ReadAhead::AnyWorkerStuck() const {
    const std::int64_t now = CoarseMonotonicNs();
    for (const AheadFolder* busy : shared_->Busy) {
        if (now - busy->AnsweredAtNs.load(std::memory_order_relaxed) >=
            std::chrono::nanoseconds(StuckAfter).count()) {
            return true;
        }
    }
    return false;
}

void ReadAhead::AddWorkerForStuckOnes(std::unique_lock<std::mutex>&) {
    Shared& shared = *shared_;
    if (shared.Idle > 0 || workers_.size() >= MaxWorkers) {
        return;
    }
    const std::int64_t now = CoarseMonotonicNs();
    for (const AheadFolder* busy : shared.Busy) {
        if (now - busy->AnsweredAtNs.load(std::memory_order_relaxed) <
            std::chrono::nanoseconds(StuckAfter).count()) {
            return;
        }
    }
    // Every worker waits for a file system that does not answer: another takes their place.
    try {
        workers_.emplace_back([shared = shared_] { shared->Work(); });
        ++shared.Running;
    } catch (const std::system_error&) {
    }
}

ReadAhead::Claim ReadAhead::WaitForWorker(AheadFolder& folder, std::unique_lock<std::mutex>& lock) {
    Shared& shared = *shared_;
    shared.WalkWaiting = true;
    shared.WorkAvailable.notify_all();
    while (folder.State == AheadFolder::Status::Pending ||
           folder.State == AheadFolder::Status::Reading) {
        const std::int64_t silentNs =
            CoarseMonotonicNs() - folder.AnsweredAtNs.load(std::memory_order_relaxed);
        if (folder.State == AheadFolder::Status::Reading &&
            silentNs >= std::chrono::nanoseconds(MaxAnswerWait).count()) {
            folder.State = AheadFolder::Status::Dropped;
            shared.WalkWaiting = false;
            return Claim::NoAnswer;
        }
        if (folder.State == AheadFolder::Status::Pending) {
            AddWorkerForStuckOnes(lock);
        }
        if (shared.FolderRead.wait_for(lock, AnswerCheckInterval) == std::cv_status::timeout &&
            waitHook_) {
            lock.unlock();
            const bool goOn = waitHook_();
            lock.lock();
            if (!goOn && (folder.State == AheadFolder::Status::Pending ||
                          folder.State == AheadFolder::Status::Reading)) {
                folder.State = AheadFolder::Status::Dropped;
                shared.WalkWaiting = false;
                return Claim::Stopped;
            }
        }
    }
    shared.WalkWaiting = false;
    return Claim::Ready;
}

ReadAhead::Claim ReadAhead::Take(AheadFolder& folder) {
    Shared& shared = *shared_;
    std::unique_lock<std::mutex> lock(shared.Mutex);
    // A folder no worker has started on is the walk's to read, which is quickest, unless a
    // worker waits for a file system that does not answer: then any folder may lead there.
    if ((folder.State == AheadFolder::Status::Pending && folder.Queued && AnyWorkerStuck()) ||
        folder.State == AheadFolder::Status::Reading) {
        const Claim waited = WaitForWorker(folder, lock);
        if (waited == Claim::NoAnswer || waited == Claim::Stopped) {
            return waited;
        }
    }
    const bool ready = folder.State == AheadFolder::Status::Ready;
    folder.State = AheadFolder::Status::Taken;
    if (!ready) {
        return Claim::ReadYourself;
    }
    const bool wasFull = !shared.HasRoom();
    shared.ReadyBytes -= folder.Bytes;
    shared.ReadyEntries -= folder.Entries.size();
    if (wasFull && shared.HasRoom()) {
        shared.WorkAvailable.notify_all();
    }
    return Claim::Ready;
}

ReadAhead::Claim ReadAhead::Probe(const std::shared_ptr<AheadFolder>& folder) {
    Shared& shared = *shared_;
    std::unique_lock<std::mutex> lock(shared.Mutex);
    NoteAnswer(*folder);
    folder->IsProbe = true;
    folder->Queued = true;
    shared.Queue.push_back(folder);
    std::push_heap(shared.Queue.begin(), shared.Queue.end(), LaterInWalk{});
    shared.WorkAvailable.notify_all();
    const Claim waited = WaitForWorker(*folder, lock);
    if (waited == Claim::NoAnswer || waited == Claim::Stopped) {
        return waited;
    }
    const bool ready = folder->State == AheadFolder::Status::Ready;
    folder->State = AheadFolder::Status::Taken;
    if (ready) {
        shared.ReadyBytes -= folder->Bytes;
        shared.ReadyEntries -= folder->Entries.size();
        shared.WorkAvailable.notify_all();
    }
    return ready ? Claim::Ready : Claim::ReadYourself;
}

std::shared_ptr<AheadFolder> ReadAhead::TakeListed(std::shared_ptr<AheadFolder> listed,
                                                   Claim& claim) {
    claim = Take(*listed);
    if (claim == Claim::ReadYourselfAnew) {
        // The worker still writes into its record; the walk fills one of its own.
        listed = MakeFolder(listed->Path, listed->Key);
        if (listed) {
            Take(*listed);
        }
    }
    return listed;
}

std::shared_ptr<AheadFolder> ReadAhead::TakeNew(const std::string& path, const AheadFolder* parent,
                                                std::uint32_t ordinal) {
    std::vector<std::uint32_t> key;
    if (parent != nullptr) {
        key = parent->Key;
        key.push_back(ordinal);
    }
    std::shared_ptr<AheadFolder> folder = MakeFolder(path, std::move(key));
    if (folder) {
        Take(*folder);
    }
    return folder;
}

void ReadAhead::Publish(AheadFolder& folder) {
    std::lock_guard<std::mutex> lock(shared_->Mutex);
    shared_->QueueChildren(folder);
}

void ReadAhead::Leave(AheadFolder& folder) {
    Shared& shared = *shared_;
    std::vector<AheadEntry> entries;
    {
        std::lock_guard<std::mutex> lock(shared.Mutex);
        const bool wasFull = !shared.HasRoom();
        std::vector<AheadFolder*> below{&folder};
        while (!below.empty()) {
            AheadFolder* current = below.back();
            below.pop_back();
            for (AheadEntry& entry : current->Entries) {
                if (!entry.Child) {
                    continue;
                }
                AheadFolder& child = *entry.Child;
                switch (child.State) {
                case AheadFolder::Status::Ready:
                    shared.ReadyBytes -= child.Bytes;
                    shared.ReadyEntries -= child.Entries.size();
                    below.push_back(&child);
                    child.State = AheadFolder::Status::Dropped;
                    break;
                case AheadFolder::Status::Pending:
                case AheadFolder::Status::Reading:
                    // A worker that is reading it throws its result away.
                    child.State = AheadFolder::Status::Dropped;
                    break;
                default:
                    break;
                }
            }
        }
        entries.swap(folder.Entries);
        if (wasFull && shared.HasRoom()) {
            shared.WorkAvailable.notify_all();
        }
    }
    // The records below are freed outside the lock; the queue may still hold some of them.
    entries.clear();
    std::vector<char>().swap(folder.Names);
    folder.Bytes = 0;
}

void ReadAhead::Shared::QueueChildren(AheadFolder& folder) {
    bool queued = false;
    for (AheadEntry& entry : folder.Entries) {
        if (entry.Child) {
            entry.Child->Queued = true;
            Queue.push_back(entry.Child);
            std::push_heap(Queue.begin(), Queue.end(), LaterInWalk{});
            queued = true;
        }
    }
    // Only a waiting worker needs waking: a busy one comes back to the queue by itself, and a
    // wake-up is a system call.
    if (queued && Idle > 0) {
        WorkAvailable.notify_all();
    }
}

void ReadAhead::Shared::Work() {
    // Below the walk: its workers never take its processor from it.
    RunCallingThreadBelowNormal();
    std::unique_lock<std::mutex> lock(Mutex);
    for (;;) {
        ++Idle;
        WorkAvailable.wait(
            lock, [&] { return Stopping || (!Queue.empty() && (HasRoom() || WalkWaiting)); });
        --Idle;
        if (Stopping) {
            break;
        }
        std::pop_heap(Queue.begin(), Queue.end(), LaterInWalk{});
        std::shared_ptr<AheadFolder> folder = std::move(Queue.back());
        Queue.pop_back();
        if (folder->State != AheadFolder::Status::Pending) {
            continue;
        }
        folder->State = AheadFolder::Status::Reading;
        NoteAnswer(*folder);
        Busy.push_back(folder.get());
        lock.unlock();
        const bool read = Reader(*folder, Cancel);
        lock.lock();
        Busy.erase(std::find(Busy.begin(), Busy.end(), folder.get()));
        if (folder->State == AheadFolder::Status::Dropped || !read) {
            Discard(*folder);
            if (folder->State == AheadFolder::Status::Reading) {
                folder->State = AheadFolder::Status::Failed;
            }
        } else {
            folder->State = AheadFolder::Status::Ready;
            ReadyBytes += folder->Bytes;
            ReadyEntries += folder->Entries.size();
            if (!folder->IsProbe) {
                QueueChildren(*folder);
            }
        }
        if (WalkWaiting) {
            FolderRead.notify_all();
        }
    }
    --Running;
    WorkerEnded.notify_all();
}
