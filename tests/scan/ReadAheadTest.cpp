// Folders read ahead on worker threads change nothing the window sees: every call, in the
// same order, and the same list, as the walk that reads each folder as it reaches it. The
// single-thread walk is the reference; each case compares a threaded scan with it.
#include "ChildProcess.h"
#include "RecordingWindow.h"
#include "ScanComparison.h"

#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"
#include "walk/MachineLoad.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace scancomparison;

// The read-ahead's worker threads of this process, known by their name.
int ReadAheadThreads() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream comm("/proc/self/task/" + std::string(entry->d_name) + "/comm");
            std::string name;
            std::getline(comm, name);
            count += name == "read-ahead";
        }
        closedir(tasks);
    }
    return count;
}

// The workers still to be seen once the scan has ended them: a joined thread may still be
// letting go of its descriptor table for a moment.
int ReadAheadThreadsAfterScan() {
    for (int tries = 0; tries < 200 && ReadAheadThreads() != 0; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ReadAheadThreads();
}

// The scans count the workers by their name.
[[maybe_unused]] const bool threadsCounted = [] {
    CountThreads = ReadAheadThreads;
    return true;
}();

// Compares scans of `root` with each number of `threadCounts` with the single-thread scan; ""
// when all are the same. Also checks that the threaded scans ran workers and ended them.
std::string CompareThreadedScans(const std::string& root, int stopAt = 0,
                                 std::initializer_list<int> threadCounts = {2, 3, 8}) {
    // The workers read ahead whatever else runs beside the tests: on a busy machine they
    // would not even start before the first link.
    MachineLoad::UseReader({[] { return ProcessorTimes{}; }, [] { return 1; }});
    struct UsualLoad {
        ~UsualLoad() { MachineLoad::UseReader({}); }
    } usualLoadAfterwards;
    const ScanRecord single = ScanWith(root, 1, stopAt);
    if (single.MostThreadsDuringScan != 0)
        return "the single-thread walk ran read-ahead threads";
    for (int threads : threadCounts) {
        const ScanRecord threaded = ScanWith(root, threads, stopAt);
        const std::string difference = Difference(single, threaded);
        const std::string which = std::to_string(threads) + " threads";
        if (!difference.empty())
            return which + ", " + difference;
        if (threaded.MostThreadsDuringScan != threads)
            return which + ": " + std::to_string(threaded.MostThreadsDuringScan) +
                   " read-ahead threads ran during the scan";
        if (ReadAheadThreadsAfterScan() != 0)
            return which + ": read-ahead threads still run after the scan";
    }
    return "";
}

bool IsRoot() {
    return geteuid() == 0;
}

// A tree with what the walk decides on: nested folders of varied widths (one larger than
// the walk reads at once, one larger than a worker reads), files of many sizes so that the
// list evicts, links to files, broken links, a link into the tree, a link round a cycle,
// two links to one folder outside the tree and one into it, and unreadable folders.
// Returns the root to scan.
std::string MakeMixedTree(const TempTree& tree) {
    std::mt19937_64 random(12);
    const auto size = [&] { return std::uint64_t{1} << (random() % 36); };
    std::vector<std::string> folders = {"t"};
    for (int i = 0; i < 120; ++i) {
        const std::string& parent = folders[random() % folders.size()];
        if (std::count(parent.begin(), parent.end(), '/') < 6)
            folders.push_back(parent + "/d" + std::to_string(i));
    }
    for (const std::string& folder : folders) {
        tree.Folder(folder);
        const int files = static_cast<int>(random() % 40);
        for (int i = 0; i < files; ++i)
            tree.File(folder + "/f" + std::to_string(i) + ".bin", size());
    }
    for (int i = 0; i < 1500; ++i)
        tree.File("t/d1/wide/w" + std::to_string(i), size());
    for (int i = 0; i < 4200; ++i)
        tree.File("t/d2/wider/w" + std::to_string(i), size());
    tree.File("outside/o1", 7u << 30);
    tree.File("outside/inner/o2", 3u << 30);
    const auto link = [&](const std::string& target, const std::string& at) {
        tree.Folder(fs::path(at).parent_path().string());
        fs::create_symlink(target, tree.Path(at));
    };
    link(tree.Path("outside").string(), "t/d3/out");
    link(tree.Path("outside").string(), "t/d4/out-again");
    link(tree.Path("outside/inner").string(), "t/d5/inner");
    link("../..", "t/d3/deeper/up-twice");
    link(tree.Path("t/d4").string(), "t/d6/into-tree");
    link("f0.bin", "t/d7/file-link");
    link("missing", "t/d8/broken");
    fs::permissions(tree.Folder("t/d9/locked"), fs::perms::none);
    tree.File("t/d10/locked-too/hidden", 5u << 30);
    fs::permissions(tree.Path("t/d10/locked-too"), fs::perms::owner_write);
    // The other user must reach the tree itself.
    fs::permissions(tree.Root(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    return tree.Path("t").string();
}

TEST(ReadAhead, ThreadedWalkShowsExactlyWhatTheSingleThreadWalkShows) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    const std::string root = MakeMixedTree(tree);
    // Both unreadable folders are entered (their status shown) and skipped, as nobody.
    const auto scanAndCompare = [&]() -> std::string {
        const ScanRecord single = ScanWith(root, 1);
        std::string summary = "files over 5000: " + std::to_string(single.FileCount > 5000) +
                              ", list full: " + std::to_string(single.List.size() == 100);
        for (const char* folder : {"d3/out", "d4/out-again", "d3/deeper/up-twice", "d9/locked"})
            summary += std::string(", ") + folder + " shown " +
                       std::to_string(std::count(single.Lines.begin(), single.Lines.end(),
                                                 "status " + JoinPath(root, folder)));
        return summary + "\n" + CompareThreadedScans(root);
    };
    const std::string expected =
        "files over 5000: 1, list full: 1, d3/out shown 1, "
        "d4/out-again shown 0, d3/deeper/up-twice shown 0, d9/locked shown 1\n";
    EXPECT_EQ(IsRoot() ? childprocess::Run({.AsNobody = true}, scanAndCompare) : scanAndCompare(),
              expected);
}

TEST(ReadAhead, StopsAtChosenPointsEndTheSameWayAndTheNextScanStartsClean) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    const std::string root = MakeMixedTree(tree);
    const std::vector<std::string> complete = ScanWith(root, 1).Lines;
    const int processingPoints =
        static_cast<int>(std::count(complete.begin(), complete.end(), std::string("process")));
    ASSERT_GT(processingPoints, 5000);
    for (int stopAt : {1, 2, 3, 7, 40, 333, processingPoints / 2, processingPoints - 1}) {
        SCOPED_TRACE("stop at processing point " + std::to_string(stopAt));
        EXPECT_EQ(CompareThreadedScans(root, stopAt, {3}), "");
    }
    // One engine: a stopped scan, then a complete one, which must equal a fresh engine's.
    StopRequested = false;
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.SetWalkThreads(4);
    const ScanRecord stopped = RecordScan(engine, window, icons, root, 500);
    // Each level the walk unwinds processes once more before it sees the stop.
    EXPECT_GE(window.ProcessCount, 500);
    EXPECT_EQ(std::count(stopped.Lines.begin(), stopped.Lines.end(), "report 1"), 0);
    const ScanRecord after = RecordScan(engine, window, icons, root, 0);
    EXPECT_EQ(Difference(ScanWith(root, 1), after), "");
}

TEST(ReadAhead, DeepTreeUnderALowOpenFileLimitIsWalkedTheSameWay) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    // Deeper than the descriptors the walk may keep, with paths far beyond PATH_MAX, files of
    // growing size at every level, a side branch every so often and a link deep down.
    const int levels = 400;
    std::string relative = "deep";
    std::string path = tree.Folder(relative).string();
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < levels; ++level) {
        const std::string name = "level-" + std::to_string(level);
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        const int file = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        ASSERT_EQ(ftruncate(file, (level + 1) * 1000), 0);
        close(file);
        if (level % 50 == 7) {
            ASSERT_EQ(mkdirat(fd, "side", 0755), 0);
            ASSERT_EQ(symlinkat("../f", fd, "side/back"), 0);
        }
        if (level == 300) {
            ASSERT_EQ(symlinkat(tree.Folder("outside").c_str(), fd, "out"), 0);
        }
        const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    close(fd);
    tree.File("outside/o", 123456789);
    const std::string root = tree.Path("deep").string();
    const std::string answer = childprocess::Run({.OpenFileLimit = 48}, [&]() -> std::string {
        const ScanRecord single = ScanWith(root, 1);
        return "files " + std::to_string(single.FileCount) + "\n" + CompareThreadedScans(root);
    });
    // A file at every level, the one outside, and the eight links back from the side branches.
    EXPECT_EQ(answer, "files " + std::to_string(levels + 1 + 8) + "\n");
}

