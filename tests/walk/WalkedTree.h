#pragma once

// Walks a tree to its end, or to a stop after a given number of steps, and writes down what
// it delivered, line by line, so that two walks compare as text: the walk core's suites over
// the in-memory folder source, and any suite that walks through FolderWalk.

#include "FakeFolderSource.h"
#include "walk/FolderWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace walktest {

using Lines = std::vector<std::string>;
using Block = FakeFolderSource::Block;

// The expected lines of a walk, written one or several to a line of `text` with "; "
// between them.
inline Lines LinesOf(std::string_view text) {
    Lines lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.find("; ", start));
        end = end == std::string_view::npos ? text.size() : end;
        if (end > start) {
            lines.emplace_back(text.substr(start, end - start));
        }
        start = end + (text.compare(end, 2, "; ") == 0 ? 2 : 1);
    }
    return lines;
}

inline std::string SkipName(FolderSkip skip) {
    static const char* const names[] = {"", " Unreadable", " NotEntered", " OtherDrive",
                                        " NoAnswer"};
    return names[static_cast<int>(skip)];
}

// Where `got` first differs from `expected`, for a message on long walks; empty when equal.
inline std::string FirstDifference(const Lines& got, const Lines& expected) {
    const auto [mismatch, expectedAt] =
        std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    if (mismatch == got.end() && expectedAt == expected.end()) {
        return {};
    }
    return "line " + std::to_string(mismatch - got.begin()) + ": \"" +
           (mismatch == got.end() ? "(end)" : *mismatch) + "\" where \"" +
           (expectedAt == expected.end() ? "(end)" : *expectedAt) + "\" was expected";
}

// What one walk delivered: a line per file ("file <path> <size>"), per folder ("folder
// <path>" and why it was not entered) and per folder whose entries ended early ("end <path>
// <reason>"), in the order of delivery, so that two walks compare line by line.
struct Walked {
    FolderSkip Root = FolderSkip::None;
    Lines Delivered;
    std::map<std::string, DirectoryEntry> Files;
    bool Stopped = false;
    int Steps = 0;
    // The folder whose Enter runs now, for a wait hook that stops only there.
    std::string Entering;
};

// Counts one call of Next or Enter; false when the steps allowed are spent (a stop).
inline bool TakeStep(Walked& walked, int& stepsLeft) {
    ++walked.Steps;
    return stepsLeft-- != 0;
}

// Walks the innermost open folder `path` and everything below it, entering every folder;
// stops (leaving each folder it entered) once `stepsLeft` calls of Next and Enter are made.
inline bool WalkBelow(FolderWalk& walk, const std::string& path, Walked& walked, int& stepsLeft) {
    DirectoryEntry entry;
    while (TakeStep(walked, stepsLeft)) {
        if (!walk.Next(entry)) {
            if (walk.EndReason() != FolderSkip::None) {
                walked.Delivered.push_back("end " + path + SkipName(walk.EndReason()));
            }
            return true;
        }
        const std::string child = (path == "/" ? "/" : path + "/") + std::string(entry.Name);
        if ((entry.Attributes & FolderAttribute) == 0) {
            walked.Delivered.push_back("file " + child + " " + std::to_string(entry.SizeBytes));
            entry.Name = {};
            EXPECT_TRUE(walked.Files.emplace(child, entry).second) << "delivered twice: " << child;
            continue;
        }
        if (!TakeStep(walked, stepsLeft)) {
            return false;
        }
        walked.Entering = child;
        const FolderSkip skip = walk.Enter();
        walked.Entering.clear();
        walked.Delivered.push_back("folder " + child + SkipName(skip));
        if (skip == FolderSkip::None) {
            const int depth = walk.Depth();
            const bool done = WalkBelow(walk, child, walked, stepsLeft);
            EXPECT_EQ(walk.Depth(), depth) << child;
            walk.Leave();
            if (!done) {
                return false;
            }
        }
    }
    return false;
}

// Walks from the root of an existing walk, at most `steps` steps (negative: to its end).
inline void WalkFromRoot(FolderWalk& walk, Walked& walked, int steps = -1) {
    walked.Root = walk.OpenRoot();
    if (walked.Root == FolderSkip::None) {
        walked.Stopped = !WalkBelow(walk, walk.Root(), walked, steps);
        EXPECT_EQ(walk.Depth(), 1);
        walk.Leave();
    }
    EXPECT_EQ(walk.Depth(), 0);
}

inline Walked WalkAll(const std::shared_ptr<FakeFolderSource>& source, const std::string& root,
                      int threads) {
    FolderWalk walk(source, root, threads);
    Walked walked;
    WalkFromRoot(walk, walked);
    EXPECT_FALSE(walked.Stopped);
    return walked;
}

// Waits until every folder the walk and its workers opened is closed again (workers that
// are not stuck end soon after the walk, which need not wait for them).
inline bool AllClosed(const FakeFolderSource& source) {
    for (int i = 0; i < 200 && source.OpenFolders() != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return source.OpenFolders() == 0;
}

// A tree below `path`: `depth` levels, each folder holding `files` files and `folders`
// folders, interleaved and named against the alphabet, so that the listing order shows.
inline void AddTree(FakeFolderSource& source, const std::string& path, int depth, int folders,
                    int files) {
    source.AddFolder(path);
    for (int i = 0; i < std::max(folders, files); ++i) {
        const std::string name = std::to_string(9 - i % 10) + "n" + std::to_string(i);
        if (i < files) {
            source.AddFile(path + "/f" + name, path.size() * 10 + static_cast<std::uint64_t>(i));
        }
        if (i < folders && depth > 1) {
            AddTree(source, path + "/d" + name, depth - 1, folders, files);
        }
    }
}

} // namespace walktest
