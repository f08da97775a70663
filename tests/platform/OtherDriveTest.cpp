// Network and removable drives mounted below the root are left out of a walk; fixed ones are
// walked, and a root chosen on such a drive is walked as asked.
#include "ScratchMounts.h"
#include "TestTree.h"

#include <gtest/gtest.h>

#include "platform/posix/MountTable.h"
#include "platform/posix/PosixFolderSource.h"

#include <map>
#include <set>

using namespace testtree;

namespace {

// A desktop's mounts, each with the kind of drive it must get. Removable are the stick (8:16
// and its partition 8:17) and the optical drive (11:0); bind mounts show a folder of another
// mount and are listed with that mount's device and type.
const char* const DesktopMountInfo =
    "20 1 8:2 / / rw shared:1 - ext4 /dev/sda2 rw\n"
    "21 20 8:2 /srv/data /data rw - ext4 /dev/sda2 rw\n"
    "22 20 8:3 / /home rw - btrfs /dev/sda3 rw\n"
    "23 20 0:45 / /tmp rw - tmpfs tmpfs rw\n"
    "24 20 0:46 / /run/user/1000/doc rw - fuse.portal portal rw\n"
    "25 20 8:33 / /mnt/windows rw - fuseblk /dev/sdc1 rw\n"
    "30 20 0:50 / /mnt/nfs rw - nfs4 server:/export rw\n"
    "31 20 0:50 /export/sub /srv/nfs-bind rw - nfs4 server:/export rw\n"
    "32 20 0:51 / /mnt/smb rw - cifs //nas/share rw\n"
    "33 20 0:52 / /home/u/box rw - fuse.sshfs u@host:/ rw\n"
    "34 20 0:53 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "35 20 0:54 / /mnt/old rw - fuse sshfs#u@host:/ rw\n"
    "36 20 0:55 / /mnt/vm rw - 9p hostshare rw\n"
    "37 20 0:52 /photos /home/u/box-photos rw - fuse.sshfs u@host:/ rw\n"
    "40 20 8:17 / /media/u/STICK rw - vfat /dev/sdb1 rw\n"
    "41 20 8:17 /photos /home/u/photos rw - vfat /dev/sdb1 rw\n"
    "42 20 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
    "43 20 8:18 / /media/u/NTFS rw - fuseblk /dev/sdb2 rw\n";

TEST(DriveTypeOfMountTest, NetworkRemovableAndFixedMountsAndTheirBindMounts) {
    const std::set<std::pair<unsigned, unsigned>> removable = {{8, 17}, {8, 18}, {11, 0}};
    const std::map<std::string, DriveType> expected = {
        {"/", DriveType::Fixed},
        {"/data", DriveType::Fixed},
        {"/home", DriveType::Fixed},
        {"/tmp", DriveType::Fixed},
        {"/run/user/1000/doc", DriveType::Fixed},
        {"/mnt/windows", DriveType::Fixed},
        {"/mnt/nfs", DriveType::Network},
        {"/srv/nfs-bind", DriveType::Network},
        {"/mnt/smb", DriveType::Network},
        {"/home/u/box", DriveType::Network},
        {"/run/user/1000/gvfs", DriveType::Network},
        {"/mnt/old", DriveType::Network},
        {"/mnt/vm", DriveType::Network},
        {"/home/u/box-photos", DriveType::Network},
        {"/media/u/STICK", DriveType::Removable},
        {"/home/u/photos", DriveType::Removable},
        {"/media/cdrom", DriveType::Removable},
        {"/media/u/NTFS", DriveType::Removable},
    };
    const std::vector<MountEntry> mounts = ParseMountInfo(DesktopMountInfo);
    ASSERT_EQ(mounts.size(), expected.size());
    for (const MountEntry& mount : mounts) {
        const bool onRemovable = removable.count({mount.Major, mount.Minor}) != 0;
        EXPECT_EQ(DriveTypeOfMount(mount, onRemovable), expected.at(mount.MountPoint))
            << mount.MountPoint << " (" << mount.FsType << ")";
    }
    EXPECT_FALSE(IsRemovableBlockDevice(0, 45)) << "no block device, nothing to remove";
}

// A scratch tree with a tmpfs mounted at "mnt" below the root, holding "in.bin".
class MountBelowRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "mounting needs root";
        }
        MakeFolder(scratch_ / "root");
        MakeFile(scratch_ / "root/top.bin", 1);
        MakeFolder(scratch_ / "root/mnt");
        mount_ = std::make_unique<ScratchMount>("bulkon-test", scratch_ / "root/mnt", "tmpfs");
        if (!mount_->Ok()) {
            GTEST_SKIP() << "cannot mount here: " << mount_->Error();
        }
        MakeFile(scratch_ / "root/mnt/in.bin", 2);
    }
    std::string Root() const { return scratch_ / "root"; }

    ScratchFolder scratch_;
    std::unique_ptr<ScratchMount> mount_;
};