TEST(ReadAhead, EveryOpenFileLimitGivesTheSingleThreadList) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    const std::string root = MakeMixedTree(tree);
    const std::string complete = childprocess::Run({.AsNobody = IsRoot()}, [&] {
        return std::to_string(ScanWith(root, 1).FileCount) + " files";
    });
    // From the fewest descriptors that still open the root (three are the standard streams,
    // one the test's channel) to where the workers get some of their own. Every worker count
    // shows what the single thread shows under the same limit, and from four free
    // descriptors on that is the whole tree. (Too few descriptors are left to count threads.)
    for (rlim_t limit : {5, 6, 7, 8, 10, 12, 16, 20, 24, 32}) {
        const std::string answer =
            childprocess::Run({.AsNobody = IsRoot(), .OpenFileLimit = limit}, [&] {
                const ScanRecord single = ScanWith(root, 1);
                std::string differences;
                for (int threads : {2, 4, 16})
                    differences += Difference(single, ScanWith(root, threads));
                return std::to_string(single.FileCount) + " files" + differences;
            });
        if (limit >= 8)
            EXPECT_EQ(answer, complete) << "open-file limit " << limit;
        else
            EXPECT_EQ(answer.find(' '), answer.rfind(' '))
                << "open-file limit " << limit << ": " << answer;
    }
}

