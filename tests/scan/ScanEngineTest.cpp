#include "RecordingWindow.h"
#include "tests/support/CallGate.h"

#include "scan/InterfaceTexts.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"
#include "scan/TextFormat.h"
#include "scan/Totals.h"

#include "platform/fs/DirectoryEntry.h"
#include "platform/fs/LocalTime.h"
#include "platform/fs/Paths.h"
#include "platform/fs/Volume.h"
#include "walk/FolderWalk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <set>

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t GiB = 1024 * MiB;

// The names in `folder`, in the order in which a walk meets them. A test that needs files
// met in a given order gives them their sizes by this order.
std::vector<std::string> DeliveryOrder(const std::string& folder) {
    FolderWalk walk(folder);
    std::vector<std::string> names;
    DirectoryEntry entry;
    if (walk.OpenRoot() != FolderSkip::None)
        return names;
    while (walk.Next(entry))
        if (entry.Name != "." && entry.Name != "..")
            names.emplace_back(entry.Name);
    return names;
}

int ExpectedIconOfExistingFile(const std::string& path) {
    const DriveType type = QueryDriveTypeOfFile(path);
    return type == DriveType::Fixed || type == DriveType::Network ? FixedIcons::Index : 0;
}

class ScanEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        StopRequested = false;
        ASSERT_FALSE(tree.Root().empty()) << "no temporary folder";
        window.WatchedList = &engine.List();
        german = IsGermanUser();
    }
    void TearDown() override { StopRequested = false; }

    std::string Root() const { return tree.Root().string(); }
    std::string Join(const std::string& folder, const std::string& name) const {
        return JoinPath(folder, name);
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const auto& entry : engine.List().Entries())
            captions.push_back(entry.Caption);
        return captions;
    }
    std::string CreditLine() const { return "status " + std::string(TextsFor(german).CreditLine); }
    std::string StoppedLine(const ScanEngine& scan) const {
        return "status " + MakeScanStoppedText(scan.State().FileCount, german);
    }
    // What the closing steps of a stopped scan write, from the animation on.
    void ExpectStoppedEnding() const {
        const auto& lines = window.Lines;
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[lines.size() - 4], "animation stop");
        EXPECT_EQ(lines[lines.size() - 3],
                  "button browse " + std::string(TextsFor(german).BrowseButton));
        // A partial list says so, with the files counted.
        EXPECT_EQ(lines[lines.size() - 2], StoppedLine(engine));
        EXPECT_EQ(lines.back().rfind("totals ", 0), 0u);
        EXPECT_EQ(engine.LastOutcome(), ScanOutcome::Stopped);
        EXPECT_EQ(window.Count("report 1"), 0);
        EXPECT_FALSE(StopRequested);
    }
    void ExpectNoProtocolFaults() const {
        EXPECT_EQ(window.Count("list unpaired"), 0);
        EXPECT_EQ(window.Count("list bad permutation"), 0);
        EXPECT_EQ(window.Count("list out of order"), 0);
    }

    TempTree tree;
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine{window, icons};
    bool german = false;
};

TEST_F(ScanEngineTest, CallSequenceOfACompleteScan) {
    ASSERT_TRUE(tree.File("sub/f.bin", 2048));
    const std::string root = Root();
    const std::string sub = Join(root, "sub");
    engine.StartScan(root);

    const std::string label = VolumeLabelFor(root);
    const std::string totals =
        german ? "totals Zusammen 0.00 GB (0% von " + label + ")|0 % des belegten Platzes auf " +
                     label + "|100.000 % aller Dateien auf " + label
               : "totals Total 0.00 GB (0% of " + label + ")|0 % of uses disk spaces on " + label +
                     "|100.000 % of all files on " + label;
    const std::vector<std::string> expected = {
        "report 0",       "animation start",
        "list clear",     "button stop " + std::string(TextsFor(german).StopButton),
        "button visible", "status " + root,
        "process", // before the entry "sub"
        "status " + sub,
        "process", // before the entry "f.bin"
        "list append 0",  "list sort",
        "list update 0",
        "process", // after the listed file
        "process", // end of "sub"
        "process", // end of the root
        "animation stop", "button browse Browse",
        "report 1",       CreditLine(),
        totals,
    };
    EXPECT_EQ(window.Lines, expected);
    ExpectNoProtocolFaults();

    ASSERT_EQ(engine.List().Count(), 1);
    const ResultEntry& entry = engine.List().At(0);
    EXPECT_EQ(entry.Caption, "f.bin");
    EXPECT_EQ(entry.FolderText, sub);
    EXPECT_EQ(entry.SizeText, "2\u00b4048 Byte");
    EXPECT_EQ(entry.SizeValue, 2048u);
    EXPECT_TRUE(entry.IsComplete());
    EXPECT_EQ(entry.IconIndex, ExpectedIconOfExistingFile(Join(sub, "f.bin")));
    EXPECT_EQ(engine.State().ScanRoot, root);
    EXPECT_EQ(engine.State().FileCount, 1u);
    EXPECT_EQ(engine.State().ListCapacity, 100);
    EXPECT_LE(engine.State().DiskUsedMB, engine.State().DiskTotalMB);
    EXPECT_FALSE(StopRequested);
}

