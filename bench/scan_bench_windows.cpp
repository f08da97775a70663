// scan_bench [--threads T] [--runs K] FOLDER           (the Windows build)
//
// Times the scan engine behind a window that does nothing against the plain walk of
// FOLDER on one thread (FindFirstFileExW, PlainWalk.h), with warm caches, and prints:
//   threads T        the engine's walk threads (1: no read-ahead)
//   files N          the engine's file count
//   engine_ms X      best scan by the engine
//   plain_ms Y       best plain walk
//   ratio R          X / Y
// followed by the listed entries, one per line: size, a tab, the full path.
//
// scan_bench --window [--threads T] [--runs K] FOLDER
//
// Times the scan of FOLDER inside the program's native main window against the same scan
// engine behind a window that does nothing, both with warm caches, and prints:
//   files N          the engine's file count
//   window_ms X      best scan inside the window
//   engine_ms Y      best scan behind the window that does nothing
//   ratio R          X / Y: what the window adds to the walk
//   max_gap_ms G     the longest time the walk went without processing pending messages,
//                    over all timed runs
// followed by the window's listed entries, one per line: size, a tab, the full path.
// Needs a screen (under Wine: xvfb-run). The best processor times go to the error stream.
#include "BenchedScan.h"
#include "CommandLine.h"
#include "PlainWalk.h"
#include "platform/fs/Paths.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Api.h"
#include "scan/ScanEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct Options {
    std::string Folder;
    int Runs = 5;
    int Threads = 0; // 0: as the program chooses for this machine
    bool Window = false;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: scan_bench [--window] [--threads T] [--runs K] FOLDER\n"
                 "  times the scan engine against the plain walk of FOLDER on one thread;\n"
                 "  with --window, the scan inside the main window against the same engine\n"
                 "  behind a window that does nothing\n"
                 "  --threads T  the engine's walk threads (default one per core; 1: none\n"
                 "               read ahead)\n"
                 "  --runs K     timed runs of each after one warm-up (default 5)\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::uint64_t number = 0;
        if (arg == "--runs" && i + 1 < argc && ParseUnsigned(argv[i + 1], number) && number >= 1 &&
            number <= 1000) {
            options.Runs = static_cast<int>(number);
            ++i;
        } else if (arg == "--threads" && i + 1 < argc && ParseUnsigned(argv[i + 1], number) &&
                   number >= 1 && number <= 64) {
            options.Threads = static_cast<int>(number);
            ++i;
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

double CpuMilliseconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& time) {
        return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) /
               1e4;
    };
    return ms(kernel) + ms(user);
}

struct RunTime {
    double WallMs = 0;
    double CpuMs = 0;
};

template <typename Work> RunTime TimeRun(Work work) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuMilliseconds();
    work();
    RunTime time;
    time.CpuMs = CpuMilliseconds() - cpuStart;
    time.WallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
    return time;
}

void KeepBest(RunTime& best, const RunTime& run, bool first) {
    best.WallMs = first ? run.WallMs : std::min(best.WallMs, run.WallMs);
    best.CpuMs = first ? run.CpuMs : std::min(best.CpuMs, run.CpuMs);
}

double Ratio(double window, double bare) {
    return bare > 0 ? window / bare : 0.0;
}

void PrintListed(const ScanEngine& engine) {
    for (const ResultEntry& entry : engine.List().Entries()) {
        const std::string path = JoinPath(entry.FolderText, entry.Caption);
        std::printf("%llu\t", static_cast<unsigned long long>(entry.SizeValue));
        std::fwrite(path.data(), 1, path.size(), stdout);
        std::fputc('\n', stdout);
    }
}

