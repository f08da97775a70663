#include "ScratchMounts.h"
#include "TestTree.h"

#include <gtest/gtest.h>

#include "platform/posix/MountTable.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <sstream>
#include <sys/time.h>

using namespace testtree;

namespace {

constexpr std::uint64_t GiB = std::uint64_t(1) << 30;

// Files of a walk by path, relative to `root`; a file delivered twice is a failure.
std::map<std::string, std::uint64_t> FilesBelow(const std::string& root, const WalkResult& walk) {
    std::map<std::string, std::uint64_t> files;
    for (const WalkedEntry& entry : walk.Entries) {
        if (entry.IsFolder) {
            continue;
        }
        std::string relative = entry.Path.substr(root.size() + 1);
        EXPECT_TRUE(files.emplace(relative, entry.SizeBytes).second)
            << "delivered twice: " << relative;
    }
    return files;
}

std::set<std::string> FoldersBelow(const std::string& root, const WalkResult& walk) {
    std::set<std::string> folders;
    for (const WalkedEntry& entry : walk.Entries) {
        if (entry.IsFolder) {
            folders.insert(entry.Path.substr(root.size() + 1));
        }
    }
    return folders;
}

int OpenDescriptorCount() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    while (readdir(dir) != nullptr) {
        ++count;
    }
    closedir(dir);
    return count;
}

