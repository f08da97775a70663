// A folder the user may not read is skipped and the scan goes on. Permission bits do not
// stop root, who runs CI, so there the scan runs in a child process that has become nobody.
#include "ChildProcess.h"
#include "RecordingWindow.h"

#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Scans `root` and tells what the scan saw, as one text that a child can hand back.
std::string ScanAndDescribe(const std::string& root) {
    StopRequested = false;
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.StartScan(root);
    std::string text = "listed:";
    for (const ResultEntry& entry : engine.List().Entries())
        text += " " + entry.Caption;
    text +=
        "\nlocked entered: " + std::to_string(window.Count("status " + JoinPath(root, "locked")));
    text += "\nsummary pages: " + std::to_string(window.Count("report 1"));
    return text;
}

// Runs ScanAndDescribe as nobody in a child process and returns its text.
std::string ScanAsNobody(const std::string& root) {
    return childprocess::Run({.AsNobody = true}, [&]() -> std::string {
        if (access(JoinPath(root, "locked").c_str(), R_OK) == 0)
            return "nobody can read the locked folder";
        return ScanAndDescribe(root);
    });
}

TEST(UnreadableFolder, IsSkippedAndTheWalkGoesOn) {
    TempTree tree;
    ASSERT_FALSE(tree.Root().empty());
    ASSERT_TRUE(tree.File("locked/f", 10));
    ASSERT_TRUE(tree.File("open/g", 20));
    namespace fs = std::filesystem;
    fs::permissions(tree.Path("locked"), fs::perms::none);
    // The other user must reach the tree itself.
    fs::permissions(tree.Root(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    const std::string root = tree.Root().string();
    const std::string expected = "listed: g\nlocked entered: 1\nsummary pages: 1";
    EXPECT_EQ(geteuid() == 0 ? ScanAsNobody(root) : ScanAndDescribe(root), expected);
}

} // namespace
