#pragma once

#include "platform/fs/DirectoryEntry.h"
#include "platform/fs/FolderSource.h"

#include <functional>
#include <memory>
#include <string>

// Why a folder was not entered, or why its entries ended early.
enum class FolderSkip {
    None,
    // It could not be opened or read: no access, vanished, out of handles with no way
    // round it, or a read error midway (then part of its entries may have been delivered).
    Unreadable,
    // It was deliberately not entered: a pseudo file system, a folder the walk has already
    // entered by another way, or a stop. (A link back into the tree or round a cycle is not
    // even delivered.)
    NotEntered,
    // A network or removable drive below the root.
    OtherDrive,
    // Its file system has not answered for a while (a share whose server is gone, a file
    // system whose daemon hangs): it is left out, so that the walk goes on.
    NoAnswer,
};

class WalkCore;

// One walk over a tree, depth first, on the caller's thread: the folders open from the root
// down, each delivering its entries in the order the system lists them.
//
// The walk follows links to folders except into the scanned tree, into a folder it is
// already inside of, or into a folder it has already reached by another way (so no file is
// listed twice); it lists other links as files of size 0, does not enter kernel pseudo file
// systems, and completes trees deeper than the handles the process may open. It does not
// enter network or removable drives mounted below the root (the root's own drive is walked
// whatever its kind); a network mount point is known by its path in the mount table and
// never looked at, so a share whose server is gone cannot stop it.
//
// With `readAheadThreads` of 2 or more, that many worker threads read folders ahead of the
// walk (fewer when the system refuses some); the walk, every decision and every result stay
// on the caller's thread and are the same as with 1, which reads each folder as it is
// reached. A worker also touches every folder the walk would open where a file system may not
// answer (the root, a followed link, a mount point) before the walk does: a folder whose file
// system has not answered a worker for 2 s is left out (NoAnswer). The workers end when the
// walk is destroyed; one stuck in a call is left behind, not waited for.
class FolderWalk {
public:
    // `root` is the scan root without a trailing separator ("/" stays "/").
    FolderWalk(std::shared_ptr<FolderSource> source, const std::string& root,
               int readAheadThreads = 1);
    // A walk of the running system's folders.
    explicit FolderWalk(const std::string& root, int readAheadThreads = 1);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    const std::string& Root() const;

    // The number of read-ahead threads that suits this machine: one per processor the process
    // may run on, and 1 (no read-ahead) when it may run on one only.
    static int DefaultReadAheadThreads();
    // The number for a tree on a network drive, where each thread mostly waits for the server.
    static constexpr int NetworkReadAheadThreads = 16;

    // While the walk waits for a worker's file system to answer, `hook` runs every 50 ms on
    // the walk's thread; when it returns false the folder waited for is left out, not
    // counted (a stop). With workers it also runs between the steps of opening the root,
    // where what it returns is not asked. Without workers it is never called.
    void SetWaitHook(std::function<bool()> hook);

    // Opens the root as the first folder. None when it is open; a walk may be opened again
    // from its root once every folder is left.
    FolderSkip OpenRoot();
    // Fills `entry` with the next entry of the innermost open folder. False at its end, or
    // when no folder is open. The entry's name stays valid until the next Next, Enter or
    // Leave.
    bool Next(DirectoryEntry& entry);
    // Enters the folder that Next delivered last: it becomes the innermost open folder. None
    // when it is open; otherwise why it is not, and the walk stays where it was.
    FolderSkip Enter();
    // Why the innermost folder's entries ended: None at its end, Unreadable after a read
    // error midway.
    FolderSkip EndReason() const;
    // Leaves the innermost open folder.
    void Leave();
    // The number of open folders, the root's included.
    int Depth() const;

private:
    std::unique_ptr<WalkCore> core_;
};
