// The POSIX folder source opens, lists and looks at folders as the system has them: the walk
// and its workers see the tree only through it, so what it says of each kind of entry, of
// links, of deep trees and of a process out of descriptors is what the walk decides on.
#include "TestTree.h"

#include <gtest/gtest.h>

#include "platform/posix/PosixFolderSource.h"

#include <climits>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <tuple>

using namespace testtree;

namespace {

using Names = std::multiset<std::string>;
using Kind = EntryFacts::Kind;

Names ReadAllNames(SourceFolder& folder) {
    Names names;
    for (std::string_view name = folder.ReadName(); !name.empty(); name = folder.ReadName()) {
        // NUL-terminated right after the view, for the system calls on it.
        EXPECT_EQ(name.data()[name.size()], '\0');
        names.emplace(name);
    }
    return names;
}

NodeIdentity IdentityOfPath(const std::string& path) {
    struct stat st;
    Check(lstat(path.c_str(), &st) == 0, path);
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string RealPathByLibc(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    Check(resolved != nullptr, "realpath " + path);
    std::string real = resolved;
    std::free(resolved);
    return real;
}

// What LookAt says of `name` that the walk decides on, to compare at once.
auto FactsOf(SourceFolder& folder, const char* name) {
    EntryFacts facts;
    EXPECT_EQ(folder.LookAt(name, facts), LookResult::Looked) << name;
    return std::tuple(facts.Type, facts.SizeBytes, facts.Identity, facts.TargetIsFolder,
                      facts.TargetIdentity);
}

// Sets the open-file limit `free` descriptors above those the process has open. They are
// counted without opening one: at a limit already reached, listing /proc/self/fd would fail.
bool LeaveDescriptorsFree(long free) {
    long open = 0;
    for (int fd = 0; fd < 4096; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            ++open;
        }
    }
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return false;
    }
    limit.rlim_cur = static_cast<rlim_t>(open + free);
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

// Run in a child process as an unprivileged user, with a lowered open-file limit: the test
// process keeps its rights and its limit. 0 when every check holds, else the first failed.
int CheckRefusalsAndShortage(const std::string& root) {
    const gid_t nobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
                           setresuid(nobody, nobody, nobody) != 0)) {
        return 1;
    }
    PosixFolderSource source;
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<SourceFolder> top = source.OpenPath(root, false, failure);
    if (!top || top->OpenBelow("closed", false, failure) || failure != OpenFailure::Unreadable) {
        return 2;
    }
    // Names that can be read but not looked at leave the folder not read completely.
    std::unique_ptr<SourceFolder> listOnly = top->OpenBelow("listOnly", false, failure);
    EntryFacts facts;
    if (!listOnly || ReadAllNames(*listOnly) != Names{"inside"} ||
        listOnly->LookAt("inside", facts) != LookResult::Failed) {
        return 3;
    }
    // A limit that cannot be set fails the check.
    const HandleAllowance none = LeaveDescriptorsFree(0) ? source.Allowance() : HandleAllowance{1};
    if (none.WalkFolders != 0 || none.WorkerFolders != 0) {
        return 4;
    }
    // What the walk and its workers get can all be opened, with the reserve left after it.
    const HandleAllowance few = LeaveDescriptorsFree(16 + 8) ? source.Allowance() : none;
    if (few.WalkFolders < 1 || few.WorkerFolders < 1 || few.WalkFolders + few.WorkerFolders > 8) {
        return 5;
    }
    std::unique_ptr<SourceFolder> unread = source.OpenPath(root, false, failure);
    std::vector<std::unique_ptr<SourceFolder>> held;
    while (held.size() < 1000 && (held.empty() || held.back())) {
        held.push_back(top->OpenBelow("sub", false, failure));
    }
    held.pop_back();
    if (held.size() < static_cast<std::size_t>(few.WalkFolders + few.WorkerFolders + 15) ||
        failure != OpenFailure::OutOfHandles) {
        return 6;
    }
    // Every way of opening says so, so that the walk frees a descriptor of its own instead of
    // taking the folder for unreadable; what needs no new descriptor still works.
    if (source.OpenPath(root, false, failure) || failure != OpenFailure::OutOfHandles ||
        held.back()->OpenAbove(failure) || failure != OpenFailure::OutOfHandles ||
        top->LookAt("sub", facts) != LookResult::Looked || ReadAllNames(*unread).size() != 3) {
        return 7;
    }
    held.pop_back();
    return top->OpenBelow("sub", false, failure) && failure == OpenFailure::None ? 0 : 8;
}

} // namespace