TEST(ReadAhead, WalkGoesOnAloneWhenTheSystemRefusesThreads) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    const std::string root = MakeMixedTree(tree);
    const auto scanAndCompare = [&]() -> std::string {
        const ScanRecord single = ScanWith(root, 1);
        const ScanRecord refused = ScanWith(root, 4);
        return "threads " + std::to_string(refused.MostThreadsDuringScan) + ", " +
               (Difference(single, refused).empty() ? "same" : Difference(single, refused));
    };
    EXPECT_EQ(childprocess::Run({.AsNobody = IsRoot(), .ProcessLimit = 1}, scanAndCompare),
              "threads 0, same");
}

// Changes the tree under `root` over and over until `stop` is set: replaces files, removes
// and remakes folders, puts files and links where folders were. Staged files are made in
// `staging`, outside the tree.
void Churn(const std::string& root, const std::string& staging, const std::atomic<bool>& stop) {
    std::mt19937_64 random(5);
    std::error_code ignored;
    for (unsigned round = 0; !stop.load(); ++round) {
        const std::string folder = root + "/d" + std::to_string(random() % 12);
        const std::string sub = folder + "/s" + std::to_string(random() % 4);
        switch (random() % 4) {
        case 0: {
            const std::string staged = staging + "/new";
            { std::ofstream create(staged); }
            fs::resize_file(staged, random() % (1u << 30), ignored);
            fs::rename(staged, folder + "/f" + std::to_string(random() % 20), ignored);
            break;
        }
        case 1:
            fs::remove_all(sub, ignored);
            fs::create_directories(sub + "/inner", ignored);
            for (int i = 0; i < 10; ++i)
                std::ofstream(sub + "/inner/g" + std::to_string(i)) << round;
            break;
        case 2:
            fs::remove_all(sub, ignored);
            std::ofstream(sub) << round;
            break;
        case 3:
            fs::remove_all(sub, ignored);
            fs::create_directory_symlink("../d" + std::to_string(random() % 12), sub, ignored);
            break;
        }
    }
}

TEST(ReadAhead, ChurnWhileReadingAheadNeverCrashesNorListsAFileTwice) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    // The other user works in a folder of its own, inside the temporary one.
    const std::string base = tree.Folder("churn").string();
    if (IsRoot()) {
        ASSERT_EQ(chown(base.c_str(), childprocess::Nobody, childprocess::Nobody), 0);
    }
    fs::permissions(tree.Root(),
                    fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    const auto churnAndScan = [&]() -> std::string {
        const std::string root = base + "/tree";
        const std::string staging = base + "/staging";
        std::error_code error;
        fs::create_directories(staging, error);
        for (int d = 0; d < 12; ++d)
            for (int s = 0; s < 4; ++s) {
                const std::string sub = root + "/d" + std::to_string(d) + "/s" + std::to_string(s);
                fs::create_directories(sub + "/inner", error);
                for (int f = 0; f < 20; ++f)
                    std::ofstream(sub + "/inner/f" + std::to_string(f)) << f;
            }
        if (error)
            return "could not make the tree: " + error.message();
        std::atomic<bool> stop{false};
        std::thread churn(Churn, root, staging, std::cref(stop));
        std::string faults;
        int scans = 0;
        for (; scans < 40 && faults.empty(); ++scans) {
            const ScanRecord record = ScanWith(root, 4);
            std::set<std::string> seen;
            for (const std::string& line : record.List) {
                const std::string path = line.substr(0, line.find('\t'));
                if (!seen.insert(path).second)
                    faults += "listed twice: " + path + "\n";
            }
            if (std::count(record.Lines.begin(), record.Lines.end(), "report 1") != 1)
                faults += "a scan did not end normally\n";
        }
        stop = true;
        churn.join();
        return faults.empty() ? "ok" : faults;
    };
    EXPECT_EQ(IsRoot() ? childprocess::Run({.AsNobody = true}, churnAndScan) : churnAndScan(),
              "ok");
}

} // namespace
