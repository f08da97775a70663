#include "ReadAhead.h"
#include "EntryStat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// A worker opens a folder by its whole path, which must stay below the kernel's limit. Deeper
// folders, and the ones below them, are read by the walk itself as it reaches them.
constexpr std::size_t MaxAheadPathBytes = 3072;
constexpr std::size_t MaxAheadDepth = 64;

// What the workers may hold read and not yet taken. Enough to keep them busy for a while
// ahead of the walk, small next to the memory of a machine that has such trees.
constexpr std::size_t MaxReadyBytes = 8u << 20;
constexpr std::size_t MaxReadyEntries = 64 * 1024;

FileIdentity IdentityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

void Discard(AheadFolder& folder) {
    std::vector<char>().swap(folder.Names);
    std::vector<AheadEntry>().swap(folder.Entries);
    folder.Incomplete = false;
    folder.Bytes = 0;
}

} // namespace

ReadAhead::ReadAhead(int workers) {
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
    DirectoryReader reader;
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
        const bool read = ReadByPath(reader, *folder);
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

bool ReadAhead::ReadByPath(DirectoryReader& reader, AheadFolder& folder) {
    // Not through a link: the walk expects the folder that its parent listed.
    const int fd =
        ::open(folder.Path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    folder.Identity = IdentityOf(st);
    if (!reader.Open(fd)) {
        return false;
    }
    const ReadResult result = ReadFolder(reader, folder, MaxWorkerFolderEntries, &cancel_);
    reader.Close();
    return result == ReadResult::Complete;
}

ReadAhead::ReadResult ReadAhead::ReadFolder(DirectoryReader& reader, AheadFolder& folder,
                                            std::size_t maxEntries,
                                            const std::atomic<bool>* cancel) {
    const int fd = reader.Fd();
    std::size_t childBytes = 0;
    while (const char* name = reader.Read()) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            Discard(folder);
            return ReadResult::Cancelled;
        }
        if (IsDotOrDotDot(name)) {
            continue;
        }
        if (folder.Entries.size() >= maxEntries) {
            Discard(folder);
            return ReadResult::TooLarge;
        }
        const std::uint32_t ordinal = static_cast<std::uint32_t>(folder.Entries.size());
        struct stat st;
        if (fstatat(fd, name, &st, LinkStatFlags) != 0) {
            // Vanished since it was listed, or a folder that may be listed but not looked into.
            if (errno != ENOENT) {
                folder.Incomplete = true;
            }
            continue;
        }
        AheadEntry entry;
        entry.Stat.Mode = st.st_mode;
        entry.Stat.SizeBytes = static_cast<std::int64_t>(st.st_size);
        entry.Stat.LastWriteTime = static_cast<std::int64_t>(st.st_mtime);
        entry.Stat.Identity = IdentityOf(st);
        const std::size_t length = std::strlen(name);
        if (S_ISLNK(st.st_mode)) {
            struct stat target;
            if (fstatat(fd, name, &target, TargetStatFlags) == 0) {
                entry.Stat.TargetKnown = true;
                entry.Stat.TargetMode = target.st_mode;
                entry.Stat.TargetIdentity = IdentityOf(target);
            }
        } else if (S_ISDIR(st.st_mode) && st.st_dev == folder.Identity.Device) {
            // Folders on another device are mount points, which the walk examines itself.
            std::string path = folder.Path;
            if (path.empty() || path.back() != '/') {
                path.push_back('/');
            }
            path.append(name, length);
            std::vector<std::uint32_t> key = folder.Key;
            key.push_back(ordinal);
            entry.Child = MakeFolder(path, std::move(key));
            if (entry.Child) {
                childBytes += sizeof(AheadFolder) + entry.Child->Path.capacity() +
                              entry.Child->Key.capacity() * sizeof(std::uint32_t);
            }
        }
        entry.NameOffset = static_cast<std::uint32_t>(folder.Names.size());
        entry.NameLength = static_cast<std::uint32_t>(length);
        folder.Names.insert(folder.Names.end(), name, name + length + 1);
        folder.Entries.push_back(std::move(entry));
    }
    if (reader.Failed()) {
        folder.Incomplete = true;
    }
    folder.Bytes =
        folder.Names.capacity() + folder.Entries.capacity() * sizeof(AheadEntry) + childBytes;
    return ReadResult::Complete;
}