TEST(PosixFolderSourceTest, ListsOnceLooksAtEveryKindAndOpensOnlyWhatItMay) {
    ScratchFolder scratch;
    const std::string file = scratch / "file", folder = scratch / "folder";
    MakeFile(file, 12345);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
    Check(utimensat(AT_FDCWD, file.c_str(), times, 0) == 0, "utimensat");
    Check(link(file.c_str(), (scratch / "hard").c_str()) == 0, "link");
    MakeFolder(folder);
    MakeFile(JoinPath(folder, "inner"));
    MakeLink("folder", scratch / "toFolder");
    MakeLink("file", scratch / "toFile");
    MakeLink("nowhere", scratch / "broken");
    MakeFile(scratch / "gone");
    Names all = {"broken", "file", "folder", "gone", "hard", "toFile", "toFolder"};

    PosixFolderSource source;
    OpenFailure failure = OpenFailure::OutOfHandles;
    std::unique_ptr<SourceFolder> root = source.OpenPath(scratch.Path(), false, failure);
    ASSERT_TRUE(root);
    EXPECT_EQ(failure, OpenFailure::None);
    EXPECT_EQ(root->Identity(), IdentityOfPath(scratch.Path()));
    EXPECT_EQ(ReadAllNames(*root), all);
    EXPECT_FALSE(root->ReadFailed());
    EXPECT_TRUE(root->ReadName().empty()) << "the end of a listing stays its end";

    Check(unlink((scratch / "gone").c_str()) == 0, "unlink");
    EntryFacts facts;
    EXPECT_EQ(root->LookAt("gone", facts), LookResult::Vanished);
    ASSERT_EQ(root->LookAt("file", facts), LookResult::Looked);
    EXPECT_EQ(std::tuple(facts.LastWriteTime, facts.LinkCount), std::tuple(1'000'000'000, 2u));
    const NodeIdentity none{};
    // Folders and links weigh nothing: a link's st_size is the length of its target's name.
    EXPECT_EQ(FactsOf(*root, "file"),
              std::tuple(Kind::File, 12345u, IdentityOfPath(file), false, none));
    EXPECT_EQ(FactsOf(*root, "folder"),
              std::tuple(Kind::Folder, 0u, IdentityOfPath(folder), false, none));
    EXPECT_EQ(FactsOf(*root, "toFolder"),
              std::tuple(Kind::Link, 0u, IdentityOfPath(scratch / "toFolder"), true,
                         IdentityOfPath(folder)));
    EXPECT_EQ(FactsOf(*root, "toFile"),
              std::tuple(Kind::Link, 0u, IdentityOfPath(scratch / "toFile"), false,
                         IdentityOfPath(file)));
    EXPECT_EQ(FactsOf(*root, "broken"),
              std::tuple(Kind::Link, 0u, IdentityOfPath(scratch / "broken"), false, none));
    root->Rewind();
    all.erase("gone");
    EXPECT_EQ(ReadAllNames(*root), all);

    // A link is opened only where the walk follows it; a file never is.
    EXPECT_FALSE(root->OpenBelow("toFolder", false, failure));
    EXPECT_EQ(failure, OpenFailure::Unreadable);
    EXPECT_FALSE(root->OpenBelow("file", true, failure));
    EXPECT_FALSE(source.OpenPath(scratch / "toFolder", false, failure));
    EXPECT_TRUE(source.OpenPath(scratch / "toFolder", true, failure));
    std::unique_ptr<SourceFolder> viaLink = root->OpenBelow("toFolder", true, failure);
    ASSERT_TRUE(viaLink);
    EXPECT_EQ(viaLink->Identity(), IdentityOfPath(folder));
    EXPECT_EQ(ReadAllNames(*viaLink), Names{"inner"});
    EXPECT_EQ(viaLink->RealPath(), RealPathByLibc(folder));
    EXPECT_EQ(source.RealPathOf(scratch / "toFolder"), RealPathByLibc(folder));
    std::unique_ptr<SourceFolder> above = viaLink->OpenAbove(failure);
    ASSERT_TRUE(above);
    EXPECT_EQ(above->Identity(), root->Identity());

    // The workers list and look on their own threads, each with its own reading buffers.
    auto listAndLook = [&] {
        for (int round = 0; round < 50; ++round) {
            OpenFailure threadFailure;
            std::unique_ptr<SourceFolder> again = source.OpenPath(folder, false, threadFailure);
            ASSERT_TRUE(again);
            EntryFacts threadFacts;
            ASSERT_EQ(again->ReadName(), "inner");
            ASSERT_EQ(again->LookAt("inner", threadFacts), LookResult::Looked);
        }
    };
    std::thread first(listAndLook), second(listAndLook);
    first.join();
    second.join();
}

TEST(PosixFolderSourceTest, OpensPathsLongerThanPathMaxAndKnowsItsDevices) {
    ScratchFolder scratch;
    const std::string name = "a-folder-name-of-exactly-forty-bytes-abc";
    const int levels = PATH_MAX / 40 + 20;
    MakeDeepChain(scratch.Path(), levels, name);
    std::string relative = name;
    for (int level = 1; level < levels; ++level) {
        relative += "/" + name;
    }
    PosixFolderSource source;
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<SourceFolder> root = source.OpenPath(scratch.Path(), false, failure);
    ASSERT_TRUE(root);
    std::unique_ptr<SourceFolder> deepest = root->OpenBelow(relative, false, failure);
    ASSERT_TRUE(deepest);
    EXPECT_EQ(std::get<1>(FactsOf(*deepest, "f")), static_cast<std::uint64_t>(levels));
    std::unique_ptr<SourceFolder> byWholePath = source.OpenPath(scratch / relative, false, failure);
    ASSERT_TRUE(byWholePath);
    EXPECT_EQ(byWholePath->Identity(), deepest->Identity());
    // A part of the walk's longer path, not NUL-terminated after it.
    const std::string_view upper(relative.data(), relative.size() - name.size() - 1);
    std::unique_ptr<SourceFolder> parent = root->OpenBelow(upper, false, failure);
    std::unique_ptr<SourceFolder> above = deepest->OpenAbove(failure);
    ASSERT_TRUE(parent && above);
    EXPECT_EQ(above->Identity(), parent->Identity());
    EXPECT_EQ(std::get<1>(FactsOf(*parent, "f")), static_cast<std::uint64_t>(levels - 1));
    // Named by the kernel, or not at all: never a cut-off path.
    const std::string real = deepest->RealPath();
    EXPECT_TRUE(real.empty() || real == RealPathByLibc(scratch.Path()) + "/" + relative);
    std::unique_ptr<SourceFolder> top = source.OpenPath("/", false, failure);
    std::unique_ptr<SourceFolder> aboveTop = top->OpenAbove(failure);
    ASSERT_TRUE(aboveTop);
    EXPECT_EQ(aboveTop->Identity(), top->Identity()) << "the top's \"..\" is itself";

    std::unique_ptr<SourceFolder> proc = source.OpenPath("/proc", false, failure);
    ASSERT_TRUE(proc);
    EXPECT_TRUE(proc->IsOnPseudoFileSystem());
    EXPECT_FALSE(root->IsOnPseudoFileSystem());
    EXPECT_TRUE(source.IsPseudoFileSystemDevice(proc->Identity().Device));
    const std::uint64_t scratchDevice = root->Identity().Device;
    EXPECT_FALSE(source.IsPseudoFileSystemDevice(scratchDevice));
    EXPECT_EQ(source.NetworkMountsIn(RealPathByLibc(scratch.Path())), nullptr);
    for (const std::string& holding : source.FoldersHoldingNetworkMounts()) {
        const std::vector<NamedMount>* mounts = source.NetworkMountsIn(holding);
        ASSERT_TRUE(mounts != nullptr && !mounts->empty()) << holding;
        EXPECT_EQ(source.NetworkMountsIn(holding), mounts) << "converted once, kept";
    }
    source.Devices().AssumeType(static_cast<dev_t>(scratchDevice), DriveType::Network,
                                "fuse.gvfsd-fuse");
    EXPECT_EQ(source.DriveTypeOfDevice(scratchDevice), DriveType::Network);
    EXPECT_TRUE(source.IsFolderOfDrives(scratchDevice));
    EXPECT_FALSE(source.IsFolderOfDrives(proc->Identity().Device));
}

TEST(PosixFolderSourceTest, SaysUnreadableWhereRefusedAndOutOfHandlesWhereNoneAreLeft) {
    // Reachable by the unprivileged user the check runs as: permission bits do not stop root.
    ScratchFolder scratch("/tmp");
    Check(chmod(scratch.Path().c_str(), 0755) == 0, "chmod");
    MakeFolder(scratch / "sub");
    MakeFolder(scratch / "listOnly");
    MakeFile(JoinPath(scratch / "listOnly", "inside"));
    Check(chmod((scratch / "listOnly").c_str(), 0444) == 0, "chmod");
    MakeFolder(scratch / "closed", 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(CheckRefusalsAndShortage(scratch.Path()));
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the check of that number failed in the child";
}
