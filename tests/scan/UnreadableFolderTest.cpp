// A folder the user may not read is skipped and the scan goes on. Permission bits do not
// stop root, who runs CI, so there the scan runs in a child process that has become nobody.
#include "RecordingWindow.h"

#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;

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
    int channel[2];
    if (pipe(channel) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        close(channel[0]);
        std::string text;
        if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)
            text = "could not become nobody";
        else if (access(JoinPath(root, "locked").c_str(), R_OK) == 0)
            text = "nobody can read the locked folder";
        else
            text = ScanAndDescribe(root);
        const ssize_t written = write(channel[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<size_t>(got));
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        answer += "\n(the child failed)";
    return answer;
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
