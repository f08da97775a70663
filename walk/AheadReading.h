#pragma once

#include "ReadAhead.h"
#include "WorkerHandles.h"
#include "platform/fs/FolderSource.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

// How a folder is read ahead: its names listed and each entry looked at through the folder
// source, as the walk looks at entries itself.

enum class AheadReadResult {
    Complete,  // every entry is in `folder`
    TooLarge,  // the folder has more than `maxEntries` entries; none are kept
    Cancelled, // `cancel` was set; none are kept
};

// Reads the entries of `opened` into `folder`, with a Pending record for each subfolder on
// the folder's own device (`folder.Identity` must be set). A read error ends the entries as
// the end of the folder would, and marks the record incomplete.
AheadReadResult ReadFolderAhead(SourceFolder& opened, AheadFolder& folder, char separator,
                                std::size_t maxEntries, const std::atomic<bool>* cancel);

// The folders that the workers leave to the walk because a network file system is mounted on
// one of their entries: looking at that entry asks the share's server, and one that is gone
// never answers; the walk knows such entries by name and never looks at them. Shared by the
// walk, which fills it when it opens its root, and the workers.
class NetworkMountFolders {
public:
    // `folders` are paths without links (as the mount table writes them); `realRoot` is the
    // walk's root `walkRoot` without links.
    void Assign(const std::vector<std::string>& folders, const std::string& walkRoot,
                const std::string& realRoot, char separator);

    // True when `folder`, open as `opened`, is one of them. Told by its path, without a call
    // to the system, unless a link lies on its way. Also true when there are some and the
    // folder's real path cannot be found: then it is left to the walk as well.
    bool Holds(const AheadFolder& folder, SourceFolder& opened) const;

private:
    mutable std::mutex mutex_;
    std::unordered_set<std::string> folders_;
    std::string walkRoot_;
    std::string realRoot_;
    char separator_ = '/';
};

// The worker's part (a ReadAhead::FolderReader): opens `folder.Path` without following a
// link in its last name (a probe follows it, as the walk will) and reads it, with a handle
// taken from `handles`, and leaves it open in `held` for its subfolders. False when no handle
// is left, when it cannot be opened or read whole, or when it is one of
// `networkMountFolders`.
bool ReadFolderAheadByPath(FolderSource& source, AheadFolder& folder,
                           const std::atomic<bool>& cancel,
                           const std::shared_ptr<const NetworkMountFolders>& networkMountFolders,
                           const std::shared_ptr<WorkerHandles>& handles,
                           std::unique_ptr<ReadAhead::HeldFolder>& held);
