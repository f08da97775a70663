// A scan leaves out a removable drive mounted below its root and counts it; a scan whose root
// is on that drive lists its files. The drive is a small ext2 image on a loop device, which
// the scanning child process sees as removable (see SeeDeviceAsRemovable).
#include "RecordingWindow.h"

#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"
#include "tests/platform/ScratchMounts.h"
#include "tests/platform/TestTree.h"

#include <gtest/gtest.h>

namespace {

std::string Mkfs() {
    for (const char* candidate : {"/usr/sbin/mkfs.ext2", "/sbin/mkfs.ext2"}) {
        if (access(candidate, X_OK) == 0)
            return candidate;
    }
    return {};
}

// Scans `root` and tells what the scan listed, counted and announced as skipped.
std::string ScanAndDescribe(const std::string& root) {
    StopRequested = false;
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.StartScan(root);
    std::string text = "listed:";
    for (const ResultEntry& entry : engine.List().Entries())
        text += " " + entry.Caption;
    text += "\nskipped mounts: " + std::to_string(engine.State().SkippedMountCount);
    for (const std::string& line : window.WithPrefix("skipped "))
        text += "\n" + line;
    return text;
}

TEST(OtherDriveScan, RemovableDriveBelowTheRootIsLeftOutAndCountedButScannedAsRoot) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a loop device needs root";
    const std::string mkfs = Mkfs();
    if (mkfs.empty())
        GTEST_SKIP() << "mkfs.ext2 (e2fsprogs) is not installed";

    testtree::ScratchFolder scratch;
    const std::string image = scratch / "stick.img";
    testtree::MakeFile(image, 4 << 20);
    ASSERT_EQ(testtree::RunProgram({mkfs, "-q", "-F", image}).ExitStatus, 0);
    testtree::LoopDevice loop(image);
    if (!loop.Ok())
        GTEST_SKIP() << "no loop device here: " << loop.Error();
    const std::string root = scratch / "root";
    testtree::MakeFolder(root);
    testtree::MakeFile(JoinPath(root, "home.bin"), 10);
    testtree::MakeFolder(JoinPath(root, "stick"));
    testtree::ScratchMount stick(loop.Path(), JoinPath(root, "stick"), "ext2");
    ASSERT_TRUE(stick.Ok()) << stick.Error();
    testtree::MakeFile(JoinPath(root, "stick/film.bin"), 20);

    const dev_t device = stick.Device();
    const std::string below = testtree::RunInChildProcess([&] {
        const std::string failure = testtree::SeeDeviceAsRemovable(device);
        return failure.empty() ? ScanAndDescribe(root) : failure;
    });
    EXPECT_EQ(below, "listed: home.bin\nskipped mounts: 1\nskipped other drive " +
                         JoinPath(root, "stick"));

    const std::string onIt = testtree::RunInChildProcess([&] {
        const std::string failure = testtree::SeeDeviceAsRemovable(device);
        return failure.empty() ? ScanAndDescribe(JoinPath(root, "stick")) : failure;
    });
    EXPECT_EQ(onIt, "listed: film.bin\nskipped mounts: 0");
}

} // namespace
