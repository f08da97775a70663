#pragma once

#include "platform/fs/FolderSource.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct AheadFolder;

// Appends `name` to `path` after one `separator` (none more when `path` ends in one). The walk
// takes its separator from the folder source, not the platform's.
inline void AppendWithSeparator(std::string& path, std::string_view name, char separator) {
    if (path.empty() || path.back() != separator) {
        path.push_back(separator);
    }
    path.append(name);
}

// One entry of a folder read ahead. Entries whose details could not be read (they vanished
// after they were listed) are not kept.
struct AheadEntry {
    std::uint32_t NameOffset = 0; // into AheadFolder::Names, NUL-terminated there
    std::uint32_t NameLength = 0;
    EntryFacts Facts;
    // A folder on the folder's own device, to be read ahead in turn; null for everything else.
    std::shared_ptr<AheadFolder> Child;
};

// A folder of the tree as the read-ahead knows it: where it is, its place in the walk's
// order, and once read, its identity and its entries in the order the system listed them.
// Names are bytes on POSIX and UTF-8 on Windows, as the walk delivers them.
// Status changes hands without a lock, by compare-and-swap: whoever moves the folder out of
// Pending (a worker to Reading, the walk to Taken) owns the other fields, a worker until it
// publishes them with Ready, the walk from then on; they are fixed while Ready. A folder never
// goes back to Pending, so that no two ever read it.
struct AheadFolder : std::enable_shared_from_this<AheadFolder> {
    enum class Status {
        Pending, // known, not read yet (perhaps in a worker's batch)
        Reading, // a worker is reading it
        Ready,   // read, waiting for the walk
        Failed,  // a worker could not read it (or it was too large): the walk reads it
        Taken,   // the walk has it
        Dropped, // the walk went past it
    };

    // The path a worker opens it by, and its position in the walk: the ordinals of the
    // entries that lead to it from the first folder read ahead. Smaller comes first.
    std::string Path;
    std::vector<std::uint32_t> Key;
    // The device of the folder that listed it (0 for the walk's first folder and for probes):
    // its own, unless it was replaced since.
    std::uint64_t Device = 0;
    // What its parent's listing said it is (zero where no listing did).
    ListedFolder Listed;
    // The most entries a reading keeps; a larger folder is left to the walk.
    static constexpr std::uint32_t MaxWorkerEntries = 4096;
    std::atomic<std::uint32_t> MaxEntries{MaxWorkerEntries};
    // A followed link lies on the way from the root: the path says nothing about where the
    // folder really is.
    bool UnderLink = false;
    // Read first to see that the system answers (ReadAhead::Probe): the worker does not queue
    // its subfolders, since the walk reads the folder again itself, or takes the reading (the
    // root's) and queues them then.
    bool IsProbe = false;
    // The places of entries not to be looked at: they did not answer an earlier reading.
    std::vector<std::int64_t> Unanswered;
    // In the workers' queue, or about to be: a pending folder that a worker will come to.
    std::atomic<bool> Queued{false};
    // A worker is inside its reading of the folder, whatever the walk has decided about it
    // meanwhile: while the system does not answer, that worker is stuck.
    std::atomic<bool> BeingRead{false};
    // When it was last put in the queue again, out of the batch of a worker that is stuck
    // (CoarseMonotonicNs); copies in the queue that are no longer pending are skipped.
    std::atomic<std::int64_t> RequeuedAtNs{0};

    std::atomic<Status> State{Status::Pending};
    // When the system last answered a call of the worker reading the folder (CoarseMonotonicNs).
    std::atomic<std::int64_t> AnsweredAtNs{0};
    // The place among the folder's entries of the entry the worker is looking at, -1 while
    // none: when the system does not answer, it is this entry that does not.
    std::atomic<std::int64_t> LookingAt{-1};
    NodeIdentity Identity;
    std::vector<char> Names;
    std::vector<AheadEntry> Entries;
    // The details of an entry could not be read (other than of one removed since it was
    // listed), or the listing ended on an error: the entries are not the whole folder.
    bool Incomplete = false;
    // Memory held by the entries, counted against the read-ahead's cap while Ready.
    std::size_t Bytes = 0;
};
