#include "WalkedTree.h"

#include "walk/MachineLoad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <set>
#include <sstream>

namespace {

using namespace walktest;

// What a scan counts of a walk: all but the folders not entered. A link in a folder read
// whole (deeper than the walk's handles reach) is decided when the folder is read, before the
// walk may have entered its target by another way: then it is delivered and not entered,
// where a folder read as the walk goes leaves it out.
Lines Counted(const Lines& delivered) {
    Lines counted;
    std::copy_if(delivered.begin(), delivered.end(), std::back_inserter(counted),
                 [](const std::string& line) { return !line.ends_with(" NotEntered"); });
    return counted;
}

// What other programs use of the processors, as the walk's looks at the load find it: busy
// is every processor of a machine of 64, quiet is none. Switched while a walk runs.
enum class Load { Busy, Quiet };
std::atomic<Load> currentLoad{Load::Quiet};

ProcessorTimes TimesOfCurrentLoad() {
    if (currentLoad != Load::Busy) {
        return ProcessorTimes{1, 0};
    }
    return ProcessorTimes{64 * std::chrono::steady_clock::now().time_since_epoch().count(), 0};
}

int RunnableOfCurrentLoad() {
    return currentLoad == Load::Busy ? 1000 : 1;
}

void UseLoad(Load load) {
    currentLoad = load;
    MachineLoad::UseReader({TimesOfCurrentLoad, RunnableOfCurrentLoad});
}

class FolderWalkCoreTest : public ::testing::Test {
protected:
    // The walk is the same on any machine: the workers read ahead whatever else runs beside
    // the tests, unless a test says the machine is busy.
    void SetUp() override {
        MachineLoad::UseReader({[] { return ProcessorTimes{}; }, [] { return 1; }});
    }
    // A call that still waits for the fake's file system would hold its thread for good.
    void TearDown() override {
        source->ReleaseBlocked();
        MachineLoad::UseReader({});
    }

    std::shared_ptr<FakeFolderSource> source = std::make_shared<FakeFolderSource>();
};

} // namespace

