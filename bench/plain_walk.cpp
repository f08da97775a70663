// plain_walk FOLDER
// The yardstick walk as a program of its own, so that whole programs can be timed against
// it side by side (hyperfine), start-up included. Prints what it met.
#include "PlainWalk.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: plain_walk FOLDER\n");
        return 2;
    }
    const PlainWalkResult result = PlainWalk(argv[1]);
    std::printf("files %llu\nfolders %llu\nbytes %llu\nunreadable %llu\n",
                static_cast<unsigned long long>(result.FileCount),
                static_cast<unsigned long long>(result.FolderCount),
                static_cast<unsigned long long>(result.TotalBytes),
                static_cast<unsigned long long>(result.UnreadableFolders));
    return 0;
}