// The engine against the plain walk, alternating after one untimed run of each.
void TimeEngineAgainstPlainWalk(const Options& options) {
    const std::unique_ptr<BenchedScan> bare = MakeBareEngineScan();
    bare->Engine().SetWalkThreads(options.Threads);
    PlainWalkResult plain;
    const auto scanBare = [&] { bare->Scan(options.Folder); };
    const auto walkPlainly = [&] { plain = PlainWalk(options.Folder); };
    TimeRun(scanBare);
    TimeRun(walkPlainly);
    RunTime bestEngine;
    RunTime bestPlain;
    for (int run = 0; run < options.Runs; ++run) {
        KeepBest(bestEngine, TimeRun(scanBare), run == 0);
        KeepBest(bestPlain, TimeRun(walkPlainly), run == 0);
    }
    const ScanEngine& engine = bare->Engine();
    if (engine.State().FileCount != plain.FileCount) {
        std::fprintf(stderr, "note: the engine counted %u files, the plain walk %llu\n",
                     engine.State().FileCount, static_cast<unsigned long long>(plain.FileCount));
    }
    std::printf("threads %d\n", engine.WalkThreads());
    std::printf("files %u\n", engine.State().FileCount);
    std::printf("engine_ms %.3f\n", bestEngine.WallMs);
    std::printf("plain_ms %.3f\n", bestPlain.WallMs);
    std::printf("ratio %.3f\n", Ratio(bestEngine.WallMs, bestPlain.WallMs));
    std::fprintf(stderr, "processor time: engine_cpu_ms %.3f plain_cpu_ms %.3f cpu_ratio %.3f\n",
                 bestEngine.CpuMs, bestPlain.CpuMs, Ratio(bestEngine.CpuMs, bestPlain.CpuMs));
    PrintListed(engine);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return Usage();
    }
    const DWORD attributes = GetFileAttributesW(ToWide(options.Folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        std::fprintf(stderr, "scan_bench: not a folder: %s\n", options.Folder.c_str());
        return 1;
    }
    try {
        if (!options.Window) {
            TimeEngineAgainstPlainWalk(options);
            return 0;
        }
        const std::unique_ptr<BenchedScan> window = MakeWindowScan(argc, argv, options.Folder);
        const std::unique_ptr<BenchedScan> bare = MakeBareEngineScan();
        window->Engine().SetWalkThreads(options.Threads);
        bare->Engine().SetWalkThreads(options.Threads);
        // The window's start-up scan warmed the caches; the bare engine gets one untimed run.
        // Then the two alternate, so that any drift of the machine's speed falls on both.
        const auto scanInWindow = [&] { window->Scan(options.Folder); };
        const auto scanBare = [&] { bare->Scan(options.Folder); };
        TimeRun(scanBare);
        window->BeginTimedRuns();
        RunTime bestWindow;
        RunTime bestBare;
        for (int run = 0; run < options.Runs; ++run) {
            const RunTime windowRun = TimeRun(scanInWindow);
            window->Settle();
            window->EndTimedRun(run == 0 || windowRun.WallMs < bestWindow.WallMs);
            KeepBest(bestWindow, windowRun, run == 0);
            KeepBest(bestBare, TimeRun(scanBare), run == 0);
        }

        const ScanEngine& engine = window->Engine();
        if (engine.State().FileCount != bare->Engine().State().FileCount) {
            std::fprintf(stderr, "warning: the window counted %u files, the bare engine %u\n",
                         engine.State().FileCount, bare->Engine().State().FileCount);
        }
        std::printf("files %u\n", engine.State().FileCount);
        std::printf("window_ms %.3f\n", bestWindow.WallMs);
        std::printf("engine_ms %.3f\n", bestBare.WallMs);
        std::printf("ratio %.3f\n", Ratio(bestWindow.WallMs, bestBare.WallMs));
        window->PrintFigures(stdout);
        std::fprintf(stderr,
                     "processor time: window_cpu_ms %.3f engine_cpu_ms %.3f cpu_ratio %.3f\n",
                     bestWindow.CpuMs, bestBare.CpuMs, Ratio(bestWindow.CpuMs, bestBare.CpuMs));
        window->PrintNotes(stderr);
        PrintListed(engine);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "scan_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