TEST_F(ScanEngineTest, EveryFolderIsShownOnceAndEveryFileCounted) {
    const std::vector<std::string> files = {"a/1", "a/2", "a/b/3", "a/b/c/4", "d/5", "6", ".7"};
    for (size_t i = 0; i < files.size(); ++i)
        ASSERT_TRUE(tree.File(files[i], 100 + i));
    tree.Folder("empty");
    const std::string root = Root();
    engine.StartScan(root);

    std::multiset<std::string> statuses;
    for (const auto& line : window.WithPrefix("status "))
        statuses.insert(line.substr(7));
    const std::string a = Join(root, "a"), b = Join(a, "b");
    const std::multiset<std::string> expectedStatuses = {root,
                                                         a,
                                                         b,
                                                         Join(b, "c"),
                                                         Join(root, "d"),
                                                         Join(root, "empty"),
                                                         std::string(TextsFor(german).CreditLine)};
    EXPECT_EQ(statuses, expectedStatuses);
    EXPECT_EQ(engine.State().FileCount, files.size());
    EXPECT_EQ(engine.List().Count(), static_cast<int>(files.size()));
    // Largest first: the sizes were 100 + position in the list above.
    const std::vector<std::string> expectedOrder = {".7", "6", "5", "4", "3", "2", "1"};
    EXPECT_EQ(Captions(), expectedOrder);
    std::map<std::string, std::string> folders;
    for (const auto& entry : engine.List().Entries())
        folders[entry.Caption] = entry.FolderText;
    EXPECT_EQ(folders["4"], Join(b, "c"));
    EXPECT_EQ(folders["6"], root);
    EXPECT_EQ(window.Count("report 1"), 1);
    ExpectNoProtocolFaults();
}

TEST_F(ScanEngineTest, StopAtEachProcessingPointKeepsThePartialList) {
    // Five files in the root: the processing points are, in turn, before entry 1, after
    // listing it, before entry 2, after listing it, and so on.
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(tree.File("f" + std::to_string(i), static_cast<std::uint64_t>(i) * 1000));
    for (int stopAt = 1; stopAt <= 10; ++stopAt) {
        SCOPED_TRACE("stop at processing point " + std::to_string(stopAt));
        RecordingWindow stopping;
        stopping.StopAtProcess = stopAt;
        ScanEngine scan(stopping, icons);
        stopping.WatchedList = &scan.List();
        scan.StartScan(Root());

        const int listed = stopAt / 2;
        EXPECT_EQ(scan.List().Count(), listed);
        EXPECT_EQ(scan.State().FileCount, static_cast<std::uint32_t>(listed));
        EXPECT_EQ(stopping.ProcessCount, stopAt) << "the walk went on after the stop";
        EXPECT_EQ(stopping.Count("report 1"), 0);
        EXPECT_EQ(stopping.Count("report 0"), 1);
        ASSERT_GE(stopping.Lines.size(), 4u);
        EXPECT_EQ(stopping.Lines[stopping.Lines.size() - 4], "animation stop");
        EXPECT_EQ(stopping.Lines[stopping.Lines.size() - 2], StoppedLine(scan));
        EXPECT_EQ(stopping.Lines.back().rfind("totals ", 0), 0u);
        EXPECT_FALSE(StopRequested);
    }
}

TEST_F(ScanEngineTest, StopDeepInTheTreeUnwindsEveryLevel) {
    ASSERT_TRUE(tree.File("d1/d2/f1", 10));
    ASSERT_TRUE(tree.File("d1/d2/f2", 20));
    window.StopAtProcess = 3; // before the first file in d2
    const std::string root = Root();
    engine.StartScan(root);

    const std::string d1 = Join(root, "d1");
    EXPECT_EQ(window.WithPrefix("status "),
              (std::vector<std::string>{"status " + root, "status " + d1,
                                        "status " + Join(d1, "d2"), StoppedLine(engine)}));
    EXPECT_EQ(engine.List().Count(), 0);
    EXPECT_EQ(window.Count("list append", true), 0);
    ExpectStoppedEnding();
    ExpectNoProtocolFaults();
}

TEST_F(ScanEngineTest, StopDuringAnEvictionEndsTheScan) {
    for (int i = 0; i < 103; ++i)
        ASSERT_TRUE(tree.File("f" + std::to_string(i), 100));
    // Each listed file adds two processing points; the eviction of the 101st adds one more
    // right after the totals are written.
    window.OnProcess = [&](int) {
        if (window.Lines.size() >= 2 &&
            window.Lines[window.Lines.size() - 2].rfind("totals", 0) == 0)
            StopRequested = true;
    };
    engine.StartScan(Root());
    EXPECT_EQ(engine.List().Count(), 100);
    EXPECT_EQ(engine.State().FileCount, 101u);
    EXPECT_EQ(window.Count("list remove", true), 1);
    ExpectStoppedEnding();
}