// Walks `walk` from its root and tells which files it listed (relative to the root) and why
// each folder that was not opened was left.
struct SkipReport {
    std::set<std::string> Files;
    std::map<std::string, FolderSkip> Skipped;
};
void WalkOpenRecordingSkips(FolderWalk& walk, const std::string& folder, SkipReport& report) {
    DirectoryEntry entry;
    while (walk.Next(entry)) {
        const std::string path = JoinPath(folder, std::string(entry.Name));
        if ((entry.Attributes & FolderAttribute) == 0) {
            report.Files.insert(path.substr(walk.Root().size()));
        } else if (const FolderSkip skip = walk.Enter(); skip != FolderSkip::None) {
            report.Skipped[path.substr(walk.Root().size())] = skip;
        } else {
            WalkOpenRecordingSkips(walk, path, report);
        }
    }
    walk.Leave();
}
void WalkRecordingSkips(FolderWalk& walk, SkipReport& report) {
    if (const FolderSkip skip = walk.OpenRoot(); skip != FolderSkip::None) {
        report.Skipped[""] = skip;
        return;
    }
    WalkOpenRecordingSkips(walk, walk.Root(), report);
}

// A walk of the system's folders whose source the test can tell what kind of drive a device is.
struct WalkWithDevices {
    explicit WalkWithDevices(const std::string& root, int threads = 1)
        : Source(std::make_shared<PosixFolderSource>()), Walk(Source, root, threads) {}
    MountedDevices& Devices() { return Source->Devices(); }
    std::shared_ptr<PosixFolderSource> Source;
    FolderWalk Walk;
};

TEST_F(MountBelowRootTest, FixedMountIsWalkedNetworkMountAndItsBindMountAreLeftOut) {
    {
        FolderWalk walk(Root());
        SkipReport report;
        WalkRecordingSkips(walk, report);
        EXPECT_EQ(report.Files, (std::set<std::string>{"/top.bin", "/mnt/in.bin"}))
            << "a tmpfs below the root is a fixed drive";
        EXPECT_TRUE(report.Skipped.empty());
    }

    MakeFolder(scratch_ / "root/again");
    ScratchMount bind = ScratchMount::Bind(scratch_ / "root/mnt", scratch_ / "root/again");
    ASSERT_TRUE(bind.Ok()) << bind.Error();
    WalkWithDevices devices(Root());
    FolderWalk& walk = devices.Walk;
    devices.Devices().AssumeType(mount_->Device(), DriveType::Network);
    SkipReport report;
    WalkRecordingSkips(walk, report);
    EXPECT_EQ(report.Files, std::set<std::string>{"/top.bin"});
    EXPECT_EQ(report.Skipped,
              (std::map<std::string, FolderSkip>{{"/mnt", FolderSkip::OtherDrive},
                                                 {"/again", FolderSkip::OtherDrive}}));
}

TEST_F(MountBelowRootTest, RootOnANetworkDriveIsWalkedButNotAnotherOneBelowIt) {
    MakeFolder(scratch_ / "root/mnt/share");
    MakeFolder(scratch_ / "root/mnt/sub");
    MakeFile(scratch_ / "root/mnt/sub/deep.bin", 3);
    ScratchMount inner("bulkon-test", scratch_ / "root/mnt/share", "tmpfs");
    ASSERT_TRUE(inner.Ok()) << inner.Error();
    MakeFile(scratch_ / "root/mnt/share/far.bin", 4);

    const std::string root = scratch_ / "root/mnt";
    WalkWithDevices devices(root);
    FolderWalk& walk = devices.Walk;
    devices.Devices().AssumeType(mount_->Device(), DriveType::Network);
    devices.Devices().AssumeType(inner.Device(), DriveType::Removable);
    SkipReport report;
    WalkRecordingSkips(walk, report);
    EXPECT_EQ(report.Files, (std::set<std::string>{"/in.bin", "/sub/deep.bin"}));
    EXPECT_EQ(report.Skipped,
              (std::map<std::string, FolderSkip>{{"/share", FolderSkip::OtherDrive}}));
}

