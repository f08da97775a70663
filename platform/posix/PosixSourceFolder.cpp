#include "PosixSourceFolder.h"

#include "LongPath.h"
#include "MountTable.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace {

constexpr int ReadOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
#ifdef O_PATH
// The folder above is opened only to learn who it is and what lies above it: that needs no
// read access, and a folder that may be passed through but not listed opens as well.
constexpr int LookupOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int LookupOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

#ifdef AT_NO_AUTOMOUNT
// Looking at a folder's entries must not mount every automount point among them.
constexpr int LinkStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr int TargetStatFlags = AT_NO_AUTOMOUNT;
#else
constexpr int LinkStatFlags = AT_SYMLINK_NOFOLLOW;
constexpr int TargetStatFlags = 0;
#endif

// More spare readers than this a thread does not keep: the walk goes up and down a few levels
// at a time, and a worker reads one folder after the other.
constexpr std::size_t MaxSpareReaders = 8;

// Set when the thread's pool has gone at the thread's end: a folder closed after that (by
// another thread-local object's end) frees its reader instead of handing it back.
thread_local bool readerPoolGone = false;

// The readers of one thread not lent to a folder. Each holds a 32 KiB buffer, which a
// folder would otherwise allocate and free again, once for every folder of the tree.
struct ReaderPool {
    std::vector<std::unique_ptr<DirectoryReader>> Spare;
    ~ReaderPool() { readerPoolGone = true; }
};
thread_local ReaderPool readerPool;

std::unique_ptr<DirectoryReader> TakeReader() {
    if (readerPoolGone || readerPool.Spare.empty()) {
        return std::make_unique<DirectoryReader>();
    }
    std::unique_ptr<DirectoryReader> reader = std::move(readerPool.Spare.back());
    readerPool.Spare.pop_back();
    return reader;
}

void GiveReaderBack(std::unique_ptr<DirectoryReader> reader) {
    if (!readerPoolGone && readerPool.Spare.size() < MaxSpareReaders) {
        readerPool.Spare.push_back(std::move(reader));
    }
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsOutOfHandles(int error) {
    return error == EMFILE || error == ENFILE;
}

NodeIdentity NodeIdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

EntryFacts::Kind KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return EntryFacts::Kind::Folder;
    }
    return S_ISLNK(mode) ? EntryFacts::Kind::Link : EntryFacts::Kind::File;
}

} // namespace

std::unique_ptr<PosixSourceFolder> PosixSourceFolder::Open(int base, std::string_view path,
                                                           bool followLink, OpenFailure& failure) {
    std::unique_ptr<PosixSourceFolder> folder =
        OpenWithFlags(base, path, ReadOpenFlags | (followLink ? 0 : O_NOFOLLOW), failure);
    if (folder && base == AT_FDCWD) {
        folder->KeepPath({}, path);
    }
    return folder;
}

std::unique_ptr<PosixSourceFolder>
PosixSourceFolder::OpenWithFlags(int base, std::string_view path, int flags, OpenFailure& failure) {
    // The path may be a part of a longer one, which is not NUL-terminated after it. One copy
    // per thread serves every opening.
    thread_local std::string terminated;
    terminated.assign(path);
    UniqueFd fd(OpenLongPath(base, terminated.c_str(), terminated.size(), flags));
    if (!fd.IsOpen()) {
        failure = IsOutOfHandles(errno) ? OpenFailure::OutOfHandles : OpenFailure::Unreadable;
        return nullptr;
    }
    failure = OpenFailure::None;
    return std::make_unique<PosixSourceFolder>(std::move(fd));
}

PosixSourceFolder::PosixSourceFolder(UniqueFd fd) : fd_(std::move(fd)) {}

PosixSourceFolder::~PosixSourceFolder() {
    DetachReader();
}

NodeIdentity PosixSourceFolder::Identity() const {
    if (!identityKnown_) {
        struct stat st;
        identityKnown_ = fstat(fd_.Get(), &st) == 0;
        identity_ = identityKnown_ ? NodeIdentityOf(st) : NodeIdentity{};
    }
    return identity_;
}

void PosixSourceFolder::AttachReader() {
    reader_ = TakeReader();
#ifdef __linux__
    // The reader only keeps the number of a descriptor on Linux: it borrows the folder's and
    // gives it back (Release) when the listing ends, so the folder costs one descriptor.
    const bool opened = reader_->Open(fd_.Get());
#else
    // A DIR stream owns the descriptor it reads: it gets a duplicate.
    const int copy = ::dup(fd_.Get());
    const bool opened = copy >= 0 && reader_->Open(copy);
#endif
    if (!opened) {
        failed_ = true;
        finished_ = true;
        DetachReader();
    }
}