TEST_F(ScanEngineTest, StartIsIgnoredWhileAStopIsPendingOrWithoutAPath) {
    ASSERT_TRUE(tree.File("f", 1));
    StopRequested = true;
    engine.StartScan(Root());
    EXPECT_TRUE(window.Lines.empty());
    EXPECT_TRUE(StopRequested);

    StopRequested = false;
    engine.StartScan("");
    EXPECT_TRUE(window.Lines.empty());
    EXPECT_EQ(engine.State().FileCount, 0u);
}

TEST_F(ScanEngineTest, StartFromInsideARunningScanIsRefused) {
    ASSERT_TRUE(tree.File("a/f", 1));
    TempTree other;
    ASSERT_TRUE(other.File("g", 1));
    window.OnProcess = [&](int count) {
        if (count == 1)
            engine.StartScan(other.Root().string());
    };
    engine.StartScan(Root());
    EXPECT_EQ(window.Count("report 0"), 1);
    EXPECT_EQ(window.Count("report 1"), 1);
    EXPECT_EQ(Captions(), std::vector<std::string>{"f"});
    EXPECT_EQ(engine.State().ScanRoot, Root());
}

TEST_F(ScanEngineTest, FirstHundredFilesAreListedAndTheNextEvicts) {
    // Sizes of 1 to 101 MiB, met in any order: every file is admitted until the first
    // eviction, so the 101st admission removes the smallest of all.
    for (int i = 1; i <= 101; ++i)
        ASSERT_TRUE(tree.File("f" + std::to_string(i), static_cast<std::uint64_t>(i) * MiB));
    engine.StartScan(Root());

    EXPECT_EQ(window.Count("list append", true), 101);
    EXPECT_EQ(window.Count("list remove 100"), 1);
    EXPECT_EQ(window.Count("list remove", true), 1);
    // One totals write at the eviction, one at the end.
    ASSERT_EQ(window.Count("totals ", true), 2);
    const auto removed = std::find(window.Lines.begin(), window.Lines.end(), "list remove 100");
    ASSERT_NE(removed, window.Lines.end());
    EXPECT_EQ(std::next(removed)->rfind("totals ", 0), 0u);
    EXPECT_EQ(*std::next(removed, 2), "process");

    ASSERT_EQ(engine.List().Count(), 100);
    EXPECT_EQ(engine.List().At(0).Caption, "f101");
    EXPECT_EQ(engine.List().At(99).Caption, "f2");
    EXPECT_EQ(engine.State().MinListedSize, 2 * MiB);
    EXPECT_EQ(engine.State().FileCount, 101u);
    EXPECT_EQ(engine.State().ListedTotalMB, 101u * 102 / 2 - 1);
    ExpectNoProtocolFaults();
}

TEST_F(ScanEngineTest, AdmissionAfterTheListIsFull) {
    for (int i = 0; i < 103; ++i)
        ASSERT_TRUE(tree.File("f" + std::to_string(i), 0));
    const std::vector<std::string> order = DeliveryOrder(Root());
    ASSERT_EQ(order.size(), 103u);
    // The first 100 met get 10 to 109 MiB; the 101st is larger and evicts the 10 MiB one;
    // the 102nd is smaller than the new threshold of 11 MiB; the 103rd equals it.
    for (size_t i = 0; i < 100; ++i)
        ASSERT_TRUE(tree.File(order[i], (10 + i) * MiB));
    ASSERT_TRUE(tree.File(order[100], 200 * MiB));
    ASSERT_TRUE(tree.File(order[101], 5 * MiB));
    ASSERT_TRUE(tree.File(order[102], 11 * MiB));
    engine.StartScan(Root());

    EXPECT_EQ(engine.State().FileCount, 103u);
    EXPECT_EQ(window.Count("list append", true), 102) << "the smaller file was listed";
    EXPECT_EQ(window.Count("list remove", true), 2);
    const auto captions = Captions();
    EXPECT_EQ(std::count(captions.begin(), captions.end(), order[0]), 0);
    EXPECT_EQ(std::count(captions.begin(), captions.end(), order[101]), 0);
    EXPECT_EQ(engine.List().At(0).Caption, order[100]);
    EXPECT_EQ(engine.State().MinListedSize, 11 * MiB);
    EXPECT_EQ(engine.List().At(99).SizeValue, 11 * MiB);
    EXPECT_EQ(window.Count("totals ", true), 3);
    ExpectNoProtocolFaults();
}

