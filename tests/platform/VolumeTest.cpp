#include "TestTree.h"

#include <gtest/gtest.h>

#include "platform/fs/Volume.h"
#include "platform/posix/MountTable.h"

#include <climits>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

using namespace testtree;

namespace {

// Shaped like the kernel's table: optional fields of varying number before the "-", octal
// escapes in paths, and lines that do not fit.
const char* const CraftedMountInfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "23 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "24 22 0:6 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000k\n"
    "30 22 8:17 / /media/u/My\\040Stick rw,nosuid,nodev shared:40 master:3 - vfat "
    "/dev/sdb1 rw,uid=1000\n"
    "31 22 0:50 / /home rw,relatime - nfs4 server:/export/home rw,vers=4.2\n"
    "this line is damaged\n"
    "32 22 0:51 / /broken rw,relatime shared:9 no separator here\n"
    "33 22 8:3 /sub /home/u/tab\\011and\\134back rw - ext4 /dev/sda3 rw\n"
    "34 31 0:52 / /home/u/remote rw - fuse.sshfs user@host:/ rw\n"
    "35 22 0:6 / /dev rw - tmpfs tmpfs rw"; // a later mount hides an earlier one

} // namespace

TEST(MountTableTest, ParsesFieldsAndSkipsDamagedLines) {
    std::vector<MountEntry> mounts = ParseMountInfo(CraftedMountInfo);
    ASSERT_EQ(mounts.size(), 8u);
    EXPECT_EQ(mounts[0].MountPoint, "/");
    EXPECT_EQ(mounts[0].FsType, "ext4");
    EXPECT_EQ(mounts[0].Source, "/dev/sda2");
    EXPECT_EQ(mounts[0].Major, 8u);
    EXPECT_EQ(mounts[0].Minor, 2u);
    EXPECT_EQ(mounts[3].MountPoint, "/media/u/My Stick");
    EXPECT_EQ(mounts[3].FsType, "vfat");
    EXPECT_EQ(mounts[3].Minor, 17u);
    EXPECT_EQ(mounts[5].MountPoint, "/home/u/tab\tand\\back");
    EXPECT_EQ(mounts[7].FsType, "tmpfs") << "a last line without a newline counts";
}

TEST(MountTableTest, UnescapesOnlyOctalEscapes) {
    EXPECT_EQ(UnescapeMountField("a\\040b\\012c"), "a b\nc");
    EXPECT_EQ(UnescapeMountField("end\\04"), "end\\04");
    EXPECT_EQ(UnescapeMountField("x\\9yz"), "x\\9yz");
    EXPECT_EQ(UnescapeMountField("\\134\\134"), "\\\\");
}

TEST(MountTableTest, FindsTheLongestMountPointHoldingAPath) {
    std::vector<MountEntry> mounts = ParseMountInfo(CraftedMountInfo);
    EXPECT_EQ(FindMountPointFor(mounts, "/"), "/");
    EXPECT_EQ(FindMountPointFor(mounts, "/home"), "/home");
    EXPECT_EQ(FindMountPointFor(mounts, "/home/u/docs"), "/home");
    EXPECT_EQ(FindMountPointFor(mounts, "/homework"), "/") << "a prefix is not a parent";
    EXPECT_EQ(FindMountPointFor(mounts, "/home/u/remote/x"), "/home/u/remote");
    EXPECT_EQ(FindMountPointFor(mounts, "/media/u/My Stick/film.mkv"), "/media/u/My Stick");
    EXPECT_EQ(FindMountPointFor({}, "/anything"), "");
}

TEST(MountTableTest, KnowsFileSystemKinds) {
    std::vector<MountEntry> mounts = ParseMountInfo(CraftedMountInfo);
    EXPECT_EQ(FindFsTypeOfDevice(mounts, makedev(0, 6)), "tmpfs");
    EXPECT_EQ(FindFsTypeOfDevice(mounts, makedev(0, 21)), "proc");
    EXPECT_EQ(FindFsTypeOfDevice(mounts, makedev(9, 9)), "");

    for (const char* type : {"proc", "sysfs", "devtmpfs", "cgroup2", "autofs", "nsfs"}) {
        EXPECT_TRUE(IsPseudoFsType(type)) << type;
    }
    for (const char* type : {"ext4", "tmpfs", "btrfs", "nfs", ""}) {
        EXPECT_FALSE(IsPseudoFsType(type)) << type;
    }
    EXPECT_TRUE(IsPseudoFsMagic(0x9fa0));
    EXPECT_TRUE(IsPseudoFsMagic(0xffffffff62656572UL)) << "sign-extended sysfs magic";
    EXPECT_FALSE(IsPseudoFsMagic(0xEF53)) << "ext4";
    EXPECT_FALSE(IsPseudoFsMagic(0x01021994)) << "tmpfs holds real files";

    for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "sshfs", "fuse.sshfs", "9p", "ceph",
                             "afs", "glusterfs", "fuse.rclone"}) {
        EXPECT_TRUE(IsNetworkFsType(type)) << type;
    }
    for (const char* type : {"ext4", "vfat", "fuse", "fuseblk", "fuse.ntfs-3g", "tmpfs", ""}) {
        EXPECT_FALSE(IsNetworkFsType(type)) << type;
    }
}

