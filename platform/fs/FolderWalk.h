#pragma once

#include <functional>
#include <memory>
#include <string>

// The state of one walk over a tree: the root, the folders currently open from the root
// down, and what the platform needs to follow its rules. One FolderWalk lives for one scan;
// FolderEnumeration objects of that scan open and close folders in it, strictly nested.
//
// On POSIX the walk follows links to folders except into the scanned tree, into a folder
// it is already inside of, or into a folder it has already reached through another link (so
// no file is listed twice); it lists other links as files of size 0, does not enter kernel
// pseudo file systems, and completes trees deeper than the open-file limit and paths longer
// than PATH_MAX. It does not enter network or removable drives mounted below the root (the
// root's own drive is walked whatever its kind); a network mount point is known by its path
// in the mount table and never looked at, so a share whose server is gone cannot stop it.
//
// On Windows the walk follows junctions and folder links by the same rule (not into the
// scanned tree, not into a folder it is already inside of), and opens folders by their
// extended-length paths, so that trees deeper than MAX_PATH are walked completely.
class FolderWalk {
public:
    // `root` is the scan root without a trailing separator ("/" stays "/"). With
    // `readAheadThreads` of 2 or more, that many worker threads read folders ahead of the walk
    // (fewer when the system refuses some); the walk itself, every decision and every result stay
    // on the caller's thread and are the same as with 1, which reads each folder as it is reached.
    // The workers end when the walk is destroyed.
    explicit FolderWalk(const std::string& root, int readAheadThreads = 1);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    const std::string& Root() const { return root_; }

    // The number of read-ahead threads that suits this machine: one per processor core, and 1
    // (no read-ahead) on a machine with a single core.
    static int DefaultReadAheadThreads();
    // The number for a tree on a network drive, where each thread mostly waits for the server.
    static constexpr int NetworkReadAheadThreads = 16;

    // While the walk waits for a worker's file system to answer, `hook` runs every 50 ms on
    // the walk's thread; when it returns false the folder waited for is left out, not
    // counted (a stop). Without workers it is never called.
    void SetWaitHook(std::function<bool()> hook);

    // The platform's own state; only FolderEnumeration uses it.
    struct State;
    State& PlatformState() { return *state_; }

private:
    std::string root_;
    std::unique_ptr<State> state_;
};