TEST_F(ScanEngineTest, HugeFilesAreOrderedByTheirFullSize) {
    if (!tree.File("five", 5 * GiB) || !tree.File("four", 4 * GiB) || !tree.File("one", GiB))
        GTEST_SKIP() << "the temporary folder's file system refuses sparse files of 5 GiB";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(tree.File("small" + std::to_string(i), 4096));
    window.OnProcess = [&](int) {
        // A huge file goes to its place at once, not after a later admission.
        const auto& list = engine.List();
        for (int row = 0; row < list.Count(); ++row)
            if (list.At(row).Caption == "five") {
                EXPECT_EQ(row, 0);
            }
    };
    engine.StartScan(Root());

    ASSERT_EQ(engine.List().Count(), 6);
    EXPECT_EQ(engine.List().At(0).Caption, "five");
    EXPECT_EQ(engine.List().At(0).SizeText, "5368\u00b4709\u00b4120 Byte");
    EXPECT_EQ(engine.List().At(0).SizeValue, 5 * GiB);
    EXPECT_EQ(engine.List().At(1).Caption, "four");
    EXPECT_EQ(engine.List().At(1).SizeText, "4294\u00b4967\u00b4296 Byte");
    EXPECT_EQ(engine.List().At(1).SizeValue, 4 * GiB);
    EXPECT_EQ(engine.List().At(2).Caption, "one");
    EXPECT_EQ(engine.State().ListedTotalMB, 5120u + 4096u + 1024u);
    ExpectNoProtocolFaults();
}

TEST_F(ScanEngineTest, LargestPossibleFilesTotalWithoutWrapping) {
    constexpr std::uint64_t Largest = 0x7FFFFFFFFFFFFFFF;
    // Few file systems take files this large; tmpfs does.
    std::unique_ptr<TempTree> huge = std::make_unique<TempTree>();
    if (!huge->File("a", Largest)) {
        std::error_code error;
        if (!std::filesystem::is_directory("/dev/shm", error))
            GTEST_SKIP() << "no file system at hand takes files of 2^63-1 bytes";
        huge = std::make_unique<TempTree>("/dev/shm");
        if (huge->Root().empty() || !huge->File("a", Largest))
            GTEST_SKIP() << "no file system at hand takes files of 2^63-1 bytes";
    }
    ASSERT_TRUE(huge->File("b", Largest));
    ASSERT_TRUE(huge->File("c", 4 * 1024 * 1024 * GiB));
    engine.StartScan(huge->Root().string());

    ASSERT_EQ(engine.List().Count(), 3);
    EXPECT_EQ(engine.List().At(0).SizeValue, Largest);
    EXPECT_EQ(engine.List().At(2).Caption, "c");
    // Each of the largest is 2^43 MiB short of one; 4 PiB are 2^32 MiB.
    const std::uint64_t listedMB = 2 * ((std::uint64_t(1) << 43) - 1) + (std::uint64_t(1) << 32);
    EXPECT_EQ(engine.State().ListedTotalMB, listedMB);
    const std::string total = german ? "Zusammen 17184063488" : "Total 17184063488";
    EXPECT_EQ(window.WithPrefix("totals ").back().rfind("totals " + total, 0), 0u)
        << window.WithPrefix("totals ").back();
}

