#include "TreeGenerator.h"
#include "PlainWalk.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t FourGiB = std::uint64_t{1} << 32;

std::string Relative(const std::string& root, const std::string& path) {
    EXPECT_EQ(path.compare(0, root.size() + 1, root + "/"), 0) << path;
    return path.substr(root.size() + 1);
}

std::vector<std::pair<std::string, std::uint64_t>> RelativeRecord(const std::string& root,
                                                                  const GeneratedTree& tree) {
    std::vector<std::pair<std::string, std::uint64_t>> record;
    for (const GeneratedFile& file : tree.Files) {
        record.emplace_back(Relative(root, file.Path), file.SizeBytes);
    }
    return record;
}

TEST(TreeGenerator, RecordMatchesTheFilesOnDiskWhichTakeNoDataBlocks) {
    TempFolder temp;
    const std::string root = temp.Child("tree");
    TreeShape shape;
    shape.FileCount = 2000;
    shape.Seed = 3;
    const GeneratedTree tree = GenerateTree(root, shape);
    ASSERT_EQ(tree.Files.size(), 2000u);

    std::uint64_t apparent = 0;
    std::uint64_t allocated = 0;
    for (const GeneratedFile& file : tree.Files) {
        struct stat info;
        ASSERT_EQ(::lstat(file.Path.c_str(), &info), 0) << file.Path;
        ASSERT_TRUE(S_ISREG(info.st_mode)) << file.Path;
        EXPECT_EQ(static_cast<std::uint64_t>(info.st_size), file.SizeBytes) << file.Path;
        EXPECT_EQ(info.st_mtime, file.LastWriteTime) << file.Path;
        apparent += file.SizeBytes;
        allocated += static_cast<std::uint64_t>(info.st_blocks) * 512;
    }
    // Hundreds of GiB apparent; a tree that wrote data would fill the test machine's disk.
    EXPECT_GT(apparent, 100 * FourGiB);
    EXPECT_LT(allocated, std::uint64_t{1} << 20);

    // Nothing else lies in the tree: the plain walk sees exactly the recorded files.
    const PlainWalkResult walk = PlainWalk(root);
    EXPECT_EQ(walk.FileCount, tree.Files.size());
    EXPECT_EQ(walk.FolderCount, tree.FolderCount);
    EXPECT_EQ(walk.TotalBytes, apparent);
    EXPECT_EQ(walk.UnreadableFolders, 0u);
}

TEST(TreeGenerator, SameSeedGivesTheSameTreeAndAnotherSeedAnother) {
    TempFolder temp;
    TreeShape shape;
    shape.FileCount = 700;
    shape.Seed = 42;
    const GeneratedTree first = GenerateTree(temp.Child("a"), shape);
    const GeneratedTree again = GenerateTree(temp.Child("b"), shape);
    shape.Seed = 43;
    const GeneratedTree other = GenerateTree(temp.Child("c"), shape);

    const auto firstRecord = RelativeRecord(temp.Child("a"), first);
    EXPECT_EQ(firstRecord, RelativeRecord(temp.Child("b"), again));
    EXPECT_EQ(first.FolderCount, again.FolderCount);
    EXPECT_NE(firstRecord, RelativeRecord(temp.Child("c"), other));
}

TEST(TreeGenerator, SizesSpreadFromEmptyToHugeWithRepeats) {
    TempFolder temp;
    TreeShape shape;
    shape.FileCount = 5000;
    shape.Seed = 11;
    const GeneratedTree tree = GenerateTree(temp.Child("tree"), shape);

    std::map<std::uint64_t, int> countOfSize;
    std::set<int> magnitudes; // number of decimal digits
    int huge = 0;
    for (const GeneratedFile& file : tree.Files) {
        ++countOfSize[file.SizeBytes];
        magnitudes.insert(static_cast<int>(std::to_string(file.SizeBytes).size()));
        huge += file.SizeBytes >= FourGiB ? 1 : 0;
    }
    EXPECT_GT(countOfSize[0], 0);
    EXPECT_GE(huge, 5);
    // Every length from 1 to 11 digits occurs: bytes to tens of GiB.
    for (int digits = 1; digits <= 11; ++digits) {
        EXPECT_TRUE(magnitudes.count(digits)) << digits << " digits";
    }
    const auto repeated = std::count_if(countOfSize.begin(), countOfSize.end(),
                                        [](const auto& item) { return item.second > 1; });
    EXPECT_GE(repeated, 5);
    // Mostly distinct all the same, or the largest files would hardly differ.
    EXPECT_GT(countOfSize.size(), tree.Files.size() / 2);
}

