#pragma once

#include <cstddef>
#include <cstdint>

// What a generated tree looks like. The same shape and seed give the same tree.
struct TreeShape {
    // Number of files to create, spread over the folders.
    std::size_t FileCount = 1000;
    std::uint64_t Seed = 1;
    // No folder holds more files than this.
    std::size_t MaxFilesPerFolder = 300;
    // Folders are nested at most this many levels below the tree's folder.
    int MaxDepth = 5;
    // Files per folder on average; decides how many folders there are.
    std::size_t AverageFilesPerFolder = 100;
};