// The list stays the 100 largest files met that were not deleted: deletes during the walk
// and after it are filled from the files that came next (evicted or never admitted), with
// their sizes, until more were deleted than that reserve holds; then the list runs short and
// the status line says so, and no smaller file is admitted in its place.
TEST_F(ScanEngineTest, DeletesAreFilledFromTheNextLargestUntilTheReserveIsUsedUp) {
    constexpr int Files = 260;
    for (int i = 0; i < Files; ++i)
        ASSERT_TRUE(tree.File("f" + std::to_string(i), 0));
    const std::vector<std::string> order = DeliveryOrder(Root());
    ASSERT_EQ(order.size(), static_cast<size_t>(Files));
    // Sizes that rise and fall along the walk, so that files are evicted, never admitted and
    // admitted late; every size distinct, and the second half's sizes fall between the
    // first half's.
    std::map<std::string, std::uint64_t> sizes;
    for (int i = 0; i < Files; ++i) {
        const std::uint64_t size =
            ((static_cast<std::uint64_t>(i * 97 % Files) + 1) * 2 + (i >= Files / 2 ? 1 : 0)) * MiB;
        sizes[order[static_cast<size_t>(i)]] = size;
        ASSERT_TRUE(tree.File(order[static_cast<size_t>(i)], size));
    }
    std::set<std::string> deleted;
    auto deleteRow = [&](int row) {
        deleted.insert(engine.List().At(row).Caption);
        engine.RemoveListedEntry(row);
    };
    // What the list must hold: the largest files met that were not deleted, largest first.
    auto expectLargestOfTheRest = [&](const std::string& when, size_t met, size_t count) {
        SCOPED_TRACE(when);
        std::vector<std::uint64_t> rest;
        for (size_t i = 0; i < met; ++i)
            if (deleted.count(order[i]) == 0)
                rest.push_back(sizes[order[i]]);
        std::sort(rest.rbegin(), rest.rend());
        rest.resize(std::min(rest.size(), count));
        std::vector<std::uint64_t> listed;
        std::uint64_t listedMB = 0;
        for (const ResultEntry& entry : engine.List().Entries()) {
            listed.push_back(entry.SizeValue);
            listedMB += entry.SizeValue / MiB;
            EXPECT_TRUE(entry.IsComplete());
            EXPECT_EQ(entry.SizeText,
                      SizeText(entry.SizeValue) + std::string(TextsFor(german).SizeSuffix));
        }
        EXPECT_EQ(listed, rest);
        EXPECT_EQ(engine.State().ListedTotalMB, listedMB);
    };
    int deletesDuringWalk = 0;
    window.OnProcess = [&](int) {
        // Five deletes spread over the walk, the first right after the list first filled;
        // at every processing point after the first the list holds what it should.
        const std::uint32_t met = engine.State().FileCount;
        if (deletesDuringWalk > 0)
            expectLargestOfTheRest("walking on after a delete", met, 100);
        if (deletesDuringWalk < 5 &&
            met >= 110u + 30u * static_cast<std::uint32_t>(deletesDuringWalk)) {
            ++deletesDuringWalk;
            const std::size_t totalsBefore = window.WithPrefix("totals ").size();
            deleteRow(deletesDuringWalk * 17 % engine.List().Count());
            expectLargestOfTheRest("mid-walk delete", met, 100);
            EXPECT_EQ(engine.List().Count(), 100);
            EXPECT_EQ(window.WithPrefix("totals ").size(), totalsBefore + 1);
        }
    };
    engine.StartScan(Root());
    window.OnProcess = nullptr;
    ASSERT_EQ(deletesDuringWalk, 5);
    expectLargestOfTheRest("end of the walk", order.size(), 100);
    EXPECT_EQ(engine.LastOutcome(), ScanOutcome::Completed);
    EXPECT_EQ(engine.Reserve().Count(), ResultReserve::Capacity);
    EXPECT_EQ(window.WithPrefix("status ").back(), CreditLine());
    ExpectNoProtocolFaults();

    // After the walk: the reserve fills a hundred deletes, and the totals bar follows each.
    for (int i = 0; i < ResultReserve::Capacity; ++i)
        deleteRow(i % 3);
    expectLargestOfTheRest("reserve used up", order.size(), 100);
    EXPECT_EQ(engine.List().Count(), 100);
    EXPECT_FALSE(engine.ListRunsShort());
    // One more: the list runs short and says so, in the user's language.
    deleteRow(0);
    EXPECT_EQ(engine.List().Count(), 99);
    EXPECT_TRUE(engine.ListRunsShort());
    EXPECT_EQ(window.Lines.back(), "status " + MakeListShortText(99, german));
    EXPECT_EQ(engine.State().MinListedSize, engine.Reserve().Floor());
    EXPECT_GT(engine.Reserve().Floor(), 0u);
    expectLargestOfTheRest("list short", order.size(), 99);
    ExpectNoProtocolFaults();

    // The file that moved up is the list's new smallest: a later file between it and the
    // old threshold belongs in the list, not behind it.
    TempTree narrow;
    for (int i = 0; i < 102; ++i)
        ASSERT_TRUE(narrow.File("f" + std::to_string(i), 0));
    const std::vector<std::string> narrowOrder = DeliveryOrder(narrow.Root().string());
    for (size_t i = 0; i < 101; ++i)
        ASSERT_TRUE(narrow.File(narrowOrder[i], (10 + i) * 2 * MiB));
    ASSERT_TRUE(narrow.File(narrowOrder[101], 21 * MiB));
    bool deletedOnce = false;
    window.OnProcess = [&](int) {
        if (!deletedOnce && engine.State().MinListedSize > 0) {
            deletedOnce = true;
            engine.RemoveListedEntry(0);
            EXPECT_EQ(engine.State().MinListedSize, 20 * MiB);
        }
    };
    engine.StartScan(narrow.Root().string());
    window.OnProcess = nullptr;
    ASSERT_TRUE(deletedOnce);
    ASSERT_EQ(engine.List().Count(), 100);
    EXPECT_EQ(engine.List().At(99).SizeValue, 21 * MiB);
    EXPECT_EQ(engine.List().At(98).SizeValue, 22 * MiB);

    // A tree with fewer files than the list holds is not short after a delete: nothing was
    // given up.
    TempTree few;
    ASSERT_TRUE(few.File("a", 10));
    ASSERT_TRUE(few.File("b", 20));
    engine.StartScan(few.Root().string());
    engine.RemoveListedEntry(0);
    EXPECT_FALSE(engine.ListRunsShort());
    EXPECT_EQ(engine.State().MinListedSize, 0u);
    EXPECT_EQ(Captions(), std::vector<std::string>{"a"});
}