TEST_F(MountBelowRootTest, DesktopFolderOfDrivesCountsOnlyWhenItHoldsOne) {
    // The desktop's gvfs folder is mounted in every session; a location mounted through it
    // shows as an entry of its own.
    for (const bool holdsOne : {true, false}) {
        if (!holdsOne) {
            ASSERT_EQ(unlink((scratch_ / "root/mnt/in.bin").c_str()), 0);
        }
        WalkWithDevices devices(Root());
        FolderWalk& walk = devices.Walk;
        devices.Devices().AssumeType(mount_->Device(), DriveType::Network, "fuse.gvfsd-fuse");
        SkipReport report;
        WalkRecordingSkips(walk, report);
        EXPECT_EQ(report.Files, std::set<std::string>{"/top.bin"});
        EXPECT_EQ(report.Skipped,
                  (std::map<std::string, FolderSkip>{
                      {"/mnt", holdsOne ? FolderSkip::OtherDrive : FolderSkip::NotEntered}}));
    }
}

TEST_F(MountBelowRootTest, LinkToANetworkDriveIsNotFollowed) {
    // The link lies outside the mount's tree, so the walk would follow it like a folder.
    MakeFolder(scratch_ / "elsewhere");
    ScratchMount share("bulkon-test", scratch_ / "elsewhere", "tmpfs");
    ASSERT_TRUE(share.Ok()) << share.Error();
    MakeFile(scratch_ / "elsewhere/far.bin", 5);
    MakeLink(scratch_ / "elsewhere", scratch_ / "root/link");

    WalkWithDevices devices(Root());
    FolderWalk& walk = devices.Walk;
    devices.Devices().AssumeType(share.Device(), DriveType::Network);
    SkipReport report;
    WalkRecordingSkips(walk, report);
    EXPECT_EQ(report.Files, (std::set<std::string>{"/top.bin", "/mnt/in.bin"}));
    EXPECT_EQ(report.Skipped,
              (std::map<std::string, FolderSkip>{{"/link", FolderSkip::OtherDrive}}));
}

TEST(UnansweredShareTest, IsLeftOutWithoutWaitingForItsServer) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting needs root";
    }
    ScratchFolder scratch;
    const std::string root = scratch / "root";
    MakeFolder(root);
    MakeFile(JoinPath(root, "top.bin"), 1);
    MakeFolder(JoinPath(root, "share"));
    // Deeper down too, in folders that the read-ahead's workers read while the walk is still
    // elsewhere: a worker must not look at a share either.
    constexpr int deepShares = 16;
    MakeFolder(JoinPath(root, "a"));
    for (int i = 0; i < deepShares; ++i) {
        const std::string folder = "a/p" + std::to_string(i);
        MakeFolder(JoinPath(root, folder));
        MakeFolder(JoinPath(root, folder + "/share"));
        MakeFile(JoinPath(root, folder + "/in.bin"), 2);
    }
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(std::to_string(threads) + " walk threads");
        const std::string answer = RunInChildProcess(
            [&] {
                std::string error;
                for (int i = -1; i < deepShares; ++i) {
                    const std::string share =
                        i < 0 ? "share" : "a/p" + std::to_string(i) + "/share";
                    if (MountUnservedFuse(JoinPath(root, share), "sshfs", error) < 0) {
                        return "cannot mount: " + error;
                    }
                }
                FolderWalk walk(root, threads);
                SkipReport report;
                WalkRecordingSkips(walk, report);
                std::string text = "files:";
                for (const std::string& file : report.Files) {
                    text += " " + file;
                }
                for (const auto& [folder, reason] : report.Skipped) {
                    text += "\nskipped " + folder +
                            (reason == FolderSkip::OtherDrive ? " other" : " ?");
                }
                return text;
            },
            20);
        if (answer.rfind("cannot mount", 0) == 0) {
            GTEST_SKIP() << answer;
        }
        std::set<std::string> files = {"/top.bin"};
        std::set<std::string> skipped = {"/share"};
        for (int i = 0; i < deepShares; ++i) {
            files.insert("/a/p" + std::to_string(i) + "/in.bin");
            skipped.insert("/a/p" + std::to_string(i) + "/share");
        }
        std::string expected = "files:";
        for (const std::string& file : files) {
            expected += " " + file;
        }
        for (const std::string& folder : skipped) {
            expected += "\nskipped " + folder + " other";
        }
        EXPECT_EQ(answer, expected);
    }
}

} // namespace
