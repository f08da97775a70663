// scan_bench [--window] [--threads N] [--make N] [--seed S] [--runs K] FOLDER
//
// Times the scan engine over FOLDER against the plain walk, both with warm caches, and
// prints:
//   threads T      the engine's walk threads (1: no read-ahead)
//   files N        the engine's file count
//   engine_ms X    best engine scan
//   plain_ms Y     best plain walk
//   ratio R        X / Y
//   max_gap_ms G   (--window only) the longest time the walk went without processing
//                  pending events, over all timed runs
// followed by the engine's listed entries, one per line: size, a tab, the full path.
// The best processor times and the peak memory go to the error stream, which keeps the
// output above exact.
// --window runs the engine inside the program's main window (offscreen) instead of behind
// a window that does nothing.
// --threads T sets the engine's walk threads (default: as the program chooses).
// --cold drops the system's page cache before every run (as root; it says so when it cannot),
// so that both walks read the tree from the disk.
// --make N first creates a tree of N files in FOLDER (which must be empty or missing).
// --no-plain leaves the plain walk out (no plain_ms and ratio): for trees it cannot walk
// (deeper than the open-file limit, links to follow) and for the engine's own peak memory.
// --against-one-thread times the engine against itself with one walk thread instead of the
// plain walk, K cycles of four scans (threads T, 1, 1, T: a drift of the machine's speed
// falls on both alike), and prints the means and the mean difference per scan with its
// standard error:
//   workers_ms X  one_thread_ms Y  difference_ms D  difference_sem_ms E
// the median difference (difference_median_ms), the mean difference in the process's processor
// time with its standard error (cpu_difference_ms, cpu_difference_sem_ms), and the best scan
// of each, as engine_ms is otherwise: workers_best_ms, one_thread_best_ms.
#include "BenchedScan.h"
#include "CommandLine.h"
#include "PlainWalk.h"
#include "TreeGenerator.h"
#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    std::string Folder;
    bool Make = false;
    std::uint64_t MakeCount = 0;
    std::uint64_t Seed = 1;
    int Runs = 5;
    bool Window = false;
    int Threads = 0; // 0: as the program chooses for this machine
    bool Cold = false;
    bool Plain = true;
    bool Spinner = false;
    bool AgainstOneThread = false;
};

// A process that spins on one processor for as long as it lives, as a build or a game
// competes with the scan on a user's machine.
class CompetingSpinner {
public:
    CompetingSpinner() : child_(::fork()) {
        if (child_ == 0) {
            volatile unsigned long turns = 0;
            for (;;) {
                turns = turns + 1;
            }
        }
    }
    ~CompetingSpinner() {
        if (child_ > 0) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, nullptr, 0);
        }
    }
    CompetingSpinner(const CompetingSpinner&) = delete;
    CompetingSpinner& operator=(const CompetingSpinner&) = delete;

private:
    pid_t child_;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: scan_bench [--window] [--threads T] [--cold] [--make N] [--seed S] "
                 "[--runs K] [--no-plain] [--spinner] [--against-one-thread] FOLDER\n"
                 "  times the scan engine over FOLDER against a plain readdir/fstatat walk\n"
                 "  --window   scan inside the program's main window, offscreen\n"
                 "  --threads T  the engine's walk threads, 1 for no read-ahead (default: one\n"
                 "             per processor core)\n"
                 "  --cold     drop the page cache before every run (needs root)\n"
                 "  --make N   first create a tree of N sparse files in FOLDER (empty or missing)\n"
                 "  --seed S   the tree's seed for --make (default 1)\n"
                 "  --runs K   timed runs of each after one warm-up (default 5)\n"
                 "  --no-plain time the engine alone, without the plain walk\n"
                 "  --spinner  a process spinning on one processor competes with both\n"
                 "  --against-one-thread  the engine against itself with --threads 1, K\n"
                 "             cycles of T, 1, 1, T; the mean difference per scan\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        std::uint64_t number = 0;
        if (arg == "--make" && hasValue && ParseUnsigned(argv[i + 1], number)) {
            options.Make = true;
            options.MakeCount = number;
            ++i;
        } else if (arg == "--seed" && hasValue && ParseUnsigned(argv[i + 1], number)) {
            options.Seed = number;
            ++i;
        } else if (arg == "--runs" && hasValue && ParseUnsigned(argv[i + 1], number) &&
                   number >= 1 && number <= 1000) {
            options.Runs = static_cast<int>(number);
            ++i;
        } else if (arg == "--threads" && hasValue && ParseUnsigned(argv[i + 1], number) &&
                   number >= 1 && number <= 256) {
            options.Threads = static_cast<int>(number);
            ++i;
        } else if (arg == "--cold") {
            options.Cold = true;
        } else if (arg == "--spinner") {
            options.Spinner = true;
        } else if (arg == "--against-one-thread") {
            options.AgainstOneThread = true;
        } else if (arg == "--no-plain") {
            options.Plain = false;
        } else if (arg == "--window") {
            options.Window = true;
        } else if (arg.starts_with("--") || !options.Folder.empty()) {
            return false;
        } else {
            options.Folder = argv[i];
        }
    }
    return !options.Folder.empty();
}

