// A folder the user may not read is skipped, counted and announced, and the scan goes on; a
// root the user may not read ends the scan without a result. Permission bits do not stop
// root, who runs CI, so there the scan runs in a child process that has become nobody.
#include "ChildProcess.h"
#include "RecordingWindow.h"

#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Scans `root` with `threads` reading ahead and tells what the scan saw, as one text that a
// child can hand back.
std::string ScanAndDescribe(const std::string& root, int threads) {
    StopRequested = false;
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.SetWalkThreads(threads);
    engine.StartScan(root);
    std::string text = "listed:";
    for (const ResultEntry& entry : engine.List().Entries())
        text += " " + entry.Caption;
    text +=
        "\nlocked entered: " + std::to_string(window.Count("status " + JoinPath(root, "locked")));
    text += "\nsummary pages: " + std::to_string(window.Count("report 1"));
    text += "\nunreadable: " + std::to_string(engine.State().UnreadableFolderCount);
    text += engine.State().RootUnreadable ? " (the root)" : "";
    for (const std::string& line : window.WithPrefix("skipped "))
        text += "\n" + line;
    return text;
}

// Runs ScanAndDescribe as the user, as nobody in a child process when the user is root.
std::string ScanAsTheUser(const std::string& root, int threads = 1) {
    if (geteuid() != 0)
        return ScanAndDescribe(root, threads);
    return childprocess::Run({.AsNobody = true}, [&]() -> std::string {
        if (geteuid() != childprocess::Nobody)
            return "still not nobody";
        return ScanAndDescribe(root, threads);
    });
}

// Opens the tree itself to the other user.
void OpenToOthers(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
}

TEST(UnreadableFolder, IsSkippedCountedAndNamedAndTheWalkGoesOn) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    ASSERT_TRUE(tree.File("locked/f", 10));
    ASSERT_TRUE(tree.File("open/g", 20));
    std::filesystem::permissions(tree.Path("locked"), std::filesystem::perms::none);
    OpenToOthers(tree.Root());
    const std::string root = tree.Root().string();
    EXPECT_EQ(ScanAsTheUser(root), "listed: g\nlocked entered: 1\nsummary pages: 1\nunreadable: "
                                   "1\nskipped unreadable " +
                                       JoinPath(root, "locked"));
}

TEST(UnreadableFolder, FolderThatCanBeListedButNotLookedIntoCountsAsUnreadable) {
    // Read without search permission: the names can be listed, their sizes not be read.
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    ASSERT_TRUE(tree.File("locked/inner/f", 10));
    ASSERT_TRUE(tree.File("g", 20));
    namespace fs = std::filesystem;
    fs::permissions(tree.Path("locked"), fs::perms::owner_all | fs::perms::others_read);
    OpenToOthers(tree.Root());
    const std::string root = tree.Root().string();
    // Whether the walk reads the folder itself or takes it from the threads reading ahead.
    for (int threads : {1, 3}) {
        EXPECT_EQ(ScanAsTheUser(root, threads),
                  "listed: g\nlocked entered: 1\nsummary pages: 1\nunreadable: 1\nskipped "
                  "unreadable " +
                      JoinPath(root, "locked"))
            << threads << " threads";
    }
}

// A root that cannot be listed, one that can be listed but not looked into, and one behind a
// folder the user may not search: none of them is an empty tree.
TEST(UnreadableFolder, UnreadableRootEndsWithoutASummary) {
    namespace fs = std::filesystem;
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    const struct {
        const char* Locked;
        const char* Root;
        fs::perms Rights;
    } cases[] = {
        {"none", "none", fs::perms::none},
        {"listed", "listed", fs::perms::owner_all | fs::perms::others_read},
        {"above", "above/inner", fs::perms::owner_all},
    };
    for (const auto& each : cases) {
        ASSERT_TRUE(tree.File(std::string(each.Root) + "/f", 10));
        fs::permissions(tree.Path(each.Locked), each.Rights);
    }
    OpenToOthers(tree.Root());
    for (const auto& each : cases) {
        const std::string root = JoinPath(tree.Root().string(), each.Root);
        EXPECT_EQ(ScanAsTheUser(root), "listed:\nlocked entered: 0\nsummary pages: 0\nunreadable: "
                                       "1 (the root)\nskipped unreadable " +
                                           root);
    }
}

} // namespace
