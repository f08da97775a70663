#pragma once

#include "ReadAhead.h"
#include "WorkerHandles.h"
#include "platform/fs/FolderSource.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// How a folder is read ahead: its names listed and each entry looked at through the folder
// source, as the walk looks at entries itself.

enum class AheadReadResult {
    Complete,  // every entry is in `folder`
    TooLarge,  // the folder has more than `maxEntries` entries; none are kept
    Cancelled, // `cancel` was set; none are kept
};

// Reads the entries of `opened` into `folder`, with a Pending record for each subfolder on
// the folder's own device (`folder.Identity` must be set). The entries named in `mounts`
// (network file systems mounted there) are recorded as folders on their devices without a
// look. A read error ends the entries as the end of the folder would, and marks the record
// incomplete. A link's target is looked at unless `links` says Leave.
AheadReadResult ReadFolderAhead(SourceFolder& opened, AheadFolder& folder, char separator,
                                std::size_t maxEntries, const std::atomic<bool>* cancel,
                                const std::vector<NamedMount>& mounts = {},
                                LinkTarget links = LinkTarget::Look);

// The network file systems mounted below the walk's root, by the folder that holds each mount
// point: looking at such an entry asks the share's server, and one that is gone never answers.
// A worker records them by name instead, as the walk does. Shared by the walk, which fills it
// when it opens its root, and the workers.
class NetworkMountFolders {
public:
    using MountsByFolder = std::unordered_map<std::string, std::vector<NamedMount>>;
    // `mounts` are keyed by paths without links (as the mount table writes them); `realRoot`
    // is the walk's root `walkRoot` without links.
    void Assign(MountsByFolder mounts, const std::string& walkRoot, const std::string& realRoot,
                char separator);

    // The mounts on entries of `folder`, open as `opened`: told by its path, without a call to
    // the system, unless a link lies on its way. Empty when the folder's real path cannot be
    // found while there are mounts: then it is left to the walk.
    std::optional<std::vector<NamedMount>> MountsIn(const AheadFolder& folder,
                                                    SourceFolder& opened) const;

private:
    mutable std::mutex mutex_;
    // Any mounts at all: where there are none, as on most machines, the workers look at
    // folders without taking the lock.
    std::atomic<bool> any_{false};
    MountsByFolder mounts_;
    std::string walkRoot_;
    std::string realRoot_;
    char separator_ = '/';
};

// The worker's part (a ReadAhead::FolderReader): opens `folder.Path` without following a
// link in its last name (a probe follows it, as the walk will) and reads it, with a handle
// taken from `handles`, and leaves it open in `held` for its subfolders. False when no handle
// is left, when it cannot be opened or read whole, or when where it really is cannot be told
// while network file systems are mounted.
bool ReadFolderAheadByPath(FolderSource& source, AheadFolder& folder,
                           const std::atomic<bool>& cancel,
                           const std::shared_ptr<const NetworkMountFolders>& networkMountFolders,
                           const std::shared_ptr<WorkerHandles>& handles,
                           std::unique_ptr<ReadAhead::HeldFolder>& held);
