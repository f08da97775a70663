#pragma once

#include "Volume.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The seam between the walk and the operating system. The walk (walk/) keeps the order, the
// rules for links and other drives, the budget of open folders and the read-ahead once, for
// every platform; a FolderSource only opens folders, lists their names and looks at entries.
// Each platform supplies one (MakeSystemFolderSource); the tests supply an in-memory one.

// Who a file or folder is: the device (volume) that holds it and its number there. A number
// of 0 means that only the device is known (a mount point known by its name).
struct NodeIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Number = 0;
    friend bool operator==(const NodeIdentity&, const NodeIdentity&) = default;
};

struct NodeIdentityHash {
    std::size_t operator()(const NodeIdentity& identity) const {
        return static_cast<std::size_t>(identity.Number ^
                                        (identity.Device * 0x9E3779B97F4A7C15ull));
    }
};

// What the system says about one folder entry, before the walk has decided anything: the
// entry itself (not following a link) and, for a link, whether its target is a folder.
struct EntryFacts {
    enum class Kind : std::uint8_t { File, Folder, Link };
    Kind Type = Kind::File;
    // The platform's attribute bits (Windows: the listing's; POSIX: none). The walk adds
    // FolderAttribute for what it delivers as a folder.
    std::uint32_t Attributes = 0;
    std::uint64_t SizeBytes = 0;
    // Last-write time in seconds since 1970-01-01 00:00:00 UTC.
    std::int64_t LastWriteTime = 0;
    std::uint32_t LinkCount = 1;
    // Of the entry itself; of the link for a link.
    NodeIdentity Identity;
    // For a link whose target could be looked at: whether it is a folder, and who it is.
    bool TargetIsFolder = false;
    NodeIdentity TargetIdentity;
};

// A subfolder as its folder's listing showed it: not a link, with the platform's attribute
// bits and who it is.
struct ListedFolder {
    NodeIdentity Identity;
    std::uint32_t Attributes = 0;
};

// What looking at an entry gave.
enum class LookResult {
    Looked,
    // It was removed since it was listed: it is simply not there.
    Vanished,
    // Its details cannot be read: the folder is not read completely.
    Failed,
};

// Why a folder could not be opened.
enum class OpenFailure {
    None,
    // Not there, not a folder, no access, a link where none may be followed.
    Unreadable,
    // The process has no handle (descriptor) left: the walk frees one of its own and tries
    // again.
    OutOfHandles,
};

// Whether a look at a link looks at its target too (EntryFacts::TargetIsFolder and
// TargetIdentity), which may lie on a file system that does not answer.
enum class LinkTarget { Look, Leave };

// One folder a source has open: for listing its names, looking at its entries and opening
// what lies next to it. Owned by whoever opened it; closing it releases its handle. Used on
// one thread at a time (a worker's folders on the worker's thread).
class SourceFolder {
public:
    virtual ~SourceFolder() = default;

    // Who the folder is, as found when it was opened.
    virtual NodeIdentity Identity() const = 0;

    // The next name of the listing, without "." and "..", NUL-terminated right after the
    // view; empty at the end of the listing or on a read error (ReadFailed tells which).
    // Valid until the next ReadName, Rewind or the folder's end.
    virtual std::string_view ReadName() = 0;
    // True when the listing ended on an error, not at its end.
    virtual bool ReadFailed() const = 0;
    // Starts the listing again from its first name.
    virtual void Rewind() = 0;

    // Looks at the entry `name`, mostly the name ReadName gave last, and at a link's target too
    // unless `target` says Leave. The walk and the read-ahead workers look through this one
    // function, so an entry read ahead is the entry the walk would have read itself.
    virtual LookResult LookAt(std::string_view name, EntryFacts& facts,
                              LinkTarget target = LinkTarget::Look) = 0;

