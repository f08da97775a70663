// make_tree FOLDER N [SEED] [--manifest FILE]
// make_tree --deep LEVELS FOLDER [SEED]
// make_tree --links N FOLDER [SEED]
// make_tree --folders N FILES FOLDER [SEED]
// Creates a reproducible tree of N sparse files under FOLDER for benchmarks and tests; or a
// chain of LEVELS nested folders; or a farm of N links to folders of their own.
#include "CommandLine.h"
#include "TreeGenerator.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: make_tree FOLDER N [SEED] [--manifest FILE]\n"
                         "       make_tree --deep LEVELS FOLDER [SEED]\n"
                         "       make_tree --links N FOLDER [SEED]\n"
                         "       make_tree --folders N FILES FOLDER [SEED]\n"
                         "  creates N empty (sparse) files of varied sizes under FOLDER,\n"
                         "  which must be empty or missing; the same SEED gives the same tree\n"
                         "  --deep   a chain of LEVELS nested folders with three files in each\n"
                         "  --links  FOLDER/links holding N links to folders FOLDER/targets/tK\n"
                         "           with one file each; scan FOLDER/links\n"
                         "  --folders  N folders (in groups of 500) with FILES small files each\n");
    return 2;
}

// The deep chain and the link farm: their counts and the folder to scan.
int MakeShapedTree(std::string_view shape, char** arguments, int count) {
    std::uint64_t size = 0;
    std::uint64_t seed = 1;
    if (count < 2 || count > 3 || !ParseUnsigned(arguments[0], size) ||
        (count == 3 && !ParseUnsigned(arguments[2], seed))) {
        return Usage();
    }
    try {
        const GeneratedCounts made = shape == "--deep" ? GenerateDeepTree(arguments[1], size, seed)
                                                       : GenerateLinkFarm(arguments[1], size, seed);
        std::printf("files %zu\nfolders %zu\nlinks %zu\nscan %s\n", made.FileCount,
                    made.FolderCount, made.LinkCount, made.ScanFolder.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_tree: %s\n", error.what());
        return 1;
    }
    return 0;
}

// The folder-heavy tree: its folder count, files per folder and folder.
int MakeFolderHeavyTree(char** arguments, int count) {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t seed = 1;
    if (count < 3 || count > 4 || !ParseUnsigned(arguments[0], folders) ||
        !ParseUnsigned(arguments[1], files) || (count == 4 && !ParseUnsigned(arguments[3], seed))) {
        return Usage();
    }
    try {
        const GeneratedCounts made = GenerateFolderHeavyTree(arguments[2], folders, files, seed);
        std::printf("files %zu\nfolders %zu\nscan %s\n", made.FileCount, made.FolderCount,
                    made.ScanFolder.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_tree: %s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--folders") {
        return MakeFolderHeavyTree(argv + 2, argc - 2);
    }
    if (argc > 1 &&
        (std::string_view(argv[1]) == "--deep" || std::string_view(argv[1]) == "--links")) {
        return MakeShapedTree(argv[1], argv + 2, argc - 2);
    }
    std::string manifest;
    std::string positional[3];
    int positionalCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--manifest" && i + 1 < argc) {
            manifest = argv[++i];
        } else if (arg.starts_with("--") || positionalCount == 3) {
            return Usage();
        } else {
            positional[positionalCount++] = argv[i];
        }
    }
    if (positionalCount < 2) {
        return Usage();
    }
    TreeShape shape;
    std::uint64_t count = 0;
    if (!ParseUnsigned(positional[1].c_str(), count)) {
        return Usage();
    }
    shape.FileCount = static_cast<std::size_t>(count);
    if (positionalCount == 3 && !ParseUnsigned(positional[2].c_str(), shape.Seed)) {
        return Usage();
    }
    try {
        const GeneratedTree tree = GenerateTree(positional[0], shape);
        std::printf("files %zu\nfolders %zu\n", tree.Files.size(), tree.FolderCount);
        if (!manifest.empty()) {
            std::error_code error;
            if (!WriteManifest(manifest, tree.Files, error)) {
                std::fprintf(stderr, "make_tree: cannot write %s: %s\n", manifest.c_str(),
                             error.message().c_str());
                return 1;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_tree: %s\n", error.what());
        return 1;
    }
    return 0;
}
