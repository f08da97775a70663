#include "NullIconLookup.h"
#include "NullScanWindow.h"
#include "TempFolder.h"
#include "TreeGenerator.h"
#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace {

constexpr std::uint64_t FourGiB = std::uint64_t{1} << 32;
constexpr std::size_t TreeFiles = 3000;
// This seed's largest hundred hold files of exactly 4 GiB, repeated sizes, and files above
// 4 GiB whose low 32 bits are smaller than the smallest listed size; the fixture checks it.
constexpr std::uint64_t TreeSeed = 30;

struct Listed {
    std::string Path;
    std::uint64_t SizeBytes = 0;
};

std::vector<Listed> ListedFiles(const ScanEngine& engine) {
    std::vector<Listed> listed;
    for (const ResultEntry& entry : engine.List().Entries()) {
        listed.push_back({JoinPath(entry.FolderText, entry.Caption), entry.SizeValue});
    }
    return listed;
}

// The generator's record, largest first.
std::vector<GeneratedFile> LargestFirst(std::vector<GeneratedFile> files) {
    std::stable_sort(files.begin(), files.end(),
                     [](const auto& a, const auto& b) { return a.SizeBytes > b.SizeBytes; });
    return files;
}

// Checks that `listed` are exactly the `expectedCount` largest of `record`: the same
// multiset of sizes, the right file wherever a size is unique, largest first.
void ExpectLargestOf(const std::vector<GeneratedFile>& record, const std::vector<Listed>& listed,
                     std::size_t expectedCount) {
    const std::vector<GeneratedFile> sorted = LargestFirst(record);
    ASSERT_EQ(listed.size(), expectedCount);

    std::multiset<std::uint64_t> expectedSizes;
    std::map<std::uint64_t, int> recordCountOfSize;
    for (const GeneratedFile& file : record) {
        ++recordCountOfSize[file.SizeBytes];
    }
    for (std::size_t i = 0; i < expectedCount; ++i) {
        expectedSizes.insert(sorted[i].SizeBytes);
    }
    std::multiset<std::uint64_t> listedSizes;
    for (const Listed& file : listed) {
        listedSizes.insert(file.SizeBytes);
    }
    EXPECT_EQ(listedSizes, expectedSizes);

    std::map<std::string, std::uint64_t> recordSizeOfPath;
    for (const GeneratedFile& file : record) {
        recordSizeOfPath[file.Path] = file.SizeBytes;
    }
    for (std::size_t row = 0; row < listed.size(); ++row) {
        const Listed& file = listed[row];
        // Every listed file is one of the tree's, under its own path and with its own size.
        const auto found = recordSizeOfPath.find(file.Path);
        ASSERT_NE(found, recordSizeOfPath.end()) << "not in the tree: " << file.Path;
        EXPECT_EQ(found->second, file.SizeBytes) << file.Path;
        if (recordCountOfSize[file.SizeBytes] == 1) {
            const auto place = std::find_if(sorted.begin(), sorted.begin() + expectedCount,
                                            [&](const auto& f) { return f.Path == file.Path; });
            EXPECT_NE(place, sorted.begin() + expectedCount)
                << "not among the largest: " << file.Path;
        }
        if (row > 0) {
            EXPECT_GE(listed[row - 1].SizeBytes, file.SizeBytes) << "row " << row;
        }
    }
}

std::uint32_t ExpectedListedTotalMB(const std::vector<Listed>& listed) {
    std::uint32_t total = 0;
    for (const Listed& file : listed) {
        total += static_cast<std::uint32_t>(file.SizeBytes >> 20);
    }
    return total;
}

class GeneratedTreeScan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp_ = std::make_unique<TempFolder>();
        TreeShape shape;
        shape.FileCount = TreeFiles;
        shape.Seed = TreeSeed;
        tree_ = std::make_unique<GeneratedTree>(GenerateTree(temp_->Child("tree"), shape));
    }
    static void TearDownTestSuite() {
        tree_.reset();
        temp_.reset();
    }
    void SetUp() override { StopRequested = false; }

    static std::string Root() { return temp_->Child("tree"); }

    static std::unique_ptr<TempFolder> temp_;
    static std::unique_ptr<GeneratedTree> tree_;
    NullScanWindow window_;
    NullIconLookup icons_;
};