using Clock = std::chrono::steady_clock;

double CpuMilliseconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Wall-clock and processor time of one run. On a shared machine the wall clock also counts
// the time other programs held the processor; the processor time does not.
struct RunTime {
    double WallMs = 0;
    double CpuMs = 0;
    // The processor time of the calling thread alone: the walk's share when workers read
    // ahead of it.
    double ThreadCpuMs = 0;
};

template <typename Work> RunTime TimeRun(Work work) {
    const auto wallStart = Clock::now();
    const double cpuStart = CpuMilliseconds();
    const double threadStart = CpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
    work();
    RunTime time;
    time.ThreadCpuMs = CpuMilliseconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
    time.CpuMs = CpuMilliseconds() - cpuStart;
    time.WallMs = std::chrono::duration<double, std::milli>(Clock::now() - wallStart).count();
    return time;
}

void KeepBest(RunTime& best, const RunTime& run, bool first) {
    best.WallMs = first ? run.WallMs : std::min(best.WallMs, run.WallMs);
    best.CpuMs = first ? run.CpuMs : std::min(best.CpuMs, run.CpuMs);
    best.ThreadCpuMs = first ? run.ThreadCpuMs : std::min(best.ThreadCpuMs, run.ThreadCpuMs);
}

// Empties the system's page cache, with its cached folders and inodes, so that the next walk
// reads from the disk. False when it cannot (not root, or no such control).
bool DropPageCache() {
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool dropped = ::write(fd, "3", 1) == 1;
    ::close(fd);
    return dropped;
}

double PeakMemoryMB() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

double Ratio(double engine, double plain) {
    return plain > 0 ? engine / plain : 0.0;
}

// The mean of `values` with its standard error, and their median, which a few scans slowed
// by the host cannot move.
struct Spread {
    double Mean = 0;
    double StandardError = 0;
    double Median = 0;
};

Spread SpreadOf(std::vector<double> values) {
    Spread spread;
    const double n = static_cast<double>(values.size());
    if (values.empty()) {
        return spread;
    }
    double squares = 0;
    for (const double value : values) {
        spread.Mean += value / n;
    }
    for (const double value : values) {
        squares += (value - spread.Mean) * (value - spread.Mean);
    }
    spread.StandardError = values.size() > 1 ? std::sqrt(squares / (n - 1) / n) : 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    spread.Median = *middle;
    if (values.size() % 2 == 0) {
        spread.Median = (spread.Median + *std::max_element(values.begin(), middle)) / 2;
    }
    return spread;
}

