// make_tree FOLDER N [SEED] [--manifest FILE]
// Creates a reproducible tree of N sparse files under FOLDER for benchmarks and tests.
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
                         "  creates N empty (sparse) files of varied sizes under FOLDER,\n"
                         "  which must be empty or missing; the same SEED gives the same tree\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
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
