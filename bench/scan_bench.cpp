// scan_bench [--make N] [--seed S] [--runs K] FOLDER
//
// Times the scan engine over FOLDER against the plain walk, both with warm caches, and
// prints:
//   files N        the engine's file count
//   engine_ms X    best engine scan
//   plain_ms Y     best plain walk
//   ratio R        X / Y
// followed by the engine's listed entries, one per line: size, a tab, the full path.
// --make N first creates a tree of N files in FOLDER (which must be empty or missing).
#include "NullIconLookup.h"
#include "NullScanWindow.h"
#include "PlainWalk.h"
#include "TreeGenerator.h"
#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Options {
    std::string Folder;
    bool Make = false;
    std::uint64_t MakeCount = 0;
    std::uint64_t Seed = 1;
    int Runs = 5;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: scan_bench [--make N] [--seed S] [--runs K] FOLDER\n"
                 "  times the scan engine over FOLDER against a plain readdir/fstatat walk\n"
                 "  --make N   first create a tree of N sparse files in FOLDER (empty or missing)\n"
                 "  --seed S   the tree's seed for --make (default 1)\n"
                 "  --runs K   timed runs of each after one warm-up (default 5)\n");
    return 2;
}

bool ParseNumber(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-') {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        std::uint64_t number = 0;
        if (arg == "--make" && hasValue && ParseNumber(argv[i + 1], number)) {
            options.Make = true;
            options.MakeCount = number;
            ++i;
        } else if (arg == "--seed" && hasValue && ParseNumber(argv[i + 1], number)) {
            options.Seed = number;
            ++i;
        } else if (arg == "--runs" && hasValue && ParseNumber(argv[i + 1], number) && number >= 1 &&
                   number <= 1000) {
            options.Runs = static_cast<int>(number);
            ++i;
        } else if (arg.starts_with("--") || !options.Folder.empty()) {
            return false;
        } else {
            options.Folder = argv[i];
        }
    }
    return !options.Folder.empty();
}

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double TimeEngineScan(ScanEngine& engine, const std::string& folder) {
    const auto start = Clock::now();
    engine.StartScan(folder);
    return MillisecondsSince(start);
}

double TimePlainWalk(const std::string& folder, PlainWalkResult& result) {
    const auto start = Clock::now();
    result = PlainWalk(folder);
    return MillisecondsSince(start);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return Usage();
    }
    try {
        if (options.Make) {
            TreeSpec spec;
            spec.FileCount = static_cast<std::size_t>(options.MakeCount);
            spec.Seed = options.Seed;
            const GeneratedTree tree = GenerateTree(options.Folder, spec);
            std::fprintf(stderr, "made %zu files in %zu folders\n", tree.Files.size(),
                         tree.FolderCount);
        }

        NullScanWindow window;
        NullIconLookup icons;
        ScanEngine engine(window, icons);
        PlainWalkResult plain;

        // One untimed run of each fills the caches, then the two alternate so that any
        // drift of the machine's speed falls on both alike.
        TimeEngineScan(engine, options.Folder);
        TimePlainWalk(options.Folder, plain);
        double bestEngine = 0;
        double bestPlain = 0;
        for (int run = 0; run < options.Runs; ++run) {
            const double engineMs = TimeEngineScan(engine, options.Folder);
            const double plainMs = TimePlainWalk(options.Folder, plain);
            bestEngine = run == 0 ? engineMs : std::min(bestEngine, engineMs);
            bestPlain = run == 0 ? plainMs : std::min(bestPlain, plainMs);
        }

        const ScanState& state = engine.State();
        if (state.FileCount != plain.FileCount) {
            std::fprintf(stderr, "warning: the engine counted %u files, the plain walk %llu\n",
                         state.FileCount, static_cast<unsigned long long>(plain.FileCount));
        }
        std::printf("files %u\n", state.FileCount);
        std::printf("engine_ms %.3f\n", bestEngine);
        std::printf("plain_ms %.3f\n", bestPlain);
        std::printf("ratio %.3f\n", bestPlain > 0 ? bestEngine / bestPlain : 0.0);
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