TEST(VolumeTest, LabelIsTheMountPointHoldingTheRoot) {
    EXPECT_EQ(VolumeLabelFor("/"), "/");
    ScratchFolder folder;
    const std::string label = VolumeLabelFor(folder.Path());
    ASSERT_FALSE(label.empty());
    EXPECT_EQ(label[0], '/');
    char* resolved = realpath(folder.Path().c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    const std::string real = resolved;
    std::free(resolved);
    EXPECT_TRUE(label == "/" || real.compare(0, label.size() + 1, label + "/") == 0)
        << label << " does not hold " << real;
    // A folder that does not exist (yet) belongs to the volume of the folder above it.
    EXPECT_EQ(VolumeLabelFor(folder / "not/there"), label);
    // A link leads to the volume of its target.
    MakeLink("/", folder / "toroot");
    EXPECT_EQ(VolumeLabelFor(folder / "toroot"), VolumeLabelFor("/"));
}

TEST(VolumeTest, SpaceMatchesTheFileSystemAndFailsForAMissingPath) {
    ScratchFolder folder;
    EXPECT_EQ(VolumeRootFor(folder.Path()), folder.Path());
    VolumeSpace space = QueryVolumeSpace(folder.Path());
    struct statvfs info;
    ASSERT_EQ(statvfs(folder.Path().c_str(), &info), 0);
    ASSERT_TRUE(space.Ok);
    EXPECT_EQ(space.TotalBytes, std::uint64_t(info.f_blocks) * info.f_frsize);
    EXPECT_GE(space.TotalBytes, space.FreeBytes);
    // Free space changes with other programs' writes: compare within a margin.
    const std::uint64_t free = std::uint64_t(info.f_bfree) * info.f_frsize;
    const std::uint64_t difference =
        space.FreeBytes > free ? space.FreeBytes - free : free - space.FreeBytes;
    EXPECT_LE(difference, std::uint64_t(64) << 20);

    VolumeSpace missing = QueryVolumeSpace(folder / "missing");
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.TotalBytes, 0u);
    EXPECT_EQ(missing.FreeBytes, 0u);
    EXPECT_FALSE(QueryVolumeSpace("").Ok);
}

TEST(VolumeTest, FileExistsOnlyForFiles) {
    ScratchFolder folder;
    MakeFile(folder / "file.txt", 5);
    MakeFile(folder / "old.txt", 5);
    struct timespec times[2] = {{-1000000000, 0}, {-1000000000, 0}};
    utimensat(AT_FDCWD, (folder / "old.txt").c_str(), times, 0);
    MakeLink("file.txt", folder / "link");
    MakeLink("nowhere", folder / "broken");
    MakeFolder(folder / "sub");

    EXPECT_TRUE(FileExists(folder / "file.txt"));
    EXPECT_TRUE(FileExists(folder / "old.txt")) << "a file of any date counts";
    EXPECT_TRUE(FileExists(folder / "link"));
    EXPECT_FALSE(FileExists(folder / "broken"));
    EXPECT_FALSE(FileExists(folder / "sub"));
    EXPECT_FALSE(FileExists(folder / "missing"));
    EXPECT_FALSE(FileExists(""));
}

TEST(VolumeTest, FilesDeeperThanPathMaxAreFound) {
    constexpr int Levels = 400;
    const std::string name = "a_rather_long_folder_name";
    ScratchFolder folder;
    MakeDeepChain(folder.Path(), Levels, name);
    std::string deepest = folder.Path();
    for (int level = 0; level < Levels; ++level) {
        deepest += "/" + name;
    }
    ASSERT_GT(deepest.size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_TRUE(FileExists(deepest + "/f"));
    EXPECT_FALSE(FileExists(deepest));
    EXPECT_FALSE(FileExists(deepest + "/missing"));
    EXPECT_NE(QueryDriveTypeOfFile(deepest + "/f"), DriveType::Unknown);
}

TEST(VolumeTest, DriveTypeOfAFileIsKnownAndStable) {
    ScratchFolder folder;
    MakeFile(folder / "file.txt", 5);
    const DriveType first = QueryDriveTypeOfFile(folder / "file.txt");
    EXPECT_TRUE(first == DriveType::Fixed || first == DriveType::Removable ||
                first == DriveType::Network)
        << static_cast<int>(first);
    EXPECT_EQ(QueryDriveTypeOfFile(folder / "file.txt"), first);
    EXPECT_EQ(QueryDriveTypeOfFile(folder / "missing"), DriveType::Unknown);
    if (access("/proc/self/mountinfo", R_OK) == 0) {
        // Files in /proc lie on no block device and on no server.
        EXPECT_EQ(QueryDriveTypeOfFile("/proc/self/status"), DriveType::Fixed);
    }
}