    // Opens the entry `name` of this folder as a folder: not through a link unless
    // `followLink`. `name` may hold several names with separators between them (a part of
    // a path below this folder); then links on the way are followed.
    virtual std::unique_ptr<SourceFolder> OpenBelow(std::string_view name, bool followLink,
                                                    OpenFailure& failure) = 0;
    // Opens the entry `name` that this folder's listing showed as the folder `listed`, not
    // through a link. A source whose openings cost more when it asks the system who the folder
    // is may take the listing's word for it, as the walk does; by default it opens the entry
    // as OpenBelow does.
    virtual std::unique_ptr<SourceFolder>
    OpenListedBelow(std::string_view name, [[maybe_unused]] const ListedFolder& listed,
                    OpenFailure& failure) {
        return OpenBelow(name, false, failure);
    }
    // Opens the folder that holds this one (its ".."): the same folder for the top of a file
    // system. Only for looking at identities; it need not be listable.
    virtual std::unique_ptr<SourceFolder> OpenAbove(OpenFailure& failure) = 0;

    // True when the folder lies on a kernel pseudo file system (/proc, /sys...).
    virtual bool IsOnPseudoFileSystem() = 0;
    // The folder's path without links, as the mount table writes mount points; empty when
    // the system cannot say.
    virtual std::string RealPath() = 0;
};

// A network or FUSE file system mounted on an entry of a folder, known by the mount table.
struct NamedMount {
    std::string Name;
    std::uint64_t Device = 0;
};

// How many handles a walk may keep open for itself and for its workers, out of what the
// process has free.
struct HandleAllowance {
    // Folders the walk may keep open while it is inside them; deeper ones it reads whole.
    int WalkFolders = 0;
    // Folders the read-ahead workers may hold open at once.
    int WorkerFolders = 0;
};

// The system's folders, for one walk. OpenPath may be called on any thread; the rest only on
// the walk's thread.
class FolderSource {
public:
    virtual ~FolderSource() = default;

    // The separator between names in a path ('/' or '\\').
    virtual char Separator() const = 0;

    // Opens the folder at `path`, a whole path: the root, or a folder a worker reads. Not
    // through a link in its last name unless `followLink`. Safe on any thread.
    virtual std::unique_ptr<SourceFolder> OpenPath(const std::string& path, bool followLink,
                                                   OpenFailure& failure) = 0;

    // Opens the folder at `path`, which its parent's listing showed as the folder `listed`, for
    // a worker, as OpenListedBelow does; by default as OpenPath does, not through a link.
    // Safe on any thread.
    virtual std::unique_ptr<SourceFolder>
    OpenListedPath(const std::string& path, [[maybe_unused]] const ListedFolder& listed,
                   OpenFailure& failure) {
        return OpenPath(path, false, failure);
    }

    // The handles the walk may use, found when the walk starts.
    virtual HandleAllowance Allowance() = 0;

    // The kind of drive of the file system on `device`. Asked where the device changes.
    virtual DriveType DriveTypeOfDevice(std::uint64_t device) = 0;
    // True when the file system on `device` is a kernel pseudo file system by the mount table
    // (some report the type of an ordinary one).
    virtual bool IsPseudoFileSystemDevice(std::uint64_t device) = 0;
    // True when `device` holds the desktop's folder of mounted network locations (gvfs):
    // only the locations in it are drives that a scan leaves out.
    virtual bool IsFolderOfDrives(std::uint64_t device) = 0;

    // True when a network or FUSE file system is mounted anywhere.
    virtual bool HasNetworkMounts() = 0;
    // True when HasNetworkMounts knows every such file system (a mount table): then where it
    // says none, none can be reached. False where a share may be reached by a path alone.
    virtual bool NamesEveryNetworkMount() const { return false; }
    // The folders (paths without links) that hold such a mount point.
    virtual std::vector<std::string> FoldersHoldingNetworkMounts() = 0;
    // The network and FUSE mounts on entries of the folder `realFolder` (a path without
    // links). Null when there are none, which is the rule.
    virtual const std::vector<NamedMount>* NetworkMountsIn(const std::string& realFolder) = 0;
    // The path `path` without links; empty when it cannot be found.
    virtual std::string RealPathOf(const std::string& path) = 0;

    // True where opening and reading a folder of ordinary size by its path takes the caller
    // well under a millisecond: there the walk reads the folders next in line itself while it
    // waits for a worker. Elsewhere (Windows: a path is opened through several layers) it
    // leaves them to the workers and keeps its thread free for the window.
    virtual bool ReadsFoldersQuickly() const { return false; }
};

// The running system's folders.
std::shared_ptr<FolderSource> MakeSystemFolderSource();