// The engine with `threads` walk threads against itself with one, `cycles` times over in
// the order threads, one, one, threads.
void CompareWithOneThread(BenchedScan& scan, const std::string& folder, int threads, int cycles) {
    const auto scanWith = [&](int walkThreads) {
        scan.Engine().SetWalkThreads(walkThreads);
        const RunTime run = TimeRun([&] { scan.Scan(folder); });
        scan.Settle();
        return run;
    };
    scanWith(threads);
    scanWith(1);
    double workers = 0, one = 0;
    double bestWorkers = 1e300, bestOne = 1e300;
    std::vector<double> wallDifferences, cpuDifferences;
    const auto timed = [](const RunTime& run, double& best) {
        best = std::min(best, run.WallMs);
        return run;
    };
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const RunTime first = timed(scanWith(threads), bestWorkers);
        const RunTime oneA = timed(scanWith(1), bestOne);
        const RunTime oneB = timed(scanWith(1), bestOne);
        const RunTime last = timed(scanWith(threads), bestWorkers);
        const double withWorkers = first.WallMs + last.WallMs;
        const double oneThread = oneA.WallMs + oneB.WallMs;
        workers += withWorkers / 2;
        one += oneThread / 2;
        wallDifferences.push_back((withWorkers - oneThread) / 2);
        cpuDifferences.push_back((first.CpuMs + last.CpuMs - oneA.CpuMs - oneB.CpuMs) / 2);
    }
    const double n = cycles;
    const Spread wall = SpreadOf(wallDifferences);
    const Spread cpu = SpreadOf(cpuDifferences);
    scan.Engine().SetWalkThreads(threads);
    std::printf("threads %d\n", scan.Engine().WalkThreads());
    std::printf("files %u\n", scan.Engine().State().FileCount);
    std::printf("workers_ms %.3f\none_thread_ms %.3f\ndifference_ms %.3f\ndifference_sem_ms %.3f\n",
                workers / n, one / n, wall.Mean, wall.StandardError);
    std::printf("difference_median_ms %.3f\n", wall.Median);
    std::printf("cpu_difference_ms %.3f\ncpu_difference_sem_ms %.3f\n", cpu.Mean,
                cpu.StandardError);
    std::printf("workers_best_ms %.3f\none_thread_best_ms %.3f\n", bestWorkers, bestOne);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return Usage();
    }
    if (options.Window && !WindowScanAvailable()) {
        std::fprintf(stderr, "scan_bench: --window needs the main window, and this build has "
                             "none: configure with -DBULKON_WITH_QT=ON\n");
        return 2;
    }
    try {
        if (options.Make) {
            TreeShape shape;
            shape.FileCount = static_cast<std::size_t>(options.MakeCount);
            shape.Seed = options.Seed;
            const GeneratedTree tree = GenerateTree(options.Folder, shape);
            std::fprintf(stderr, "made %zu files in %zu folders\n", tree.Files.size(),
                         tree.FolderCount);
        }

        // A missing folder would give a scan of nothing and a meaningless ratio.
        struct stat folderInfo;
        if (::stat(options.Folder.c_str(), &folderInfo) != 0) {
            std::fprintf(stderr, "scan_bench: cannot read %s: %s\n", options.Folder.c_str(),
                         std::strerror(errno));
            return 1;
        }
        if (!S_ISDIR(folderInfo.st_mode)) {
            std::fprintf(stderr, "scan_bench: not a folder: %s\n", options.Folder.c_str());
            return 1;
        }

        std::optional<CompetingSpinner> spinner;
        if (options.Spinner) {
            spinner.emplace();
        }
        const std::unique_ptr<BenchedScan> scan =
            options.Window ? MakeWindowScan(argc, argv, options.Folder) : MakeBareEngineScan();
        PlainWalkResult plain;

        // One untimed run of each fills the caches, then the two alternate so that any
        // drift of the machine's speed falls on both alike.
        if (options.AgainstOneThread) {
            CompareWithOneThread(*scan, options.Folder, options.Threads, options.Runs);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        scan->Engine().SetWalkThreads(options.Threads);
        bool cold = options.Cold;
        const auto coolDown = [&] {
            if (cold && !DropPageCache()) {
                std::fprintf(stderr, "scan_bench: --cold: cannot drop the page cache (it needs "
                                     "root): the runs are timed with whatever it holds\n");
                cold = false;
            }
        };
        const auto scanWithEngine = [&] { scan->Scan(options.Folder); };
        const auto walkPlainly = [&] {
            if (options.Plain) {
                plain = PlainWalk(options.Folder);
            }
        };
        TimeRun(scanWithEngine);
        scan->Settle();
        TimeRun(walkPlainly);
        scan->BeginTimedRuns();
        RunTime bestEngine;
        RunTime bestPlain;
        for (int run = 0; run < options.Runs; ++run) {
            coolDown();
            const RunTime engineRun = TimeRun(scanWithEngine);
            scan->Settle();
            scan->EndTimedRun(run == 0 || engineRun.WallMs < bestEngine.WallMs);
            KeepBest(bestEngine, engineRun, run == 0);
            coolDown();
            KeepBest(bestPlain, TimeRun(walkPlainly), run == 0);
        }

        ScanEngine& engine = scan->Engine();
        const ScanState& state = engine.State();
        if (options.Plain && state.FileCount != plain.FileCount) {
            std::fprintf(stderr, "warning: the engine counted %u files, the plain walk %llu\n",
                         state.FileCount, static_cast<unsigned long long>(plain.FileCount));
        }
        std::printf("threads %d\n", engine.WalkThreads());
        std::printf("files %u\n", state.FileCount);
        std::printf("engine_ms %.3f\n", bestEngine.WallMs);
        if (options.Plain) {
            std::printf("plain_ms %.3f\n", bestPlain.WallMs);
            std::printf("ratio %.3f\n", Ratio(bestEngine.WallMs, bestPlain.WallMs));
        }
        scan->PrintFigures(stdout);
        if (options.Plain) {
            std::fprintf(stderr,
                         "processor time: engine_cpu_ms %.3f plain_cpu_ms %.3f cpu_ratio %.3f "
                         "walk_thread_cpu_ms %.3f\n",
                         bestEngine.CpuMs, bestPlain.CpuMs,
                         Ratio(bestEngine.CpuMs, bestPlain.CpuMs), bestEngine.ThreadCpuMs);
        } else {
            std::fprintf(stderr, "processor time: engine_cpu_ms %.3f walk_thread_cpu_ms %.3f\n",
                         bestEngine.CpuMs, bestEngine.ThreadCpuMs);
        }
        std::fprintf(stderr, "peak memory: %.1f MB%s\n", PeakMemoryMB(),
                     options.Cold ? (cold ? ", page cache dropped before every run" : "") : "");
        scan->PrintNotes(stderr);
        if (const HardLinkSet& links = engine.HardLinks(); links.Count() > 0) {
            // Each file with several names is remembered to count it once.
            std::fprintf(
                stderr, "files with several names: %zu, remembered in %.1f MB (%.1f bytes each)\n",
                links.Count(), static_cast<double>(links.MemoryBytes()) / (1024.0 * 1024.0),
                static_cast<double>(links.MemoryBytes()) / static_cast<double>(links.Count()));
        }
        for (const ResultEntry& entry : engine.List().Entries()) {
            const std::string path = JoinPath(entry.FolderText, entry.Caption);
            std::printf("%llu\t", static_cast<unsigned long long>(entry.SizeValue));
            std::fwrite(path.data(), 1, path.size(), stdout);
            std::fputc('\n', stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "scan_bench: %s\n", error.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
