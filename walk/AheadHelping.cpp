// The walk's side of the read-ahead, while a worker reads the folder it needs: it reads the
// folders next in line itself, as a worker would, rather than sleep.
#include "AheadShared.h"

#include "platform/fs/CoarseClock.h"

std::shared_ptr<AheadFolder> ReadAhead::NextInLineForWalk(const AheadFolder& awaited) {
    Shared& shared = *shared_;
    // Only while the worker's file system answers, as the one where the walk reads folders
    // itself does: a worker that has been silent for a moment may be stuck in a call, and the
    // folders in line may lead where it is.
    const std::int64_t silentNs =
        CoarseMonotonicNs() - awaited.AnsweredAtNs.load(std::memory_order_relaxed);
    if (!helpDevice_ || alone_ || silentNs >= std::chrono::nanoseconds(MaxHelpSilence).count() ||
        WorkerSuspectedStuck() || !shared.HasRoom()) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(shared.Mutex);
    while (!shared.Queue.empty()) {
        AheadFolder& top = *shared.Queue.front();
        const bool pending =
            top.State.load(std::memory_order_relaxed) == AheadFolder::Status::Pending;
        if (pending && (top.IsProbe || top.Device != *helpDevice_)) {
            // Left to the workers.
            return nullptr;
        }
        std::pop_heap(shared.Queue.begin(), shared.Queue.end(), Shared::LaterInWalk{});
        std::shared_ptr<AheadFolder> next = std::move(shared.Queue.back());
        shared.Queue.pop_back();
        if (pending) {
            return next;
        }
    }
    return nullptr;
}

bool ReadAhead::ReadNextInLine(const AheadFolder& awaited) {
    const std::shared_ptr<AheadFolder> next = NextInLineForWalk(awaited);
    if (!next) {
        return false;
    }
    // Read as a worker reads it, no larger than what the walk reads at once.
    next->MaxEntries.store(MaxWalkFolderEntries, std::memory_order_relaxed);
    Shared& shared = *shared_;
    Shared::FolderList children;
    std::unique_ptr<HeldFolder> held;
    shared.ReadOne(*next, nullptr, held, children);
    held.reset();
    if (!children.empty()) {
        std::lock_guard<std::mutex> lock(shared.Mutex);
        shared.Enqueue(children);
    }
    return true;
}