TEST(ScanTexts, StoppedAndShortListsCountWithTheLanguagesGrouping) {
    EXPECT_EQ(MakeScanStoppedText(12345, false),
              "Scan stopped after 12,345 files: the list holds the largest of these.");
    EXPECT_EQ(MakeScanStoppedText(1234567, true),
              "Suche angehalten nach 1.234.567 Dateien: die Liste enth\u00e4lt die "
              "gr\u00f6\u00dften davon.");
    EXPECT_EQ(MakeScanStoppedText(7, false),
              "Scan stopped after 7 files: the list holds the largest of these.");
    EXPECT_NE(MakeListShortText(999, false).find("Only 999 files"), std::string::npos);
    EXPECT_NE(MakeListShortText(100, true).find("Nur 100 Dateien"), std::string::npos);
}

TEST_F(ScanEngineTest, FourGiBFileIsNotMistakenForAnEmptyOne) {
    for (int i = 0; i < 101; ++i)
        ASSERT_TRUE(tree.File("f" + std::to_string(i), 0));
    const std::vector<std::string> order = DeliveryOrder(Root());
    ASSERT_EQ(order.size(), 101u);
    for (size_t i = 0; i < 100; ++i)
        ASSERT_TRUE(tree.File(order[i], MiB + i));
    // Met last, when the list is full: it must push out the smallest, not itself.
    if (!tree.File(order[100], 4 * GiB))
        GTEST_SKIP() << "the temporary folder's file system refuses sparse files of 4 GiB";
    engine.StartScan(Root());

    ASSERT_EQ(engine.List().Count(), 100);
    EXPECT_EQ(engine.List().At(0).Caption, order[100]);
    EXPECT_EQ(engine.State().MinListedSize, MiB + 1);
    EXPECT_EQ(engine.State().ListedTotalMB, 99u + 4096u);
}

TEST_F(ScanEngineTest, EmptyRootEndsNormallyAndMissingRootEndsWithAMessage) {
    engine.StartScan(Root());
    EXPECT_EQ(engine.List().Count(), 0);
    EXPECT_EQ(engine.State().FileCount, 0u);
    EXPECT_EQ(window.Count("report 1"), 1);
    EXPECT_EQ(window.Count("totals ", true), 1);
    EXPECT_EQ(window.Lines.back().rfind("totals ", 0), 0u);
    EXPECT_FALSE(engine.State().RootUnreadable);

    // A root that cannot be read must not end like an empty tree that was read: no summary,
    // no totals, the reason in the status line.
    window.Lines.clear();
    const std::string missing = Join(Root(), "missing");
    engine.StartScan(missing);
    EXPECT_EQ(engine.List().Count(), 0);
    EXPECT_EQ(engine.State().ScanRoot, missing);
    EXPECT_TRUE(engine.State().RootUnreadable);
    EXPECT_EQ(engine.State().UnreadableFolderCount, 1u);
    EXPECT_EQ(window.Count("report 1"), 0);
    const std::vector<std::string> ending(window.Lines.end() - 2, window.Lines.end());
    EXPECT_EQ(ending, (std::vector<std::string>{
                          "status " + MakeRootUnreadableText(missing, german, engine.Locale()),
                          "totals ||"}));
    EXPECT_FALSE(StopRequested);

    // A kernel pseudo file system is not walked as an empty tree either (on POSIX systems that
    // have one).
    if (JoinPath("", "proc") == "/proc" && FolderExists("/proc/self")) {
        window.Lines.clear();
        engine.StartScan("/proc");
        EXPECT_TRUE(engine.State().RootOnPseudoFileSystem);
        EXPECT_FALSE(engine.State().RootUnreadable);
        EXPECT_EQ(engine.State().FileCount, 0u);
        EXPECT_EQ(window.Count("report 1"), 0);
        EXPECT_EQ(window.Lines.back(), "totals ||");
        EXPECT_EQ(window.Lines.end()[-2],
                  "status " + MakeNoResultText(engine.State(), german, engine.Locale()));
        EXPECT_NE(window.Lines.end()[-2].find("/proc"), std::string::npos);
    }

    // The next scan of a readable root ends normally again.
    window.Lines.clear();
    engine.StartScan(Root());
    EXPECT_FALSE(engine.State().RootUnreadable);
    EXPECT_FALSE(engine.State().RootOnPseudoFileSystem);
    EXPECT_EQ(engine.State().UnreadableFolderCount, 0u);
    EXPECT_EQ(window.Count("report 1"), 1);
}

