#include "AheadReading.h"
#include "EntryStat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void NetworkMountFolders::Assign(const std::vector<std::string>& folders) {
    std::lock_guard<std::mutex> lock(mutex_);
    folders_ = std::unordered_set<std::string>(folders.begin(), folders.end());
}

bool NetworkMountFolders::Holds(int fd) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (folders_.empty()) {
        return false;
    }
#ifdef __linux__
    // The kernel's name of the open folder is its path without links, as the mount table's.
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string path(4096, '\0');
    const ssize_t length = readlink(link.c_str(), path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
        return true;
    }
    path.resize(static_cast<std::size_t>(length));
    return folders_.count(path) != 0;
#else
    (void)fd;
    return true;
#endif
}

bool ReadFolderAheadByPath(AheadFolder& folder, const std::atomic<bool>& cancel,
                           const NetworkMountFolders& networkMountFolders) {
    // One buffer per worker, kept from folder to folder.
    thread_local DirectoryReader reader;
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
    if (networkMountFolders.Holds(fd)) {
        ::close(fd);
        return false;
    }
    if (!reader.Open(fd)) {
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
        if (!LookAtEntry(fd, name, entry.Stat)) {
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
