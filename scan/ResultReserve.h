#pragma once

#include "ResultEntry.h"

#include <cstdint>
#include <vector>

// The files that come next after the result list, out of sight: the largest files met that
// the full list does not hold (evicted or never admitted), at most Capacity of them, largest
// first. When the user deletes a listed file the largest of them moves up, so the list stays
// the largest files met that were not deleted. Files smaller than all of these are not kept;
// the largest size ever given up is the floor below which nothing can be kept again.
class ResultReserve {
public:
    static constexpr int Capacity = 100;

    // Forgets every file and the floor: a new scan starts.
    void Clear();
    int Count() const { return static_cast<int>(files_.size()); }
    bool Empty() const { return files_.empty(); }

    // The size a file needs to be kept: the smallest kept size when the reserve is full,
    // else the floor.
    std::uint64_t KeepThreshold() const {
        return files_.size() < Capacity ? floor_ : files_.back().Entry.SizeValue;
    }
    // The largest size given up so far (0 when none was): a list that runs short may take
    // files from this size up again, and no smaller ones.
    std::uint64_t Floor() const { return floor_; }
    // True when a file was given up in this scan: the list can no longer be refilled with
    // every file met.
    bool GaveUpFiles() const { return gaveUp_; }

    // Keeps a file of at least KeepThreshold(). `entry` carries the caption, the folder and
    // the size; its other texts may be missing (a file never listed), and are then made
    // from `lastWriteTime` when it moves up. Gives up the smallest file when it is full.
    void Keep(ResultEntry entry, std::int64_t lastWriteTime);
    // The largest kept file, removed from the reserve; `lastWriteTime` is set to its time.
    // Must not be called when Empty().
    ResultEntry TakeLargest(std::int64_t& lastWriteTime);

private:
    struct KeptFile {
        ResultEntry Entry;
        std::int64_t LastWriteTime = 0;
    };
    std::vector<KeptFile> files_;
    std::uint64_t floor_ = 0;
    bool gaveUp_ = false;
};
