#include "ReadAhead.h"

#include <algorithm>
#include <system_error>
#include <utility>
#ifdef __linux__
#include <pthread.h>
#endif

namespace {

// A worker opens a folder by its whole path, which must stay below the kernel's limit. Deeper
// folders, and the ones below them, are read by the walk itself as it reaches them.
constexpr std::size_t MaxAheadPathBytes = 3072;
constexpr std::size_t MaxAheadDepth = 64;

// What the workers may hold read and not yet taken. Enough to keep them busy for a while
// ahead of the walk, small next to the memory of a machine that has such trees.
constexpr std::size_t MaxReadyBytes = 8u << 20;
constexpr std::size_t MaxReadyEntries = 64 * 1024;

} // namespace

int ReadAhead::DefaultWorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? static_cast<int>(std::min(cores, 64u)) : 1;
}

void ReadAhead::Discard(AheadFolder& folder) {
    std::vector<char>().swap(folder.Names);
    std::vector<AheadEntry>().swap(folder.Entries);
    folder.Incomplete = false;
    folder.Bytes = 0;
}

ReadAhead::ReadAhead(int workers, FolderReader reader) : reader_(std::move(reader)) {
    const int count = std::max(1, workers);
    workers_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        try {
            workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // The system refuses more threads: the walk goes on with those it has.
            break;
        }
#ifdef __linux__
        // Named before the walk goes on, so that a look at the process tells the workers apart.
        pthread_setname_np(workers_.back().native_handle(), "read-ahead");
#endif
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        cancel_.store(true, std::memory_order_relaxed);
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
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

bool ReadAhead::LaterInWalk::operator()(const std::shared_ptr<AheadFolder>& a,
                                        const std::shared_ptr<AheadFolder>& b) const {
    // The heap keeps the greatest on top; "greater" here is earlier in the walk.
    return std::lexicographical_compare(b->Key.begin(), b->Key.end(), a->Key.begin(), a->Key.end());
}

ReadAhead::Claim ReadAhead::Take(AheadFolder& folder) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!folderRead_.wait_for(lock, MaxWalkWait,
                              [&] { return folder.State != AheadFolder::Status::Reading; })) {
        folder.State = AheadFolder::Status::Dropped;
        return Claim::ReadYourselfAnew;
    }
    const bool ready = folder.State == AheadFolder::Status::Ready;
    folder.State = AheadFolder::Status::Taken;
    if (!ready) {
        return Claim::ReadYourself;
    }
    const bool wasFull = !HasRoom();
    readyBytes_ -= folder.Bytes;
    readyEntries_ -= folder.Entries.size();
    if (wasFull && HasRoom()) {
        workAvailable_.notify_all();
    }
    return Claim::Ready;
}

std::shared_ptr<AheadFolder> ReadAhead::TakeListed(std::shared_ptr<AheadFolder> listed,
                                                   bool& ready) {
    const Claim claim = Take(*listed);
    ready = claim == Claim::Ready;
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
    std::lock_guard<std::mutex> lock(mutex_);
    QueueChildren(folder);
}

void ReadAhead::Leave(AheadFolder& folder) {
    std::vector<AheadEntry> entries;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool wasFull = !HasRoom();
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
                    readyBytes_ -= child.Bytes;
                    readyEntries_ -= child.Entries.size();
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
        if (wasFull && HasRoom()) {
            workAvailable_.notify_all();
        }
    }
    // The records below are freed outside the lock; the queue may still hold some of them.
    entries.clear();
    std::vector<char>().swap(folder.Names);
    folder.Bytes = 0;
}

bool ReadAhead::HasRoom() const {
    return readyBytes_ < MaxReadyBytes && readyEntries_ < MaxReadyEntries;
}

void ReadAhead::QueueChildren(AheadFolder& folder) {
    bool queued = false;
    for (AheadEntry& entry : folder.Entries) {
        if (entry.Child) {
            queue_.push_back(entry.Child);
            std::push_heap(queue_.begin(), queue_.end(), LaterInWalk{});
            queued = true;
        }
    }
    if (queued) {
        workAvailable_.notify_all();
    }
}

void ReadAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workAvailable_.wait(lock, [&] { return stopping_ || (!queue_.empty() && HasRoom()); });
        if (stopping_) {
            return;
        }
        std::pop_heap(queue_.begin(), queue_.end(), LaterInWalk{});
        std::shared_ptr<AheadFolder> folder = std::move(queue_.back());
        queue_.pop_back();
        if (folder->State != AheadFolder::Status::Pending) {
            continue;
        }
        folder->State = AheadFolder::Status::Reading;
        lock.unlock();
        const bool read = reader_(*folder, cancel_);
        lock.lock();
        if (folder->State == AheadFolder::Status::Dropped || !read) {
            Discard(*folder);
            if (folder->State == AheadFolder::Status::Reading) {
                folder->State = AheadFolder::Status::Failed;
            }
        } else {
            folder->State = AheadFolder::Status::Ready;
            readyBytes_ += folder->Bytes;
            readyEntries_ += folder->Entries.size();
            QueueChildren(*folder);
        }
        folderRead_.notify_all();
    }
}