void SetModificationTime(const std::string& path, std::int64_t seconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    Check(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat");
}

std::string FirstExecutable(std::initializer_list<const char*> candidates) {
    for (const char* candidate : candidates) {
        if (access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

struct ProbeReport {
    std::map<std::string, std::uint64_t> Files;
    std::vector<std::string> Unopened;
    bool Done = false;
    std::size_t FileCount = 0;
    std::size_t LongestPath = 0;
};

ProbeReport ParseProbeOutput(const std::string& output) {
    ProbeReport report;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t tab = line.find('\t');
        std::string kind = line.substr(0, tab);
        std::string rest = tab == std::string::npos ? "" : line.substr(tab + 1);
        std::size_t second = rest.find('\t');
        if (kind == "file" && second != std::string::npos) {
            report.Files[rest.substr(second + 1)] = std::stoull(rest.substr(0, second));
        } else if (kind == "unopened") {
            report.Unopened.push_back(rest);
        } else if (kind == "done" && second != std::string::npos) {
            report.Done = true;
            report.FileCount = std::stoul(rest.substr(0, second));
            report.LongestPath = std::stoul(rest.substr(second + 1));
        }
    }
    return report;
}

} // namespace

TEST(FolderWalkTest, DeliversFilesFoldersAndExactSizes) {
    ScratchFolder root;
    MakeFile(root / "empty.txt");
    MakeFile(root / "one.bin", 1);
    MakeFolder(root / "a");
    MakeFolder(root / "a/b");
    MakeFolder(root / "a/b/c");
    MakeFolder(root / "emptyfolder");
    MakeFile(root / "a/b/c/deep.dat", 12345);
    MakeFile(root / "a/five.iso", 5 * GiB);
    MakeFile(root / "a/b/four.img", 4 * GiB);

    WalkResult walk = WalkAll(root.Path());

    std::map<std::string, std::uint64_t> expected = {{"empty.txt", 0},
                                                     {"one.bin", 1},
                                                     {"a/b/c/deep.dat", 12345},
                                                     {"a/five.iso", 5 * GiB},
                                                     {"a/b/four.img", 4 * GiB}};
    EXPECT_EQ(FilesBelow(root.Path(), walk), expected);
    EXPECT_EQ(FoldersBelow(root.Path(), walk),
              (std::set<std::string>{"a", "a/b", "a/b/c", "emptyfolder"}));
    EXPECT_TRUE(walk.Unopened.empty());
    for (const WalkedEntry& entry : walk.Entries) {
        std::string name = SplitFileLocation(entry.Path).FileName;
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
}

TEST(FolderWalkTest, FilesCarryTheirLinkCountIdentityAndDrive) {
    ScratchFolder root;
    MakeFile(root / "one", 10);
    MakeFolder(root / "sub");
    Check(link((root / "one").c_str(), (root / "sub/other-name").c_str()) == 0, "link");
    MakeFile(root / "sub/single", 20);
    struct stat one;
    Check(stat((root / "one").c_str(), &one) == 0, "stat");

    std::map<std::string, WalkedEntry> byName;
    for (const WalkedEntry& entry : WalkAll(root.Path()).Entries) {
        byName[SplitFileLocation(entry.Path).FileName] = entry;
    }
    ASSERT_EQ(byName.size(), 4u);
    const WalkedEntry& first = byName["one"];
    const WalkedEntry& second = byName["other-name"];
    EXPECT_EQ(first.LinkCount, 2u);
    EXPECT_EQ(second.LinkCount, 2u);
    EXPECT_EQ(first.Device, static_cast<std::uint64_t>(one.st_dev));
    EXPECT_EQ(first.FileNumber, static_cast<std::uint64_t>(one.st_ino));
    EXPECT_EQ(second.Device, first.Device);
    EXPECT_EQ(second.FileNumber, first.FileNumber);
    EXPECT_EQ(byName["single"].LinkCount, 1u);
    EXPECT_NE(byName["single"].FileNumber, first.FileNumber);
    // The kind of drive comes with each file, as a look at the file itself says.
    EXPECT_EQ(first.Drive, QueryDriveTypeOfFile(root / "one"));
    EXPECT_NE(first.Drive, DriveType::Unknown);
    EXPECT_EQ(byName["sub"].Drive, DriveType::Unknown) << "folders carry no drive";
}

TEST(FolderWalkTest, ReportsModificationTimeInWholeSeconds) {
    ScratchFolder root;
    const std::map<std::string, std::int64_t> times = {
        {"2009.txt", 1234567890}, {"1969.txt", -86400}, {"2100.txt", 4102444800}};
    for (const auto& [name, seconds] : times) {
        MakeFile(root / name, 10);
        SetModificationTime(root / name, seconds);
    }
    WalkResult walk = WalkAll(root.Path());
    ASSERT_EQ(walk.Entries.size(), times.size());
    for (const WalkedEntry& entry : walk.Entries) {
        EXPECT_EQ(entry.LastWriteTime, times.at(SplitFileLocation(entry.Path).FileName))
            << entry.Path;
    }
}

TEST(FolderWalkTest, NameThatIsNotUtf8KeepsItsBytes) {
    ScratchFolder root;
    const std::string name = "caf\xe9-\xff\xfe.bin";
    MakeFile(root / name, 7);
    WalkResult walk = WalkAll(root.Path());
    ASSERT_EQ(walk.Entries.size(), 1u);
    EXPECT_EQ(walk.Entries[0].Path, root / name);
    EXPECT_EQ(walk.Entries[0].SizeBytes, 7u);
    struct stat st;
    EXPECT_EQ(stat(walk.Entries[0].Path.c_str(), &st), 0) << "the delivered name reaches the file";
}

TEST(FolderWalkTest, BrokenLinkAndLinkToFileAreEmptyFiles) {
    ScratchFolder root;
    MakeFile(root / "target.bin", 1000);
    MakeLink("target.bin", root / "tofile");
    MakeLink("nowhere", root / "broken");
    WalkResult walk = WalkAll(root.Path());
    std::map<std::string, std::uint64_t> expected = {
        {"target.bin", 1000}, {"tofile", 0}, {"broken", 0}};
    EXPECT_EQ(FilesBelow(root.Path(), walk), expected);
}

TEST(FolderWalkTest, FollowsLinkToFolderOutsideTheTree) {
    ScratchFolder root;
    ScratchFolder outside;
    MakeFile(outside / "x.bin", 42);
    MakeFolder(outside / "s");
    MakeFile(outside / "s/y.bin", 7);
    MakeLink(outside.Path(), root / "out");

    WalkResult walk = WalkAll(root.Path());
    EXPECT_EQ(FilesBelow(root.Path(), walk),
              (std::map<std::string, std::uint64_t>{{"out/x.bin", 42}, {"out/s/y.bin", 7}}));
    EXPECT_EQ(FoldersBelow(root.Path(), walk), (std::set<std::string>{"out", "out/s"}));
}

TEST(FolderWalkTest, LinksBackIntoTheTreeAreNotFollowed) {
    ScratchFolder root;
    MakeFolder(root / "real");
    MakeFolder(root / "real/sub");
    MakeFile(root / "real/f.bin", 5);
    MakeFile(root / "real/sub/g.bin", 6);
    MakeLink(root / "real", root / "toreal"); // absolute, to a folder in the tree
    MakeLink("real/sub", root / "rel");       // relative, deeper in the tree
    MakeLink("../..", root / "real/sub/up");  // the root itself
    MakeLink(".", root / "self");             // the folder that holds the link

    WalkResult walk = WalkAll(root.Path());
    EXPECT_EQ(FilesBelow(root.Path(), walk),
              (std::map<std::string, std::uint64_t>{{"real/f.bin", 5}, {"real/sub/g.bin", 6}}));
    EXPECT_EQ(FoldersBelow(root.Path(), walk), (std::set<std::string>{"real", "real/sub"}));
}

TEST(FolderWalkTest, LinkCycleOutsideTheTreeEnds) {
    ScratchFolder root;
    ScratchFolder a;
    ScratchFolder b;
    MakeFile(a / "a.bin", 1);
    MakeFile(b / "b.bin", 2);
    MakeLink(b.Path(), a / "toB");
    MakeLink(a.Path(), b / "toA");
    MakeLink(a.Path(), root / "toA");

    WalkResult walk = WalkAll(root.Path());
    EXPECT_EQ(FilesBelow(root.Path(), walk),
              (std::map<std::string, std::uint64_t>{{"toA/a.bin", 1}, {"toA/toB/b.bin", 2}}));
}

TEST(FolderWalkTest, FilesReachedThroughSeveralLinksAreListedOnce) {
    ScratchFolder parent;
    MakeFile(parent / "beside.bin", 3);
    MakeFolder(parent / "root");
    MakeFile(parent / "root/own.bin", 4);
    MakeFolder(parent / "shared");
    MakeFolder(parent / "shared/inner");
    MakeFile(parent / "shared/s.bin", 5);
    MakeFile(parent / "shared/inner/i.bin", 6);
    // A link to the folder above the root, and two links to one folder and to a folder in it.
    MakeLink(parent.Path(), parent / "root/up");
    MakeLink(parent / "shared/inner", parent / "root/toinner");
    MakeLink(parent / "shared", parent / "root/toshared");

    const std::string rootPath = parent / "root";
    WalkResult walk = WalkAll(rootPath);
    std::map<std::string, int> timesSeen;
    for (const auto& [path, size] : FilesBelow(rootPath, walk)) {
        ++timesSeen[SplitFileLocation(path).FileName];
    }
    EXPECT_EQ(timesSeen, (std::map<std::string, int>{
                             {"own.bin", 1}, {"beside.bin", 1}, {"s.bin", 1}, {"i.bin", 1}}));
}

TEST(FolderWalkTest, FolderThatCannotBeOpenedDeliversNothing) {
    ScratchFolder root;
    MakeFile(root / "plain.txt", 3);
    for (const std::string& folder : {root / "missing", root / "plain.txt", std::string()}) {
        FolderWalk walk(folder);
        EXPECT_EQ(walk.OpenRoot(), FolderSkip::Unreadable) << folder;
        EXPECT_EQ(walk.Depth(), 0);
        DirectoryEntry entry;
        EXPECT_FALSE(walk.Next(entry)) << folder;
        EXPECT_EQ(walk.Enter(), FolderSkip::NotEntered);
    }
}

TEST(FolderWalkTest, LeaveEndsTheFolderAndTheWalkOpensAgainFromItsRoot) {
    ScratchFolder root;
    MakeFile(root / "a", 1);
    MakeFile(root / "b", 2);
    FolderWalk walk(root.Path());
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    DirectoryEntry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(walk.Enter(), FolderSkip::NotEntered) << "a file is not entered";
    walk.Leave();
    EXPECT_EQ(walk.Depth(), 0);
    EXPECT_FALSE(walk.Next(entry));
    walk.Leave();

    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    int count = 0;
    while (walk.Next(entry)) {
        ++count;
    }
    EXPECT_EQ(count, 2);
    EXPECT_EQ(walk.EndReason(), FolderSkip::None);
}

TEST(FolderWalkTest, EntryRemovedWhileListedIsSkipped) {
    ScratchFolder root;
    for (char c = 'a'; c <= 'j'; ++c) {
        MakeFile(root / std::string(1, c), 1);
    }
    FolderWalk walk(root.Path());
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    DirectoryEntry entry;
    ASSERT_TRUE(walk.Next(entry));
    const std::string kept(entry.Name);
    for (char c = 'a'; c <= 'j'; ++c) {
        if (std::string(1, c) != kept) {
            unlink((root / std::string(1, c)).c_str());
        }
    }
    std::vector<std::string> later;
    while (walk.Next(entry)) {
        later.emplace_back(entry.Name);
    }
    EXPECT_TRUE(later.empty()) << "first delivered after the removal: " << later.front();
}

TEST(FolderWalkTest, DeepLevelsFollowTheSameRulesAndReleaseEveryDescriptor) {
    // Deeper than any descriptor budget, so the lower levels are read in one go.
    constexpr int Levels = 260;
    ScratchFolder root;
    ScratchFolder outside;
    MakeFile(outside / "far.bin", 99);
    MakeDeepChain(root.Path(), Levels, "d");
    std::string deepest = root.Path();
    for (int level = 0; level < Levels; ++level) {
        deepest += "/d";
    }
    MakeLink(outside.Path(), deepest + "/out");
    MakeLink(root.Path(), deepest + "/back");
    MakeLink("nowhere", deepest + "/broken");

    const int descriptorsBefore = OpenDescriptorCount();
    WalkResult walk = WalkAll(root.Path());
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);

    std::map<std::string, std::uint64_t> files = FilesBelow(root.Path(), walk);
    EXPECT_EQ(files.size(), static_cast<std::size_t>(Levels) + 2);
    const std::string deepRelative = deepest.substr(root.Path().size() + 1);
    EXPECT_EQ(files[deepRelative + "/f"], static_cast<std::uint64_t>(Levels));
    EXPECT_EQ(files[deepRelative + "/out/far.bin"], 99u);
    EXPECT_EQ(files[deepRelative + "/broken"], 0u);
    EXPECT_EQ(files.count(deepRelative + "/back/d/f"), 0u);
    EXPECT_TRUE(walk.Unopened.empty());
}

TEST(FolderWalkTest, TreeDeeperThanTheOpenFileLimitAndPathMaxIsWalkedCompletely) {
    constexpr int Levels = 3000;
    ScratchFolder root;
    MakeDeepChain(root.Path(), Levels, "level_dir");

    ProgramRun run = RunProgram({WALK_PROBE_PATH, "--nofile", "256", root.Path()});
    ASSERT_EQ(run.ExitStatus, 0) << run.Output.substr(0, 2000);
    ProbeReport report = ParseProbeOutput(run.Output);
    ASSERT_TRUE(report.Done);
    EXPECT_EQ(report.FileCount, static_cast<std::size_t>(Levels));
    EXPECT_GT(report.LongestPath, static_cast<std::size_t>(PATH_MAX));
    EXPECT_TRUE(report.Unopened.empty());
    std::uint64_t sizeSum = 0;
    for (const auto& [path, size] : report.Files) {
        sizeSum += size;
    }
    EXPECT_EQ(sizeSum, std::uint64_t(Levels) * (Levels + 1) / 2)
        << "every level's file with its own size";
}

TEST(FolderWalkTest, WalkCompletesUnderAVeryLowOpenFileLimit) {
    // 400 levels of three files each, below a limit that leaves a handful of descriptors.
    constexpr int Levels = 400;
    ScratchFolder root;
    MakeDeepChain(root.Path(), Levels, "d");
    std::string folder = root.Path();
    for (int level = 0; level < Levels; ++level) {
        folder += "/d";
        MakeFile(folder + "/g", 1);
        MakeFile(folder + "/h", 2);
    }
    for (const char* limit : {"6", "12"}) {
        ProgramRun run = RunProgram({WALK_PROBE_PATH, "--nofile", limit, root.Path()});
        ASSERT_EQ(run.ExitStatus, 0) << run.Output.substr(0, 2000);
        ProbeReport report = ParseProbeOutput(run.Output);
        ASSERT_TRUE(report.Done) << "limit " << limit;
        EXPECT_EQ(report.FileCount, static_cast<std::size_t>(3 * Levels)) << "limit " << limit;
        EXPECT_TRUE(report.Unopened.empty()) << "limit " << limit;
    }
}

TEST(FolderWalkTest, FolderReachedASecondTimeByAMountIsNotWalkedAgain) {
    // A folder bind-mounted inside itself, and a folder mounted a second time beside itself,
    // have the same device and inode as the folder first walked.
    ScratchFolder root;
    MakeFile(root / "a.bin", 1);
    MakeFolder(root / "sub");
    MakeFile(root / "sub/b.bin", 2);
    MakeFolder(root / "sub/loop");
    MakeFolder(root / "x");
    MakeFile(root / "x/c.bin", 3);
    MakeFolder(root / "y");
    ScratchMount loop = ScratchMount::Bind(root.Path(), root / "sub/loop");
    if (!loop.Ok()) {
        GTEST_SKIP() << loop.Error();
    }
    ScratchMount twice = ScratchMount::Bind(root / "x", root / "y");
    ASSERT_TRUE(twice.Ok()) << twice.Error();

    WalkResult walk = WalkAll(root.Path());
    std::map<std::string, int> timesSeen;
    for (const auto& [path, size] : FilesBelow(root.Path(), walk)) {
        ++timesSeen[SplitFileLocation(path).FileName];
    }
    EXPECT_EQ(timesSeen, (std::map<std::string, int>{{"a.bin", 1}, {"b.bin", 1}, {"c.bin", 1}}));
}

TEST(FolderWalkTest, UnreadableFolderIsSkippedAndTheWalkGoesOn) {
    // Permission bits do not stop root: the walk then runs as an unprivileged user.
    const bool asRoot = geteuid() == 0;
    const std::string setpriv = FirstExecutable({"/usr/bin/setpriv", "/bin/setpriv"});
    if (asRoot && setpriv.empty()) {
        GTEST_SKIP() << "running as root and setpriv is not available to drop privileges";
    }
    // Both folders must be reachable by the other user.
    ScratchFolder tree("/tmp");
    ScratchFolder programs("/tmp");
    chmod(tree.Path().c_str(), 0755);
    chmod(programs.Path().c_str(), 0755);
    MakeFile(tree / "a.bin", 1);
    MakeFolder(tree / "locked", 0755);
    MakeFile(tree / "locked/secret.bin", 2);
    chmod((tree / "locked").c_str(), 0);
    MakeFolder(tree / "zz");
    MakeFile(tree / "zz/after.bin", 3);

    std::vector<std::string> command;
    if (asRoot) {
        // A copy beside the tree, since the build folder may be closed to other users.
        const std::string probe = programs / "walk_probe";
        ProgramRun copy = RunProgram({"/bin/cp", WALK_PROBE_PATH, probe});
        ASSERT_EQ(copy.ExitStatus, 0);
        chmod(probe.c_str(), 0755);
        command = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", probe};
    } else {
        command = {WALK_PROBE_PATH};
    }
    command.push_back(tree.Path());
    ProgramRun run = RunProgram(command);
    ASSERT_EQ(run.ExitStatus, 0) << run.Output;
    ProbeReport report = ParseProbeOutput(run.Output);
    ASSERT_TRUE(report.Done) << run.Output;
    EXPECT_EQ(report.Unopened, std::vector<std::string>{tree / "locked"});
    EXPECT_EQ(report.Files, (std::map<std::string, std::uint64_t>{{tree / "a.bin", 1},
                                                                  {tree / "zz/after.bin", 3}}));
}

TEST(PseudoFileSystemTest, ProcIsNotEnteredAsRootOrAsChild) {
    if (access("/proc/self", F_OK) != 0) {
        GTEST_SKIP() << "no /proc on this system";
    }
    {
        FolderWalk walk("/proc");
        EXPECT_EQ(walk.OpenRoot(), FolderSkip::NotEntered);
    }

    // Below "/", the mount table says which top folders hold pseudo file systems.
    const std::vector<MountEntry> mounts = ReadMountTable();
    auto fsTypeMountedAt = [&](const std::string& point) {
        std::string type;
        for (const MountEntry& mount : mounts) {
            if (mount.MountPoint == point) {
                type = mount.FsType;
            }
        }
        return type;
    };
    FolderWalk walk("/");
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    DirectoryEntry entry;
    bool sawProc = false;
    bool enteredOrdinaryFolder = false;
    while (walk.Next(entry)) {
        if ((entry.Attributes & FolderAttribute) == 0) {
            continue;
        }
        const std::string path = JoinPath("/", std::string(entry.Name));
        const std::string type = fsTypeMountedAt(path);
        const std::string name(entry.Name);
        const bool entered = walk.Enter() == FolderSkip::None;
        if (entered) {
            walk.Leave();
        }
        if (name == "proc") {
            sawProc = true;
            EXPECT_FALSE(entered);
        } else if (IsPseudoFsType(type)) {
            EXPECT_FALSE(entered) << path << " (" << type << ")";
        } else if (name == "etc" || name == "usr") {
            EXPECT_TRUE(entered) << path;
            enteredOrdinaryFolder = enteredOrdinaryFolder || entered;
        }
    }
    EXPECT_TRUE(sawProc);
    EXPECT_TRUE(enteredOrdinaryFolder);
}