std::unique_ptr<TempFolder> GeneratedTreeScan::temp_;
std::unique_ptr<GeneratedTree> GeneratedTreeScan::tree_;

TEST_F(GeneratedTreeScan, TreeHoldsTheAwkwardSizesAmongItsLargest) {
    const std::vector<GeneratedFile> sorted = LargestFirst(tree_->Files);
    const std::uint64_t smallestListed = sorted[99].SizeBytes;
    int exactlyFourGiB = 0;
    int aboveFourGiB = 0;
    int smallLowBits = 0;
    std::map<std::uint64_t, int> countOfSize;
    for (std::size_t i = 0; i < 100; ++i) {
        const std::uint64_t size = sorted[i].SizeBytes;
        exactlyFourGiB += size == FourGiB ? 1 : 0;
        aboveFourGiB += size > FourGiB ? 1 : 0;
        smallLowBits += size >= FourGiB && (size & 0xFFFFFFFFu) < smallestListed ? 1 : 0;
        ++countOfSize[size];
    }
    EXPECT_GE(exactlyFourGiB, 1);
    EXPECT_GE(aboveFourGiB, 5);
    EXPECT_GE(smallLowBits, 3);
    EXPECT_TRUE(std::any_of(countOfSize.begin(), countOfSize.end(),
                            [](const auto& item) { return item.second > 1; }));
}

TEST_F(GeneratedTreeScan, ListsExactlyTheHundredLargestFilesLargestFirst) {
    ScanEngine engine(window_, icons_);
    engine.StartScan(Root());
    const std::vector<Listed> listed = ListedFiles(engine);

    ExpectLargestOf(tree_->Files, listed, 100);
    EXPECT_EQ(engine.State().FileCount, TreeFiles);
    EXPECT_EQ(engine.State().ListedTotalMB, ExpectedListedTotalMB(listed));
    EXPECT_EQ(engine.State().ScanRoot, Root());
    for (const ResultEntry& entry : engine.List().Entries()) {
        EXPECT_TRUE(entry.IsComplete()) << entry.Caption;
        EXPECT_EQ(entry.IconIndex, 0) << entry.Caption;
    }
}

TEST_F(GeneratedTreeScan, RootWithTrailingSeparatorGivesTheSamePaths) {
    ScanEngine engine(window_, icons_);
    engine.StartScan(Root() + "/");
    EXPECT_EQ(engine.State().ScanRoot, Root());
    const std::vector<Listed> listed = ListedFiles(engine);
    ExpectLargestOf(tree_->Files, listed, 100);
    for (const Listed& file : listed) {
        EXPECT_EQ(file.Path.find("//"), std::string::npos) << file.Path;
    }
}

TEST_F(GeneratedTreeScan, SecondScanStartsAfreshInsteadOfAddingUp) {
    ScanEngine engine(window_, icons_);
    engine.StartScan(Root());
    const std::vector<Listed> first = ListedFiles(engine);
    engine.StartScan(Root());
    const std::vector<Listed> second = ListedFiles(engine);

    EXPECT_EQ(engine.State().FileCount, TreeFiles);
    EXPECT_EQ(engine.State().ListedTotalMB, ExpectedListedTotalMB(second));
    ExpectLargestOf(tree_->Files, second, 100);

    // A smaller tree after a large one: the old threshold must not keep its files out.
    TempFolder small;
    TreeShape shape;
    shape.FileCount = 60;
    shape.Seed = 2;
    const GeneratedTree smallTree = GenerateTree(small.Child("tree"), shape);
    engine.StartScan(small.Child("tree"));
    const std::vector<Listed> all = ListedFiles(engine);
    ExpectLargestOf(smallTree.Files, all, 60);
    EXPECT_EQ(engine.State().FileCount, 60u);
    EXPECT_EQ(engine.State().ListedTotalMB, ExpectedListedTotalMB(all));
}

} // namespace