TEST(TreeGenerator, FoldersAreNestedBoundedAndNamesAreUsable) {
    TempFolder temp;
    const std::string root = temp.Child("tree");
    TreeShape shape;
    shape.FileCount = 4000;
    shape.Seed = 5;
    shape.MaxFilesPerFolder = 120;
    shape.MaxDepth = 4;
    const GeneratedTree tree = GenerateTree(root, shape);

    std::map<std::string, std::size_t> filesPerFolder;
    std::set<std::string> paths;
    int deepest = 0;
    bool sawNonAscii = false;
    bool sawBlank = false;
    for (const GeneratedFile& file : tree.Files) {
        EXPECT_TRUE(paths.insert(file.Path).second) << "twice: " << file.Path;
        const std::string relative = Relative(root, file.Path);
        const auto slash = relative.rfind('/');
        const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
        ++filesPerFolder[slash == std::string::npos ? "" : relative.substr(0, slash)];
        deepest =
            std::max(deepest, static_cast<int>(std::count(relative.begin(), relative.end(), '/')));
        EXPECT_FALSE(name.empty());
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
        EXPECT_LE(name.size(), 255u) << name;
        // One line per file in the manifest and in the benchmark's output.
        EXPECT_EQ(file.Path.find_first_of("\t\n\r"), std::string::npos) << file.Path;
        sawNonAscii |= std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; });
        sawBlank |= name.find(' ') != std::string::npos;
    }
    EXPECT_LE(deepest, shape.MaxDepth);
    EXPECT_GE(deepest, 2);
    EXPECT_GE(tree.FolderCount, 30u);
    for (const auto& [folder, count] : filesPerFolder) {
        EXPECT_LE(count, shape.MaxFilesPerFolder) << folder;
    }
    EXPECT_TRUE(sawNonAscii);
    EXPECT_TRUE(sawBlank);
}

TEST(TreeGenerator, RefusesAFolderThatIsNotEmptyAndLeavesItAlone) {
    TempFolder temp;
    const std::string keep = temp.Child("keep.txt");
    {
        std::ofstream out(keep);
        out << "precious";
    }
    TreeShape shape;
    shape.FileCount = 10;
    EXPECT_THROW(GenerateTree(temp.Path(), shape), std::system_error);
    std::ifstream in(keep);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "precious");
    EXPECT_EQ(PlainWalk(temp.Path()).FileCount, 1u);

    // A missing parent is a clear error too, not a partial tree somewhere else.
    EXPECT_THROW(GenerateTree(temp.Child("no/such/parent"), shape), std::system_error);
}

TEST(TreeGenerator, NoFilesGivesAnEmptyFolder) {
    TempFolder temp;
    TreeShape shape;
    shape.FileCount = 0;
    const GeneratedTree tree = GenerateTree(temp.Child("empty"), shape);
    EXPECT_TRUE(tree.Files.empty());
    const PlainWalkResult walk = PlainWalk(temp.Child("empty"));
    EXPECT_EQ(walk.FileCount, 0u);
    EXPECT_EQ(walk.UnreadableFolders, 0u);
}

TEST(TreeGenerator, ManifestHasOneLinePerFileWithSizeTabPath) {
    TempFolder temp;
    TreeShape shape;
    shape.FileCount = 300;
    shape.Seed = 9;
    const GeneratedTree tree = GenerateTree(temp.Child("tree"), shape);
    std::error_code error;
    ASSERT_TRUE(WriteManifest(temp.Child("manifest"), tree.Files, error)) << error.message();

    std::ifstream in(temp.Child("manifest"), std::ios::binary);
    std::string line;
    std::size_t row = 0;
    while (std::getline(in, line)) {
        ASSERT_LT(row, tree.Files.size());
        const GeneratedFile& file = tree.Files[row++];
        EXPECT_EQ(line, std::to_string(file.SizeBytes) + "\t" + file.Path);
    }
    EXPECT_EQ(row, tree.Files.size());

    EXPECT_FALSE(WriteManifest(temp.Child("no/such/folder/manifest"), tree.Files, error));
    EXPECT_TRUE(error);
}

TEST(PlainWalk, CountsLinksAsFilesWithoutFollowingThem) {
    TempFolder temp;
    const std::string root = temp.Child("root");
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/sub").c_str(), 0755), 0);
    const int fd = ::open((root + "/sub/f").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1000), 0);
    ::close(fd);
    // A link back up would loop for ever if it were followed.
    ASSERT_EQ(::symlink("..", (root + "/sub/up").c_str()), 0);

    const PlainWalkResult walk = PlainWalk(root);
    EXPECT_EQ(walk.FileCount, 2u);
    EXPECT_EQ(walk.FolderCount, 1u);
    EXPECT_GE(walk.TotalBytes, 1000u);

    const PlainWalkResult missing = PlainWalk(temp.Child("missing"));
    EXPECT_EQ(missing.FileCount, 0u);
    EXPECT_EQ(missing.UnreadableFolders, 1u);
}

} // namespace
