#pragma once

#include "GeneratedFile.h"
#include "TreeShape.h"

#include <string>
#include <system_error>
#include <vector>

// What GenerateTree made.
struct GeneratedTree {
    // Every file created, in the order of creation.
    std::vector<GeneratedFile> Files;
    // Folders created below the tree's folder (the tree's folder itself not counted).
    std::size_t FolderCount = 0;
};

// Creates a tree of `shape.FileCount` files under `folder`, deterministically from
// `shape.Seed`: nested folders with varied names (blanks, dots, capitals, non-ASCII UTF-8
// and the odd name that is not UTF-8), sizes spread from 0 bytes to tens of GiB, with
// repeated sizes and several files of 4 GiB and more. Every file is sparse (its end is set,
// nothing is written), so the tree takes inodes but no data blocks.
//
// `folder` is created when missing (its parent must exist) and must otherwise be empty:
// the record must describe the whole tree. Throws std::system_error naming the path on
// any failure; what was created until then stays.
GeneratedTree GenerateTree(const std::string& folder, const TreeShape& shape);

// What GenerateDeepTree and GenerateLinkFarm made. Their files are too many, or their paths
// too long, to be kept one by one.
struct GeneratedCounts {
    std::size_t FileCount = 0;
    std::size_t FolderCount = 0;
    std::size_t LinkCount = 0;
    // The folder to scan: the tree's folder, or for a link farm its folder of links.
    std::string ScanFolder;
};

// Creates a chain of `levels` nested folders named "d" below `folder` (created when missing,
// else empty), each holding three sparse files with sizes drawn from `seed`. Paths grow far
// beyond PATH_MAX: the chain is made with one descriptor at a time. Throws std::system_error
// on any failure.
GeneratedCounts GenerateDeepTree(const std::string& folder, std::size_t levels, std::uint64_t seed);

// Creates `links` folders "targets/tN" below `folder` (created when missing, else empty), each
// holding one sparse file, and beside them the folder "links" of symbolic links "lN" to them
// ("../targets/tN"): a scan of the links folder follows every link to a folder of its own,
// outside the scanned tree. Throws std::system_error on any failure.
GeneratedCounts GenerateLinkFarm(const std::string& folder, std::size_t links, std::uint64_t seed);

// Creates `folders` folders below `folder` (created when missing, else empty), in groups of
// 500 as a package tree has them ("gK/mN"), each holding `filesPerFolder` small sparse files:
// a tree where the folders, not the files, cost the walk.
GeneratedCounts GenerateFolderHeavyTree(const std::string& folder, std::size_t folders,
                                        std::size_t filesPerFolder, std::uint64_t seed);

// Writes one line per file: the size in decimal, a tab, the full path. The generator
// never makes names with tabs or line breaks, so every line is one file. False with
// `error` set when the manifest cannot be written.
bool WriteManifest(const std::string& manifestPath, const std::vector<GeneratedFile>& files,
                   std::error_code& error);

// The tree's folder and a name below it joined with one separator ("/" or "\\"; no second
// one after a folder that ends in it, such as the root).
std::string JoinTreePath(const std::string& folder, const std::string& name);
