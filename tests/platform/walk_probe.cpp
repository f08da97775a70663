// Walks a tree the way the scan does and prints what it met, one line each:
//   file <TAB> size <TAB> path
//   unopened <TAB> path
//   done <TAB> number of files <TAB> length of the longest path
// Tests run it in conditions they must not impose on themselves: as another user, or with
// a lowered open-file limit.
//
// walk_probe [--nofile N] ROOT

#include "TestTree.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

int main(int argc, char** argv) {
    int argument = 1;
    if (argc > 3 && std::string(argv[1]) == "--nofile") {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = std::strtoul(argv[2], nullptr, 10);
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            std::perror("setrlimit");
            return 2;
        }
        argument = 3;
    }
    if (argument != argc - 1) {
        std::fprintf(stderr, "usage: walk_probe [--nofile N] ROOT\n");
        return 2;
    }
    const std::string root = argv[argument];
    std::size_t files = 0;
    std::size_t longest = 0;
    FolderWalk walk(root);
    testtree::WalkTree(
        walk,
        [&](const testtree::WalkedEntry& entry) {
            longest = std::max(longest, entry.Path.size());
            if (!entry.IsFolder) {
                ++files;
                std::printf("file\t%llu\t%s\n", static_cast<unsigned long long>(entry.SizeBytes),
                            entry.Path.c_str());
            }
        },
        [&](const std::string& folder) { std::printf("unopened\t%s\n", folder.c_str()); });
    std::printf("done\t%zu\t%zu\n", files, longest);
    return 0;
}