TEST_F(ScanEngineTest, RootThatDoesNotAnswerEndsTheScanAndTheWindowIsHeardMeanwhile) {
    ASSERT_TRUE(tree.File("f", 1));
    // A root whose file system answers only once the gate opens; the test's end opens it.
    const auto gate = std::make_shared<CallGate>();
    struct OpenAtEnd {
        std::shared_ptr<CallGate> Gate;
        ~OpenAtEnd() { Gate->Open(); }
    } openAtEnd{gate};
    ScanEngine hung(window, icons, [gate](const std::string& root, bool withDriveType) {
        gate->Wait();
        return LookAtScanRoot(root, withDriveType);
    });

    hung.StartScan(Root());
    EXPECT_EQ(hung.LastOutcome(), ScanOutcome::RootUnreadable);
    EXPECT_TRUE(hung.State().RootUnanswered);
    EXPECT_TRUE(hung.State().RootUnreadable);
    EXPECT_EQ(hung.State().UnansweredFolderCount, 1u);
    EXPECT_EQ(hung.State().FileCount, 0u);
    EXPECT_EQ(hung.VolumeLabel(), "");
    EXPECT_EQ(window.Count("skipped no answer " + Root()), 1);
    EXPECT_EQ(window.Count("report 1"), 0);
    EXPECT_EQ(std::vector<std::string>(window.Lines.end() - 2, window.Lines.end()),
              (std::vector<std::string>{
                  "status " + MakeNoResultText(hung.State(), german, hung.Locale()), "totals ||"}));
    EXPECT_EQ(MakeNoResultText(hung.State(), false, hung.Locale()),
              "The folder " + Root() + " did not answer.");
    EXPECT_EQ(MakeNoResultText(hung.State(), true, hung.Locale()),
              "Der Ordner " + Root() + " hat nicht geantwortet.");
    // The window was heard all the while (every 50 ms for 2 s).
    EXPECT_GE(window.WaitCount, 20);
    EXPECT_FALSE(StopRequested);

    // A stop while the root is asked ends the scan as stopped, without figures of a volume
    // that never answered.
    window.Lines.clear();
    window.WaitCount = 0;
    window.OnWait = [](int wait) { StopRequested = StopRequested || wait == 3; };
    hung.StartScan(Root());
    EXPECT_EQ(hung.LastOutcome(), ScanOutcome::Stopped);
    EXPECT_EQ(window.WaitCount, 3);
    EXPECT_FALSE(hung.State().RootUnreadable);
    EXPECT_FALSE(hung.State().RootUnanswered);
    EXPECT_EQ(std::vector<std::string>(window.Lines.end() - 2, window.Lines.end()),
              (std::vector<std::string>{StoppedLine(hung), "totals ||"}));
    EXPECT_FALSE(StopRequested);

    // Once the file system answers again, the next scan walks the root.
    gate->Open();
    window.Lines.clear();
    hung.StartScan(Root());
    EXPECT_EQ(hung.LastOutcome(), ScanOutcome::Completed);
    EXPECT_FALSE(hung.State().RootUnanswered);
    EXPECT_EQ(hung.List().Count(), 1);
    EXPECT_EQ(window.Count("report 1"), 1);
    // The end of the scan names the volume as its start found it.
    EXPECT_EQ(hung.VolumeLabel(), VolumeLabelFor(Root()));
}

TEST_F(ScanEngineTest, OneTrailingSeparatorIsTrimmedFromTheRoot) {
    ASSERT_TRUE(tree.File("f", 1));
    const std::string root = Root();
    const std::string separator = Join("x", "y").substr(1, Join("x", "y").size() - 2);
    engine.StartScan(root + separator);
    EXPECT_EQ(engine.State().ScanRoot, root);
    EXPECT_EQ(window.WithPrefix("status ").front(), "status " + root);
    ASSERT_EQ(engine.List().Count(), 1);
    EXPECT_EQ(engine.List().At(0).FolderText, root);
}

TEST_F(ScanEngineTest, SecondScanStartsFromScratch) {
    for (int i = 1; i <= 101; ++i)
        ASSERT_TRUE(tree.File("big/f" + std::to_string(i), static_cast<std::uint64_t>(i) * MiB));
    ASSERT_TRUE(tree.File("small/a", 1));
    ASSERT_TRUE(tree.File("small/b", 2));
    engine.StartScan(Join(Root(), "big"));
    ASSERT_EQ(engine.State().MinListedSize, 2 * MiB);

    engine.StartScan(Join(Root(), "small"));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(engine.State().FileCount, 2u);
    EXPECT_EQ(engine.State().MinListedSize, 0u);
    EXPECT_EQ(engine.State().ListedTotalMB, 0u);
    EXPECT_EQ(engine.State().ScanRoot, Join(Root(), "small"));
}

