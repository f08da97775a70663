#pragma once

// An in-memory tree behind the walk's seam, so that the walk's rules, budgets and read-ahead
// can be tried on trees a test machine cannot make without root, loop devices or Wine: links
// and cycles anywhere, folders on other drives and pseudo file systems, folders that cannot
// be opened or fail midway, a handle limit, and a file system that does not answer until
// the test lets it.
//
// The tree is built before a walk starts (it may grow between walks, also while calls of an
// earlier walk are still blocked in it); the walk and its workers only read it, and every
// counter and every blocked call is safe on any thread. Paths are absolute, with '/'
// between names; "/" is the top of the fake system.

#include "platform/fs/FolderSource.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeFolderSource : public FolderSource {
public:
    // Where a folder marked with BlockFolder does not answer.
    enum class Block {
        // Opening it, any path through it, and looking at a link to it (a file system whose
        // daemon hangs).
        Open,
        // Reading its names, once it is open.
        Read,
        // Looking at it: at its entry in the folder that holds it, or at a link to it.
        Look,
    };

    FakeFolderSource();
    ~FakeFolderSource() override;

    // --- Building the tree (before a walk starts). Missing folders on the way are made. ---

    void AddFolder(const std::string& path);
    void AddFile(const std::string& path, std::uint64_t sizeBytes, std::int64_t lastWriteTime = 0);
    // A second name of the file at `existing`: the same identity, one more link on both.
    void AddHardLink(const std::string& path, const std::string& existing);
    // A link whose target is a path in the fake tree, absolute or relative to the link's
    // folder; it need not exist (a broken link).
    void AddLink(const std::string& path, const std::string& target);

    // The folder at `path` is on a new device of the given drive type (a mount point).
    void AddMount(const std::string& path, DriveType drive);
    // A kernel pseudo file system (such as /proc) mounted at `path`.
    void AddPseudoMount(const std::string& path);
    // The desktop's folder of mounted network locations (gvfs) at `path`, on a device of its
    // own; the locations are the folders in it.
    void AddFolderOfDrives(const std::string& path);
    // A network share mounted at `path` that the mount table names: NetworkMountsIn tells it
    // by its name, and looking at it or opening it is counted (LookCount, OpenCount).
    void AddNamedNetworkMount(const std::string& path);

    // Opening the folder at `path` fails as it does without access.
    void MakeUnopenable(const std::string& path);
    // The listing of the folder at `path` ends on a read error after `names` names.
    void FailListingAfter(const std::string& path, int names);
    // Looking at the entry at `path` fails, or finds it gone.
    void FailLook(const std::string& path);
    void VanishOnLook(const std::string& path);

    // The folder at `path` does not answer at `where` until ReleaseBlocked. A call on the
    // walk's thread gives up after WalkThreadBlockLimit, counted by WalkThreadBlocks, so that
    // a walk that waits where it must not fails its test instead of hanging it.
    void BlockFolder(const std::string& path, Block where);
    // Lets every blocked call and every later one go on; a test calls it in its teardown.
    void ReleaseBlocked();
    static constexpr std::chrono::seconds WalkThreadBlockLimit{4};

    // At most `count` folders open at once, across all threads; beyond it opening fails with
    // OutOfHandles. Negative: no limit.
    void SetHandleLimit(int count);
    void SetAllowance(HandleAllowance allowance);
    // The thread on which the walk runs: by default the one that made the source.
    void SetWalkThread(std::thread::id thread);

    // --- What happened. ---

    // Calls now blocked, and on the walk's thread so far.
    int BlockedNow() const;
    int WalkThreadBlocks() const;
    // Waits until at least `count` calls are blocked; false when `timeout` passed first.
    bool WaitUntilBlocked(int count, std::chrono::milliseconds timeout) const;
    int OpenFolders() const;
    // The most folders open at once since the source was made or since the last call.
    int TakeMostOpenFolders();
    // The same of the folders opened on other threads than the walk's.
    int TakeMostOpenByWorkers();
    int OutOfHandlesCount() const;
    // Times the folder or entry at `path` (not following a link in its last name) was opened
    // as a folder / looked at, on any thread or on the walk's thread.
    int OpenCount(const std::string& path) const;
    int OpenCountOnWalkThread(const std::string& path) const;
    int LookCount(const std::string& path) const;

    // --- FolderSource ---

    char Separator() const override { return '/'; }
    std::unique_ptr<SourceFolder> OpenPath(const std::string& path, bool followLink,
                                           OpenFailure& failure) override;
    HandleAllowance Allowance() override;
    DriveType DriveTypeOfDevice(std::uint64_t device) override;
    bool IsPseudoFileSystemDevice(std::uint64_t device) override;
    bool IsFolderOfDrives(std::uint64_t device) override;
    bool HasNetworkMounts() override;
    bool NamesEveryNetworkMount() const override { return true; }
    std::vector<std::string> FoldersHoldingNetworkMounts() override;
    const std::vector<NamedMount>* NetworkMountsIn(const std::string& realFolder) override;
    std::string RealPathOf(const std::string& path) override;
    bool ReadsFoldersQuickly() const override { return true; }
    // A look at its name, as a system source makes it: counted by LookCount, not OpenCount.

private:
    friend class FakeSourceFolder;

    struct Node {
        EntryFacts::Kind Type = EntryFacts::Kind::File;
        std::string Name;
        int Parent = 0;
        std::vector<int> Children;
        std::uint64_t SizeBytes = 0;
        std::int64_t LastWriteTime = 0;
        std::uint32_t LinkCount = 1;
        NodeIdentity Identity;
        std::string Target;
        bool Unopenable = false;
        int FailAfterNames = -1;
        LookResult LookAnswer = LookResult::Looked;
        bool BlockOpen = false, BlockRead = false, BlockLook = false;
    };
    struct Device {
        DriveType Drive = DriveType::Fixed;
        bool Pseudo = false;
        bool FolderOfDrives = false;
    };
    struct Counts {
        int Opens = 0, OpensOnWalkThread = 0, Looks = 0;
    };

    static constexpr int NotFound = -1;
    int Find(const std::string& path) const;
    int FindChild(int folder, std::string_view name) const;
    // The node `path` leads to from `start`, following links on the way and, when
    // `followLast`, in its last name; blocks where a folder on the way does not answer.
    int Resolve(int start, std::string_view path, bool followLast, int depth = 0);
    int MakeNode(const std::string& path, EntryFacts::Kind type);
    int MakeFolders(const std::string& path);
    std::uint64_t NewDevice(Device device);
    std::string PathOf(int node) const;
    bool OnWalkThread() const;
    void WaitWhileBlocked();
    std::unique_ptr<SourceFolder> OpenNode(int node, OpenFailure& failure, bool listable);
    void CountLook(int node);
    void Closed(bool byWorker);

    // A deque: a call left stuck by an earlier walk keeps its node while the tree grows.
    std::deque<Node> nodes_;
    std::vector<Device> devices_;
    std::uint64_t nextNumber_ = 1;
    std::map<std::string, std::vector<NamedMount>> namedMounts_;
    HandleAllowance allowance_{64, 64};
    int handleLimit_ = -1;
    std::thread::id walkThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool released_ = false;
    int blockedNow_ = 0;
    int walkThreadBlocks_ = 0;
    int openFolders_ = 0;
    int mostOpenFolders_ = 0;
    int openByWorkers_ = 0;
    int mostOpenByWorkers_ = 0;
    int outOfHandles_ = 0;
    std::map<int, Counts> counts_;
};
