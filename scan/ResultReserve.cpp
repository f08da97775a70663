#include "ResultReserve.h"

#include <algorithm>

void ResultReserve::Clear() {
    files_.clear();
    floor_ = 0;
    gaveUp_ = false;
}

void ResultReserve::Keep(ResultEntry entry, std::int64_t lastWriteTime) {
    if (files_.capacity() == 0) {
        files_.reserve(Capacity + 1);
    }
    // After the last file of the same size: equal sizes keep the order they came in.
    const auto place = std::upper_bound(
        files_.begin(), files_.end(), entry.SizeValue,
        [](std::uint64_t size, const KeptFile& kept) { return size > kept.Entry.SizeValue; });
    files_.insert(place, KeptFile{std::move(entry), lastWriteTime});
    if (files_.size() > Capacity) {
        floor_ = std::max(floor_, files_.back().Entry.SizeValue);
        gaveUp_ = true;
        files_.pop_back();
    }
}

ResultEntry ResultReserve::TakeLargest(std::int64_t& lastWriteTime) {
    KeptFile largest = std::move(files_.front());
    files_.erase(files_.begin());
    lastWriteTime = largest.LastWriteTime;
    return std::move(largest.Entry);
}