TEST_F(ScanEngineTest, FilesOutsideTheUsualYearsKeepTheirDateAndIcon) {
    using namespace std::chrono;
    struct Case {
        std::string Name;
        sys_seconds Time;
    };
    const std::vector<Case> cases = {
        {"old", sys_days{year{1960} / 1 / 2} + hours{3} + minutes{4} + seconds{5}},
        {"future", sys_days{year{2200} / 6 / 7} + hours{8} + minutes{9} + seconds{11}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(tree.File(c.Name, 10));
        std::error_code error;
        std::filesystem::last_write_time(tree.Path(c.Name), file_clock::from_sys(c.Time), error);
        if (error || floor<seconds>(file_clock::to_sys(
                         std::filesystem::last_write_time(tree.Path(c.Name)))) != c.Time)
            GTEST_SKIP() << "the file system cannot hold the date of " << c.Name;
    }
    LocaleFormat locale;
    locale.ShortDatePattern = "yyyy-MM-dd";
    locale.TwentyFourHour = true;
    engine.SetLocaleFormat(locale);
    engine.StartScan(Root());

    ASSERT_EQ(engine.List().Count(), 2);
    for (const auto& entry : engine.List().Entries()) {
        const auto& c = entry.Caption == "old" ? cases[0] : cases[1];
        const LocalDateTime local = ToLocalDateTime(c.Time.time_since_epoch().count());
        // Time zones move the hour, never the seconds.
        EXPECT_EQ(local.Year, entry.Caption == "old" ? 1960 : 2200);
        EXPECT_EQ(local.Second, entry.Caption == "old" ? 5 : 11);
        EXPECT_EQ(entry.DateText, DateColumnText(local, locale));
        EXPECT_NE(entry.IconIndex, -1) << entry.Caption;
    }
}

TEST_F(ScanEngineTest, LinksAreWalkedOnceAndNeverTwice) {
    ASSERT_TRUE(tree.File("tree/a/f", 10));
    ASSERT_TRUE(tree.File("outside/g", 20));
    std::error_code error;
    std::filesystem::create_directory_symlink(tree.Path("tree/a"), tree.Path("tree/again"), error);
    std::filesystem::create_directory_symlink(tree.Path("tree"), tree.Path("tree/a/loop"), error);
    std::filesystem::create_directory_symlink(tree.Path("outside"), tree.Path("tree/out"), error);
    if (error)
        GTEST_SKIP() << "cannot create folder links here: " << error.message();
    const std::string root = Join(Root(), "tree");
    engine.StartScan(root);

    EXPECT_EQ(Captions(), (std::vector<std::string>{"g", "f"}));
    EXPECT_EQ(engine.List().At(0).FolderText, Join(root, "out"));
    EXPECT_EQ(engine.State().FileCount, 2u);
    EXPECT_EQ(window.Count("report 1"), 1);
}

TEST_F(ScanEngineTest, FolderThatVanishesIsSkippedAndTheWalkGoesOn) {
    ASSERT_TRUE(tree.File("a/f", 10));
    ASSERT_TRUE(tree.File("b/g", 20));
    const std::vector<std::string> order = DeliveryOrder(Root());
    ASSERT_EQ(order.size(), 2u);
    const auto second = tree.Path(order[1]);
    // One thread: on Windows a worker listing the folder ahead can refuse its removal for that
    // moment. The read-ahead suites remove folders under the workers' feet.
    engine.SetWalkThreads(1);
    window.OnProcess = [&](int count) {
        if (count == 1)
            std::filesystem::remove_all(second);
    };
    engine.StartScan(Root());

    EXPECT_EQ(Captions(), std::vector<std::string>{order[0] == "a" ? "f" : "g"});
    EXPECT_EQ(engine.State().FileCount, 1u);
    EXPECT_EQ(window.Count("report 1"), 1);
}

TEST(ScanEntries, DotEntriesAreNeitherFilesNorFolders) {
    DirectoryEntry entry;
    entry.Attributes = FolderAttribute;
    for (const char* name : {".", ".."}) {
        entry.Name = name;
        entry.Attributes = FolderAttribute;
        EXPECT_FALSE(IsSubfolderEntry(entry)) << name;
        entry.Attributes = 0;
        EXPECT_FALSE(IsFileEntry(entry)) << name;
    }
    entry.Name = "...";
    entry.Attributes = FolderAttribute | 0x02;
    EXPECT_TRUE(IsSubfolderEntry(entry));
    EXPECT_FALSE(IsFileEntry(entry));
    entry.Name = ".hidden";
    entry.Attributes = 0x02 | 0x04;
    EXPECT_TRUE(IsFileEntry(entry));
    EXPECT_FALSE(IsSubfolderEntry(entry));
}

TEST(ScanEntries, IconIndexNeedsAnExistingFile) {
    TempTree tree;
    ASSERT_TRUE(tree.File("f.txt", 3));
    FixedIcons icons;
    EXPECT_EQ(GetFileIconIndex(tree.Path("missing").string(), icons), -1);
    EXPECT_EQ(GetFileIconIndex(tree.Root().string(), icons), -1);
    const std::string file = tree.Path("f.txt").string();
    EXPECT_EQ(GetFileIconIndex(file, icons), ExpectedIconOfExistingFile(file));
    EXPECT_EQ(icons.Asked.size(), ExpectedIconOfExistingFile(file) == FixedIcons::Index ? 1u : 0u);
}

} // namespace