TEST_F(FolderWalkCoreTest, DeliversEveryEntryOnceDepthFirstInListingOrderWithAnyThreads) {
    source->AddFile("/r/b.txt", 3, 1700000000);
    source->AddFile("/r/a/x", 1);
    source->AddFile("/r/a/y/z", 2);
    source->AddFile("/r/c.txt", 5);
    source->AddFolder("/r/e");
    const Walked small = WalkAll(source, "/r", 1);
    EXPECT_EQ(small.Delivered, LinesOf(R"(file /r/b.txt 3; folder /r/a; file /r/a/x 1
folder /r/a/y; file /r/a/y/z 2; file /r/c.txt 5; folder /r/e)"));
    const DirectoryEntry& file = small.Files.at("/r/b.txt");
    EXPECT_EQ(file.LastWriteTime, 1700000000);
    EXPECT_EQ(file.Drive, DriveType::Fixed);
    EXPECT_EQ(file.LinkCount, 1u);
    EXPECT_NE(file.FileNumber, small.Files.at("/r/c.txt").FileNumber);

    AddTree(*source, "/big", 4, 5, 4);
    const Walked one = WalkAll(source, "/big", 1);
    EXPECT_EQ(one.Delivered.size(), 5u + 25 + 125 + 4 * (1 + 5 + 25 + 125));
    EXPECT_EQ(std::set(one.Delivered.begin(), one.Delivered.end()).size(), one.Delivered.size());
    // Without workers every folder is opened once, by the walk.
    for (const std::string& line : one.Delivered) {
        if (line.starts_with("folder ")) {
            EXPECT_EQ(source->OpenCount(line.substr(7)), 1) << line;
        }
    }
    for (int threads : {2, 4, 16}) {
        EXPECT_EQ(FirstDifference(WalkAll(source, "/big", threads).Delivered, one.Delivered), "")
            << threads << " threads";
    }
    // With workers too every entry is looked at once, those of the root included: the
    // worker's reading that shows the root's file system answers is the walk's as well.
    AddTree(*source, "/once", 3, 4, 3);
    for (const std::string& line : WalkAll(source, "/once", 2).Delivered) {
        std::istringstream words(line);
        std::string kind, path;
        words >> kind >> path;
        EXPECT_EQ(source->LookCount(path), 1) << line;
    }
    // A walk opened again from its root, once every folder is left, walks it all again.
    FolderWalk again(source, "/big", 4);
    for (int round = 0; round < 2; ++round) {
        Walked walked;
        WalkFromRoot(again, walked);
        EXPECT_EQ(FirstDifference(walked.Delivered, one.Delivered), "") << "round " << round;
    }
    EXPECT_TRUE(AllClosed(*source));
}

TEST_F(FolderWalkCoreTest, FollowsLinksOutOfTheTreeOnceAndListsEveryFileOnce) {
    source->AddFile("/p/beside.bin", 11);
    source->AddFolder("/p/root");
    source->AddFile("/p/shared/s.bin", 16);
    source->AddLink("/p/shared/loop", "/p/shared");
    source->AddFile("/p/shared/inner/i.bin", 17);
    source->AddLink("/p/root/toinner", "/p/shared/inner");
    source->AddFile("/p/root/own.bin", 12);
    source->AddFile("/p/root/real/f.bin", 13);
    source->AddFile("/p/root/real/sub/g.bin", 14);
    source->AddLink("/p/root/real/sub/up", "../..");
    source->AddLink("/p/root/toreal", "real");
    source->AddLink("/p/root/out1", "/p/shared");
    source->AddLink("/p/root/out2", "../shared");
    source->AddLink("/p/root/above", "/p");
    source->AddLink("/p/root/tofile", "own.bin");
    source->AddLink("/p/root/broken", "/p/nowhere");
    source->AddFile("/p/root/hard1", 15);
    source->AddHardLink("/p/shared/hard2", "/p/root/hard1");
    // Links the walk does not follow (into the tree, round a cycle, to a folder reached
    // already) are not delivered; a real folder reached a second time is, not entered.
    const Lines expected = LinesOf(R"(
folder /p/root/toinner; file /p/root/toinner/i.bin 17; file /p/root/own.bin 12
folder /p/root/real; file /p/root/real/f.bin 13
folder /p/root/real/sub; file /p/root/real/sub/g.bin 14
folder /p/root/out1; file /p/root/out1/s.bin 16; folder /p/root/out1/inner NotEntered
file /p/root/out1/hard2 15
folder /p/root/above; file /p/root/above/beside.bin 11
folder /p/root/above/root NotEntered; folder /p/root/above/shared NotEntered
file /p/root/tofile 0; file /p/root/broken 0; file /p/root/hard1 15)");
    for (int threads : {1, 4}) {
        const Walked walked = WalkAll(source, "/p/root", threads);
        ASSERT_EQ(walked.Delivered, expected) << threads << " threads";
        const DirectoryEntry& first = walked.Files.at("/p/root/hard1");
        const DirectoryEntry& second = walked.Files.at("/p/root/out1/hard2");
        EXPECT_EQ(first.LinkCount, 2u);
        EXPECT_EQ(second.LinkCount, 2u);
        EXPECT_EQ(first.Device, second.Device);
        EXPECT_EQ(first.FileNumber, second.FileNumber);
    }
}

TEST_F(FolderWalkCoreTest, LeavesOutOtherDrivesAndPseudoFileSystemsWithoutTouchingShares) {
    source->AddFile("/r/file", 1);
    source->AddMount("/r/usb", DriveType::Removable);
    source->AddFile("/r/usb/u.bin", 2);
    source->AddMount("/r/net", DriveType::Network);
    source->AddFile("/r/net/n.bin", 3);
    // A share whose server is gone: whoever touches it waits.
    source->AddNamedNetworkMount("/r/share");
    source->AddFile("/r/share/s.bin", 4);
    source->BlockFolder("/r/share", Block::Open);
    source->BlockFolder("/r/share", Block::Look);
    source->AddMount("/r/local", DriveType::Fixed);
    source->AddFile("/r/local/l.bin", 5);
    source->AddPseudoMount("/r/proc");
    source->AddFile("/r/proc/p", 6);
    source->AddFolderOfDrives("/r/gvfs");
    source->AddFolderOfDrives("/r/gvfs2");
    source->AddFile("/r/gvfs2/sftp:host=far/x", 7);
    for (int threads : {1, 4}) {
        const Walked walked = WalkAll(source, "/r", threads);
        EXPECT_EQ(walked.Delivered, LinesOf(R"(
file /r/file 1; folder /r/usb OtherDrive; folder /r/net OtherDrive
folder /r/share OtherDrive; folder /r/local; file /r/local/l.bin 5
folder /r/proc NotEntered; folder /r/gvfs NotEntered; folder /r/gvfs2 OtherDrive)"))
            << threads << " threads";
    }
    for (const char* unopened : {"/r/usb", "/r/net", "/r/share", "/r/proc"}) {
        EXPECT_EQ(source->OpenCount(unopened), 0) << unopened;
    }
    EXPECT_EQ(source->LookCount("/r/share"), 0);
    EXPECT_EQ(source->BlockedNow(), 0);

    // A root on a network share is walked, its own share looked at as usual.
    source->AddNamedNetworkMount("/n");
    source->AddFile("/n/y.bin", 8);
    source->AddFile("/n/sub/x.bin", 9);
    for (int threads : {1, 16}) {
        const Walked walked = WalkAll(source, "/n", threads);
        EXPECT_EQ(walked.Delivered, LinesOf("file /n/y.bin 8; folder /n/sub; file /n/sub/x.bin 9"));
        EXPECT_EQ(walked.Files.at("/n/sub/x.bin").Drive, DriveType::Network);
    }
}

TEST_F(FolderWalkCoreTest, HandleBudgetOfAnySizeKeepsTheExactList) {
    // Deeper than any limit below, and wider.
    std::string folder = "/deep";
    for (int level = 0; level < 30; ++level, folder += "/d") {
        source->AddFile(folder + "/a" + std::to_string(level), 1);
        source->AddFile(folder + "/side/s", 2);
        source->AddFile(folder + "/d/z", 3);
        if (level % 7 == 3) {
            // Links checked by climbing from their targets, which costs handles too.
            source->AddLink(folder + "/up", "../..");
            source->AddLink(folder + "/out", "/outside");
        }
    }
    source->AddFile("/outside/o/x", 4);
    source->AddLink("/outside/back", "/deep/d/d");
    AddTree(*source, "/wide", 2, 40, 3);
    struct Budget {
        int Walk, Workers, Limit;
    };
    // The first two overstate what the system lets the process open.
    std::vector<Budget> budgets = {{16, 16, 2}, {64, 64, 3}};
    for (int walkHandles : {0, 1, 2, 5}) {
        for (int workerHandles : {0, 1, 3}) {
            budgets.push_back({walkHandles, workerHandles, walkHandles + workerHandles + 2});
        }
    }
    for (const char* root : {"/deep", "/wide"}) {
        const Lines reference = Counted(WalkAll(source, root, 1).Delivered);
        for (const Budget& budget : budgets) {
            source->SetAllowance({budget.Walk, budget.Workers});
            for (int threads : {1, 2, 4, 16}) {
                for (int limit : {-1, budget.Limit}) {
                    std::ostringstream what;
                    what << root << " walk " << budget.Walk << " workers " << budget.Workers
                         << " limit " << limit << ", " << threads << " threads";
                    source->SetHandleLimit(limit);
                    source->TakeMostOpenFolders();
                    source->TakeMostOpenByWorkers();
                    EXPECT_EQ(FirstDifference(Counted(WalkAll(source, root, threads).Delivered),
                                              reference),
                              "")
                        << what.str();
                    EXPECT_TRUE(AllClosed(*source)) << what.str();
                    // Without a limit the walk keeps to its allowance and a few of its own
                    // for the moment (up to four while it climbs from a link's target).
                    const int mostOpen = source->TakeMostOpenFolders();
                    EXPECT_TRUE(budget.Walk + budget.Workers >= budget.Limit ||
                                mostOpen <= budget.Limit + 2)
                        << what.str() << ": " << mostOpen << " open at once";
                    // The workers keep to their share, beside the one folder a worker touches
                    // for the walk where a file system may not answer (the root, a link).
                    const int byWorkers = source->TakeMostOpenByWorkers();
                    EXPECT_TRUE(budget.Walk + budget.Workers >= budget.Limit ||
                                byWorkers <= budget.Workers + 1)
                        << what.str() << ": " << byWorkers << " open by workers at once";
                }
            }
        }
    }
    EXPECT_GT(source->OutOfHandlesCount(), 0) << "the limits never bit";
}

TEST_F(FolderWalkCoreTest, FolderThatDoesNotAnswerIsLeftOutAndAStopEndsTheWaitAtOnce) {
    source->AddFile("/r/a/1", 1);
    source->AddMount("/r/hung", DriveType::Fixed);
    source->AddFile("/r/hung/h", 2);
    source->BlockFolder("/r/hung", Block::Open);
    source->AddFile("/r/b/2", 3);
    source->AddFile("/r/c", 4);
    int hookCalls = 0;
    {
        FolderWalk walk(source, "/r", 4);
        walk.SetWaitHook([&] { return ++hookCalls > 0; });
        Walked walked;
        WalkFromRoot(walk, walked);
        EXPECT_EQ(walked.Delivered, LinesOf(R"(folder /r/a; file /r/a/1 1
folder /r/hung NoAnswer; folder /r/b; file /r/b/2 3; file /r/c 4)"));
        EXPECT_GT(hookCalls, 0);
        EXPECT_EQ(source->BlockedNow(), 1);
    }
    EXPECT_EQ(source->BlockedNow(), 1) << "the walk's end waited for a stuck worker";

    // With workers the window is heard between the steps of opening the root, where a hook
    // that says stop does not end the opening; a walk without workers never calls it.
    int openingCalls = 0;
    FolderWalk alone(source, "/r", 1);
    alone.SetWaitHook([&] { return ++openingCalls < 0; });
    ASSERT_EQ(alone.OpenRoot(), FolderSkip::None);
    EXPECT_EQ(openingCalls, 0);
    alone.Leave();
    FolderWalk walk(source, "/r", 4);
    walk.SetWaitHook([&] { return ++openingCalls < 0; });
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    EXPECT_GE(openingCalls, 4);
    DirectoryEntry entry;
    ASSERT_TRUE(walk.Next(entry));
    ASSERT_TRUE(walk.Next(entry));
    ASSERT_EQ(entry.Name, "hung");
    EXPECT_EQ(walk.Enter(), FolderSkip::NotEntered);
    // The worker sent there is stuck in it still: the walk did not wait for its answer.
    EXPECT_TRUE(source->WaitUntilBlocked(2, std::chrono::seconds(5)));
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.Name, "b");
    walk.Leave();

    // A root that does not answer: a stop comes before anything is listed.
    FolderWalk stuckRoot(source, "/r/hung", 4);
    stuckRoot.SetWaitHook([] { return false; });
    EXPECT_EQ(stuckRoot.OpenRoot(), FolderSkip::NotEntered);
    EXPECT_EQ(stuckRoot.Depth(), 0);
    EXPECT_EQ(source->WalkThreadBlocks(), 0);
}

TEST_F(FolderWalkCoreTest, ShareThatDoesNotAnswerReachedThroughLinksHoldsUpNoWalk) {
    source->AddFile("/r/a", 1);
    source->AddMount("/far/hung", DriveType::Fixed);
    source->AddFile("/far/hung/h", 2);
    source->AddNamedNetworkMount("/far/share");
    source->AddFile("/far/share/s", 5);
    source->AddFile("/far/f", 3);
    // Opening them, looking at them, following a link to them: each waits for good.
    for (const char* hung : {"/far/hung", "/far/share"}) {
        source->BlockFolder(hung, Block::Open);
        source->BlockFolder(hung, Block::Look);
    }
    source->AddLink("/r/tohung", "/far/hung");
    source->AddLink("/r/toparent", "/far");
    source->AddFile("/r/z", 4);
    const Walked walked = WalkAll(source, "/r", 4);
    EXPECT_EQ(walked.Delivered, LinesOf(R"(file /r/a 1; folder /r/tohung NoAnswer
folder /r/toparent; folder /r/toparent/hung NoAnswer; folder /r/toparent/share OtherDrive
file /r/toparent/f 3; file /r/z 4)"));
    EXPECT_EQ(source->WalkThreadBlocks(), 0);
    // The mount table names the share, wherever the walk comes from: no worker is needed.
    source->AddNamedNetworkMount("/far2/share");
    source->BlockFolder("/far2/share", Block::Open);
    source->BlockFolder("/far2/share", Block::Look);
    source->AddFile("/far2/g", 6);
    source->AddLink("/r2/toparent", "/far2");
    EXPECT_EQ(WalkAll(source, "/r2", 1).Delivered,
              LinesOf("folder /r2/toparent; folder /r2/toparent/share OtherDrive; file "
                      "/r2/toparent/g 6"));
    for (const char* share : {"/far/share", "/far2/share"}) {
        EXPECT_EQ(source->LookCount(share), 0) << share;
        EXPECT_EQ(source->OpenCount(share), 0) << share;
    }
    EXPECT_EQ(source->WalkThreadBlocks(), 0);
}

TEST_F(FolderWalkCoreTest, MoreMountsThatDoNotAnswerThanOneHoldUpNoWalk) {
    // As a desktop session's folder holds several FUSE mounts whose daemons hang together.
    source->AddFile("/r/a", 1);
    for (const std::string hung : {"/r/h1", "/r/h2", "/s/h3", "/s/b/h4"}) {
        source->AddMount(hung, DriveType::Fixed);
        source->AddFile(hung + "/x", 2);
        source->BlockFolder(hung, Block::Open);
        if (hung.starts_with("/r")) {
            source->BlockFolder(hung, Block::Look);
        }
    }
    source->AddFile("/r/z", 3);
    EXPECT_EQ(WalkAll(source, "/r", 4).Delivered,
              LinesOf("file /r/a 1; folder /r/h1 NoAnswer; folder /r/h2 NoAnswer; file /r/z 3"));
    EXPECT_EQ(source->WalkThreadBlocks(), 0) << "two in one folder";
    const int blocksBefore = source->WalkThreadBlocks();
    // A worker stuck in one keeps its handle: with one for the workers, the next mount still
    // waits for a worker's touch, not for the walk's.
    source->SetAllowance({8, 1});
    EXPECT_EQ(WalkAll(source, "/s", 4).Delivered,
              LinesOf("folder /s/h3 NoAnswer; folder /s/b; folder /s/b/h4 NoAnswer"));
    EXPECT_EQ(source->WalkThreadBlocks(), blocksBefore) << "more than the workers' handles";
    EXPECT_EQ(source->OpenCountOnWalkThread("/s/b/h4"), 0);
}

TEST_F(FolderWalkCoreTest, StopAtEveryStepLeavesCleanlyAndNeverWaitsForAStuckWorker) {
    // The stuck share comes first: every later stop happens while a worker is stuck in it.
    source->AddMount("/r/hung", DriveType::Fixed);
    source->AddFile("/r/hung/h", 1);
    source->BlockFolder("/r/hung", Block::Open);
    AddTree(*source, "/r/t", 3, 2, 2);
    source->AddLink("/r/out", "/o");
    source->AddFile("/o/x", 9);
    // Workers left stuck by earlier walks stay so until the teardown: each walk adds one.
    const auto walkUpTo = [&](int steps) {
        const int stuckBefore = source->BlockedNow();
        auto walk = std::make_unique<FolderWalk>(source, "/r", 4);
        Walked walked;
        walk->SetWaitHook([&walked] { return walked.Entering != "/r/hung"; });
        WalkFromRoot(*walk, walked, steps);
        const bool passedHung = !walked.Delivered.empty();
        if (passedHung) {
            EXPECT_TRUE(source->WaitUntilBlocked(stuckBefore + 1, std::chrono::seconds(5)))
                << "no worker touched the share first, stop at " << steps;
        }
        walk.reset();
        EXPECT_EQ(source->BlockedNow(), stuckBefore + (passedHung ? 1 : 0)) << "stop at " << steps;
        EXPECT_TRUE(AllClosed(*source)) << "stop at " << steps;
        return walked;
    };
    // With handles enough, and with so few that levels are read whole and opened again (the
    // workers keep one each and one for the touch of the share).
    for (const int limit : {-1, 8}) {
        source->SetAllowance(limit < 0 ? HandleAllowance{64, 64} : HandleAllowance{1, 5});
        source->SetHandleLimit(limit);
        const Walked full = walkUpTo(-1);
        ASSERT_FALSE(full.Stopped);
        ASSERT_EQ(full.Delivered.at(0), "folder /r/hung NotEntered");
        EXPECT_EQ(full.Files.count("/r/out/x"), 1u);
        for (int steps = 0; steps < full.Steps; ++steps) {
            const Walked walked = walkUpTo(steps);
            EXPECT_TRUE(walked.Stopped) << steps;
            ASSERT_LE(walked.Delivered.size(), full.Delivered.size());
            const Lines prefix(full.Delivered.begin(),
                               full.Delivered.begin() + walked.Delivered.size());
            EXPECT_EQ(FirstDifference(walked.Delivered, prefix), "")
                << "stop at " << steps << ", limit " << limit;
        }
    }
    EXPECT_EQ(source->WalkThreadBlocks(), 0);
}

TEST_F(FolderWalkCoreTest, ReadErrorsEndOnlyTheFolderThatHasThem) {
    source->AddFile("/r/a.bin", 1);
    for (const char* name : {"x1", "x2", "x3", "x4"}) {
        source->AddFile(std::string("/r/midway/") + name, 2);
    }
    source->FailListingAfter("/r/midway", 2);
    source->AddFile("/r/locked/secret", 3);
    source->MakeUnopenable("/r/locked");
    for (const char* name : {"ok1", "gone", "ok2"}) {
        source->AddFile(std::string("/r/vanish/") + name, 4);
    }
    source->VanishOnLook("/r/vanish/gone");
    source->AddFile("/r/look/ok3", 5);
    source->AddFile("/r/look/bad", 6);
    source->FailLook("/r/look/bad");
    source->AddFile("/r/z.bin", 7);
    for (int threads : {1, 4}) {
        EXPECT_EQ(WalkAll(source, "/r", threads).Delivered, LinesOf(R"(file /r/a.bin 1
folder /r/midway; file /r/midway/x1 2; file /r/midway/x2 2; end /r/midway Unreadable
folder /r/locked Unreadable; folder /r/vanish; file /r/vanish/ok1 4; file /r/vanish/ok2 4
folder /r/look; file /r/look/ok3 5; end /r/look Unreadable; file /r/z.bin 7)"))
            << threads << " threads";
    }
    for (const char* root : {"/r/locked", "/missing", "/r/a.bin"}) {
        FolderWalk walk(source, root, 4);
        EXPECT_EQ(walk.OpenRoot(), FolderSkip::Unreadable) << root;
        DirectoryEntry entry;
        EXPECT_FALSE(walk.Next(entry));
        EXPECT_EQ(walk.Depth(), 0);
    }
}

TEST_F(FolderWalkCoreTest, OnABusyMachineTheWalkReadsAloneAndWorkersStillTouchWhatMayNotAnswer) {
    // Other programs keep every processor busy, as far as the walk can tell: the workers read
    // no folder of their own accord, and still touch first what may not answer.
    AddTree(*source, "/r/t", 3, 3, 2);
    source->AddNamedNetworkMount("/r/share");
    source->AddFile("/r/share/s", 5);
    source->AddMount("/far/hung", DriveType::Fixed);
    source->AddFile("/far/hung/h", 2);
    source->BlockFolder("/far/hung", Block::Open);
    source->BlockFolder("/far/hung", Block::Look);
    source->AddFile("/far/f", 3);
    // Deeper than the root, which a worker always reads first: the walk reads these itself.
    source->AddLink("/r/l/tohung", "/far/hung");
    source->AddLink("/r/l/tofile", "/far/f");
    source->AddLink("/r/l/toparent", "/far");
    UseLoad(Load::Busy);
    const Walked alone = WalkAll(source, "/r", 4);
    SetUp(); // the processors are free again

    EXPECT_EQ(source->WalkThreadBlocks(), 0);
    for (const std::string& line : alone.Delivered) {
        if (line.starts_with("folder /r/t")) {
            const std::string folder = line.substr(7);
            EXPECT_EQ(source->OpenCountOnWalkThread(folder), source->OpenCount(folder)) << line;
        }
    }
    const Lines expected = LinesOf(R"(folder /r/l/tohung NoAnswer; file /r/l/tofile 0
folder /r/l/toparent; folder /r/l/toparent/hung NoAnswer; file /r/l/toparent/f 3)");
    for (const std::string& line : expected) {
        EXPECT_EQ(std::count(alone.Delivered.begin(), alone.Delivered.end(), line), 1) << line;
    }
    // With the processors free the workers read ahead, and the walk finds the same.
    EXPECT_EQ(WalkAll(source, "/r", 4).Delivered, alone.Delivered);
    EXPECT_EQ(source->WalkThreadBlocks(), 0);
    EXPECT_EQ(source->LookCount("/r/share"), 0);

    // On a network root the workers wait for the server, not for a processor: busy as the
    // machine is, they read ahead (one of them is held in the first folder it reads).
    source->AddNamedNetworkMount("/net");
    AddTree(*source, "/net", 2, 3, 2);
    source->BlockFolder("/net/d9n0", Block::Read);
    UseLoad(Load::Busy);
    {
        const int blockedBefore = source->BlockedNow(); // the workers sent to /far/hung
        FolderWalk walk(source, "/net", 4);
        ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
        EXPECT_TRUE(source->WaitUntilBlocked(blockedBefore + 1, std::chrono::seconds(5)));
        source->ReleaseBlocked();
    }
    SetUp();
}

TEST_F(FolderWalkCoreTest, OnABusyMachineWithoutSharesWorkersStartOnlyWhenTheyAreNeeded) {
    // Nothing is mounted that may not answer: beside busy programs the walk starts alone,
    // opening even the root itself. The workers start at the first followed link, which one of
    // them touches first, or once the processors are free again, and then read ahead.
    for (const bool withLink : {true, false}) {
        source = std::make_shared<FakeFolderSource>();
        AddTree(*source, "/r/a", 2, 3, 2);
        if (withLink) {
            source->AddLink("/r/b/tofar", "/far");
            source->AddFile("/far/f", 3);
        }
        AddTree(*source, "/r/c", 3, 3, 2);
        const Lines expected = WalkAll(source, "/r", 1).Delivered;
        const auto openedOnlyByWalk = [&](const std::string& folder) {
            return source->OpenCount(folder) == source->OpenCountOnWalkThread(folder);
        };
        source->BlockFolder("/r/c/d7n2", Block::Read);
        UseLoad(Load::Busy);
        FolderWalk walk(source, "/r", 4);
        Walked walked;
        ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
        DirectoryEntry entry;
        while (walk.Next(entry)) {
            const std::string child = "/r/" + std::string(entry.Name);
            walked.Delivered.push_back("folder " + child + SkipName(walk.Enter()));
            if (child == "/r/c") {
                // A worker reads ahead of the walk, and is held in the last subfolder.
                EXPECT_TRUE(source->WaitUntilBlocked(1, std::chrono::seconds(5))) << withLink;
                source->ReleaseBlocked();
            }
            int steps = -1;
            EXPECT_TRUE(WalkBelow(walk, child, walked, steps));
            walk.Leave();
            if (child == "/r/a") {
                EXPECT_TRUE(openedOnlyByWalk("/r") && openedOnlyByWalk("/r/a/d9n0")) << withLink;
            }
            if (child == (withLink ? "/r/b" : "/r/a")) {
                // Touched by a worker, busy as the machine still is.
                EXPECT_EQ(openedOnlyByWalk("/far"), !withLink);
                // The load is looked at again only a whole interval later.
                UseLoad(Load::Quiet);
                std::this_thread::sleep_for(2 *
                                            std::chrono::nanoseconds(MachineLoad::BusyIntervalNs));
            }
        }
        walk.Leave();
        EXPECT_EQ(walked.Delivered, expected) << FirstDifference(walked.Delivered, expected);
        EXPECT_FALSE(openedOnlyByWalk("/r/c/d7n2"));
        EXPECT_EQ(source->WalkThreadBlocks(), 0);
    }
}

TEST_F(FolderWalkCoreTest, WhileWorkersAreSilentTheWalkReadsNoFolderAheadOfItself) {
    // Thirty folders: each of the two workers claims eight and stops answering in its first,
    // and the rest wait in the queue when the walk comes to the first folder.
    std::vector<std::string> folders;
    for (int i = 0; i < 30; ++i) {
        folders.push_back("/r/s" + std::to_string(100 + i));
        source->AddFile(folders.back() + "/f", static_cast<std::uint64_t>(i));
    }
    source->BlockFolder(folders[0], Block::Open);
    source->BlockFolder(folders[8], Block::Open);
    FolderWalk walk(source, "/r", 2);
    Walked walked;
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    ASSERT_TRUE(source->WaitUntilBlocked(2, std::chrono::seconds(5)));
    // Silent for longer than the walk reads ahead beside a worker.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int steps = -1;
    WalkBelow(walk, "/r", walked, steps);
    walk.Leave();

    EXPECT_EQ(std::count(walked.Delivered.begin(), walked.Delivered.end(),
                         "folder " + folders[0] + " NoAnswer"),
              1);
    EXPECT_EQ(std::count(walked.Delivered.begin(), walked.Delivered.end(),
                         "folder " + folders[8] + " NoAnswer"),
              1);
    EXPECT_EQ(walked.Files.size(), 28u);
    for (const std::string& folder : folders) {
        EXPECT_EQ(source->OpenCountOnWalkThread(folder), 0) << folder;
    }
    EXPECT_EQ(source->WalkThreadBlocks(), 0);
}
