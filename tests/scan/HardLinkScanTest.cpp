#include "RecordingWindow.h"

#include "scan/HardLinkSet.h"
#include "scan/ScanEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;

// A file with three names in three folders is listed once, under the first name met, and
// counted once in the file count and the listed total, as du counts it; a symbolic link to
// it stays a file of its own (of size 0), and a second scan counts afresh.
TEST(HardLinkScan, AFileWithSeveralNamesIsListedAndCountedOnce) {
    TempTree tree;
    ASSERT_TRUE(tree.File("a/data.bin", 6 * MiB));
    ASSERT_TRUE(tree.File("single.bin", 2 * MiB));
    tree.Folder("b");
    tree.Folder("c");
    std::error_code error;
    std::filesystem::create_hard_link(tree.Path("a/data.bin"), tree.Path("b/copy.bin"), error);
    if (error) {
        GTEST_SKIP() << "the temporary folder's file system refuses hard links: "
                     << error.message();
    }
    std::filesystem::create_hard_link(tree.Path("a/data.bin"), tree.Path("c/again.bin"), error);
    ASSERT_FALSE(error);
    std::filesystem::create_symlink(tree.Path("a/data.bin"), tree.Path("c/link"), error);
    ASSERT_FALSE(error);

    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    for (int scan = 0; scan < 2; ++scan) {
        SCOPED_TRACE("scan " + std::to_string(scan + 1));
        engine.StartScan(tree.Root().string());
        std::multiset<std::uint64_t> sizes;
        int dataNames = 0;
        for (const ResultEntry& entry : engine.List().Entries()) {
            sizes.insert(entry.SizeValue);
            dataNames += entry.SizeValue == 6 * MiB ? 1 : 0;
        }
        EXPECT_EQ(dataNames, 1);
        EXPECT_EQ(sizes, (std::multiset<std::uint64_t>{0, 2 * MiB, 6 * MiB}));
        EXPECT_EQ(engine.State().FileCount, 3u);
        EXPECT_EQ(engine.State().ListedTotalMB, 8u);
        EXPECT_EQ(engine.HardLinks().Count(), 1u);
    }
}

// Exactness at a size where slots collide and the set grows many times, and the memory it
// keeps per file, which must stay within 64 bytes.
TEST(HardLinkScan, TheSetKnowsEveryFileItMetAndStaysSmall) {
    HardLinkSet set;
    constexpr std::uint64_t Files = 200'000;
    for (std::uint64_t i = 1; i <= Files; ++i) {
        // Two devices with the same inode numbers are different files.
        ASSERT_TRUE(set.FirstMeeting(i % 2 == 0 ? 2049 : 2050, i / 2 + 1)) << i;
    }
    for (std::uint64_t i = 1; i <= Files; i += 7) {
        ASSERT_FALSE(set.FirstMeeting(i % 2 == 0 ? 2049 : 2050, i / 2 + 1)) << i;
    }
    EXPECT_TRUE(set.FirstMeeting(2051, 5));
    EXPECT_EQ(set.Count(), Files + 1);
    EXPECT_LE(set.MemoryBytes(), 64 * set.Count());
    // An unknown file number is never taken for a file met before.
    EXPECT_TRUE(set.FirstMeeting(2049, 0));
    EXPECT_TRUE(set.FirstMeeting(2049, 0));
    set.Clear();
    EXPECT_EQ(set.MemoryBytes(), 0u);
    EXPECT_TRUE(set.FirstMeeting(2049, 2));
}

} // namespace
