#include "AheadReading.h"
#include "EntryStat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

void NetworkMountFolders::Assign(const std::vector<std::string>& folders,
                                 const std::string& walkRoot, const std::string& realRoot) {
    std::lock_guard<std::mutex> lock(mutex_);
    folders_ = std::unordered_set<std::string>(folders.begin(), folders.end());
    walkRoot_ = walkRoot;
    realRoot_ = realRoot;
}

bool NetworkMountFolders::Holds(const AheadFolder& folder, int fd) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (folders_.empty()) {
        return false;
    }
    const std::string& path = folder.Path;
    if (!folder.UnderLink && !realRoot_.empty() &&
        path.compare(0, walkRoot_.size(), walkRoot_) == 0) {
        // Below the root and no link on the way: the real path is the root's and the names.
        std::string real = realRoot_;
        std::size_t rest = walkRoot_.size();
        if (rest < path.size() && path[rest] == '/') {
            ++rest;
        }
        if (rest < path.size()) {
            if (real != "/") {
                real.push_back('/');
            }
            real.append(path, rest, std::string::npos);
        }
        return folders_.count(real) != 0;
    }
#ifdef __linux__
    // Reached through a link: the kernel's name of the open folder is its path without
    // links, as the mount table's.
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string real(4096, '\0');
    const ssize_t length = readlink(link.c_str(), real.data(), real.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= real.size()) {
        return true;
    }
    real.resize(static_cast<std::size_t>(length));
    return folders_.count(real) != 0;
#else
    (void)fd;
    return true;
#endif
}

namespace {

// A folder descriptor that is closed, and its share given back, when it goes.
class WorkerFd {
public:
    WorkerFd(int fd, WorkerDescriptors& descriptors) : fd_(fd), descriptors_(descriptors) {}
    ~WorkerFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        descriptors_.Give();
    }
    WorkerFd(const WorkerFd&) = delete;
    WorkerFd& operator=(const WorkerFd&) = delete;
    int Get() const { return fd_; }
    // Hands the descriptor over; the share stays taken until this object goes.
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
    WorkerDescriptors& descriptors_;
};

} // namespace

bool ReadFolderAheadByPath(AheadFolder& folder, const std::atomic<bool>& cancel,
                           const NetworkMountFolders& networkMountFolders,
                           WorkerDescriptors& descriptors) {
    // One buffer per worker, kept from folder to folder.
    thread_local DirectoryReader reader;
    if (!descriptors.TryTake()) {
        return false;
    }
    // Not through a link: the walk expects the folder that its parent listed. A probe goes
    // where the walk will go, a link's target included.
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (folder.IsProbe ? 0 : O_NOFOLLOW);
    WorkerFd fd(::open(folder.Path.c_str(), flags), descriptors);
    if (fd.Get() < 0) {
        return false;
    }
    ReadAhead::NoteAnswer(folder);
    struct stat st;
    if (fstat(fd.Get(), &st) != 0) {
        return false;
    }
    folder.Identity = IdentityOf(st);
    if (networkMountFolders.Holds(folder, fd.Get())) {
        return false;
    }
    if (!reader.Open(fd.Release())) {
        return false;
    }
    const AheadReadResult result =
        ReadFolderAhead(reader, folder, ReadAhead::MaxWorkerFolderEntries, &cancel);
    reader.Close();
    return result == AheadReadResult::Complete;
}

AheadReadResult ReadFolderAhead(DirectoryReader& reader, AheadFolder& folder,
                                std::size_t maxEntries, const std::atomic<bool>* cancel) {
    const int fd = reader.Fd();
    std::size_t childBytes = 0;
    // Names listed so far: the place of each among them, as the walk counts them.
    std::int64_t listed = 0;
    while (const char* name = reader.Read()) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            ReadAhead::Discard(folder);
            return AheadReadResult::Cancelled;
        }
        if (IsDotOrDotDot(name)) {
            continue;
        }
        if (folder.Entries.size() >= maxEntries) {
            ReadAhead::Discard(folder);
            return AheadReadResult::TooLarge;
        }
        const std::uint32_t ordinal = static_cast<std::uint32_t>(folder.Entries.size());
        AheadEntry entry;
        folder.LookingAt.store(listed++, std::memory_order_relaxed);
        const bool looked = LookAtEntry(fd, name, entry.Stat);
        folder.LookingAt.store(-1, std::memory_order_relaxed);
        ReadAhead::NoteAnswer(folder);
        if (!looked) {
            // Vanished since it was listed, or a folder that may be listed but not looked into.
            if (errno != ENOENT) {
                folder.Incomplete = true;
            }
            continue;
        }
        const std::size_t length = std::strlen(name);
        if (S_ISDIR(entry.Stat.Mode) && entry.Stat.Identity.Device == folder.Identity.Device) {
            // Folders on another device are mount points, which the walk examines itself.
            std::string path = folder.Path;
            if (path.empty() || path.back() != '/') {
                path.push_back('/');
            }
            path.append(name, length);
            std::vector<std::uint32_t> key = folder.Key;
            key.push_back(ordinal);
            entry.Child = ReadAhead::MakeFolder(path, std::move(key));
            if (entry.Child) {
                entry.Child->UnderLink = folder.UnderLink;
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
    return AheadReadResult::Complete;
}