void PosixSourceFolder::DetachReader() {
    if (!reader_) {
        return;
    }
#ifdef __linux__
    reader_->Release();
#else
    reader_->Close();
#endif
    GiveReaderBack(std::move(reader_));
}

std::string_view PosixSourceFolder::ReadName() {
    if (finished_) {
        return {};
    }
    if (!reader_) {
        AttachReader();
        if (!reader_) {
            return {};
        }
    }
    while (const char* name = reader_->Read()) {
        if (!IsDotOrDotDot(name)) {
            return name;
        }
    }
    failed_ = reader_->Failed();
    finished_ = true;
    // A folder read to its end and kept open for what lies below holds no buffer.
    DetachReader();
    return {};
}

void PosixSourceFolder::Rewind() {
    DetachReader();
    finished_ = false;
    failed_ = false;
    if (::lseek(fd_.Get(), 0, SEEK_SET) != 0) {
        failed_ = true;
        finished_ = true;
    }
}

LookResult PosixSourceFolder::LookAt(std::string_view name, EntryFacts& facts, LinkTarget target) {
    // A name ReadName gave is NUL-terminated right after the view.
    struct stat st;
    if (fstatat(fd_.Get(), name.data(), &st, LinkStatFlags) != 0) {
        return errno == ENOENT ? LookResult::Vanished : LookResult::Failed;
    }
    facts = EntryFacts{};
    facts.Type = KindOf(st.st_mode);
    // A folder's and a link's st_size are no data of their own (a link's is the length of
    // the name it holds): they weigh nothing, as the Windows listing reports them.
    if (facts.Type == EntryFacts::Kind::File && st.st_size > 0) {
        facts.SizeBytes = static_cast<std::uint64_t>(st.st_size);
    }
    facts.LastWriteTime = static_cast<std::int64_t>(st.st_mtime);
    facts.LinkCount = static_cast<std::uint32_t>(st.st_nlink);
    facts.Identity = NodeIdentityOf(st);
    struct stat reached;
    if (facts.Type == EntryFacts::Kind::Link && target == LinkTarget::Look &&
        fstatat(fd_.Get(), name.data(), &reached, TargetStatFlags) == 0) {
        facts.TargetIsFolder = S_ISDIR(reached.st_mode);
        facts.TargetIdentity = NodeIdentityOf(reached);
    }
    return LookResult::Looked;
}

std::unique_ptr<SourceFolder> PosixSourceFolder::OpenBelow(std::string_view name, bool followLink,
                                                           OpenFailure& failure) {
    std::unique_ptr<PosixSourceFolder> below = Open(fd_.Get(), name, followLink, failure);
    if (below) {
#ifndef __linux__
        below->KeepPath(path_, name);
#endif
    }
    return below;
}

std::unique_ptr<SourceFolder> PosixSourceFolder::OpenAbove(OpenFailure& failure) {
    std::unique_ptr<PosixSourceFolder> above =
        OpenWithFlags(fd_.Get(), "..", LookupOpenFlags, failure);
    if (above) {
#ifndef __linux__
        above->KeepPath(path_, "..");
#endif
    }
    return above;
}

bool PosixSourceFolder::IsOnPseudoFileSystem() {
#ifdef __linux__
    struct statfs fs;
    return fstatfs(fd_.Get(), &fs) == 0 && IsPseudoFsMagic(static_cast<unsigned long>(fs.f_type));
#else
    return false;
#endif
}

std::string PosixSourceFolder::RealPath() {
#ifdef __linux__
    return RealPathOfDescriptor(fd_.Get());
#else
    return RealPathByName(path_);
#endif
}

void PosixSourceFolder::KeepPath([[maybe_unused]] std::string_view above,
                                 [[maybe_unused]] std::string_view path) {
#ifndef __linux__
    path_.assign(above);
    if (!path_.empty() && path_.back() != '/') {
        path_.push_back('/');
    }
    path_.append(path);
#endif
}

std::string RealPathOfDescriptor([[maybe_unused]] int fd) {
#ifdef __linux__
    // The kernel names an open folder by its path without links, as the mount table writes
    // mount points. The calling thread's descriptors: a worker's table is its own.
    char link[40];
    std::snprintf(link, sizeof link, "/proc/thread-self/fd/%d", fd);
    char real[PATH_MAX];
    const ssize_t length = readlink(link, real, sizeof real);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof real || real[0] != '/') {
        return {};
    }
    return std::string(real, static_cast<std::size_t>(length));
#else
    return {};
#endif
}

std::string RealPathByName(const std::string& path) {
    std::string real;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    return real;
}
