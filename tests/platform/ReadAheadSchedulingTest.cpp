// The read-ahead's scheduling with a fake reader: a folder that a reader is stuck in is left
// out after the answer wait, and the end of the walk does not wait for the stuck reader.
#include "walk/ReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace {

// The scheduling is what these check: the workers read ahead whatever else the machine runs
// beside the tests, as on a quiet machine.
class QuietMachine : public ::testing::Environment {
    void SetUp() override {
        MachineLoad::UseReader({[] { return ProcessorTimes{}; }, [] { return 1; }});
    }
};
[[maybe_unused]] const ::testing::Environment* const quietMachine =
    ::testing::AddGlobalTestEnvironment(new QuietMachine);

// Waits until `calls` have reached `count`: a claim made before a worker has started on a
// folder leaves it to the walk.
void WaitForCalls(const std::atomic<int>& calls, int count) {
    for (int i = 0; i < 400 && calls < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(calls, count);
}

using Clock = std::chrono::steady_clock;

// A reader that reads every folder at once, except the folder named "hung", in which it
// blocks until released, as a call on a file system whose daemon is stopped.
struct FakeReader {
    std::mutex Mutex;
    std::condition_variable Released;
    bool Release = false;
    std::atomic<int> Calls{0};
    std::atomic<int> Returned{0};

    bool Read(AheadFolder& folder) {
        ++Calls;
        if (folder.Path.ends_with("hung")) {
            std::unique_lock<std::mutex> lock(Mutex);
            Released.wait(lock, [&] { return Release; });
        }
        // Two subfolders each, so that the workers go on below.
        for (std::uint32_t i = 0; i < 2 && folder.Key.size() < 3; ++i) {
            AheadEntry entry;
            const std::string name =
                i == 0 && folder.Key.empty() ? "hung" : "d" + std::to_string(i);
            entry.Child = ReadAhead::MakeFolder(folder.Path + "/" + name, {});
            entry.Child->Key = folder.Key;
            entry.Child->Key.push_back(i);
            folder.Entries.push_back(std::move(entry));
        }
        ++Returned;
        return true;
    }
};

TEST(ReadAheadScheduling, AFolderThatDoesNotAnswerIsLeftOutAndItsWorkerLeftBehind) {
    auto reader = std::make_shared<FakeReader>();
    Clock::time_point ended;
    {
        ReadAhead ahead(
            2, [reader](AheadFolder& folder, const std::atomic<bool>&,
                        std::unique_ptr<ReadAhead::HeldFolder>&) { return reader->Read(folder); });
        ASSERT_EQ(ahead.WorkerCount(), 2);
        // The walk reads the root itself and publishes it: "hung" and "d1" below it.
        std::shared_ptr<AheadFolder> root = ahead.TakeNew("/r", {});
        ASSERT_TRUE(root);
        reader->Read(*root);
        ahead.Publish(*root);
        // Both subfolders and the two below "d1" have been started on.
        WaitForCalls(reader->Calls, 1 + 2 + 2);

        ReadAhead::Claim claim = ReadAhead::Claim::Ready;
        const Clock::time_point asked = Clock::now();
        std::shared_ptr<AheadFolder> hung = ahead.TakeListed(root->Entries[0].Child, claim);
        const auto waited = Clock::now() - asked;
        EXPECT_EQ(claim, ReadAhead::Claim::NoAnswer);
        // The wait counts from the worker's start on the folder, before the claim: on a loaded
        // machine this thread may come to the claim long after.
        EXPECT_GE(waited, ReadAhead::MaxAnswerWait / 2);
        EXPECT_LT(waited, ReadAhead::MaxAnswerWait + std::chrono::milliseconds(500));

        // The walk goes on with the other worker.
        std::shared_ptr<AheadFolder> next = ahead.TakeListed(root->Entries[1].Child, claim);
        EXPECT_EQ(claim, ReadAhead::Claim::Ready);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->Entries.size(), 2u);
        ahead.Leave(*next);
        ahead.Leave(*root);
        ended = Clock::now();
    }
    // The end of the walk did not wait for the stuck worker beyond a moment.
    EXPECT_LT(Clock::now() - ended, ReadAhead::MaxEndWait + std::chrono::milliseconds(200));
    EXPECT_EQ(reader->Calls - reader->Returned, 1) << "one reader is still stuck";

    // Released later, the abandoned worker finishes on what it shares, and ends.
    {
        std::lock_guard<std::mutex> lock(reader->Mutex);
        reader->Release = true;
    }
    reader->Released.notify_all();
    for (int i = 0; i < 200 && reader->Calls != reader->Returned; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(reader->Calls, reader->Returned);
}

TEST(ReadAheadScheduling, TheWaitHookIsHeardWhileAReaderIsStuckAndCanEndTheWait) {
    auto reader = std::make_shared<FakeReader>();
    int hookCalls = 0;
    ReadAhead::Claim claim = ReadAhead::Claim::Ready;
    Clock::duration waited{};
    {
        ReadAhead ahead(
            1, [reader](AheadFolder& folder, const std::atomic<bool>&,
                        std::unique_ptr<ReadAhead::HeldFolder>&) { return reader->Read(folder); });
        // The window is asked to process its messages while the walk waits; the third time
        // the user has pressed Stop.
        ahead.SetWaitHook([&] { return ++hookCalls < 3; });
        std::shared_ptr<AheadFolder> root = ahead.TakeNew("/r", {});
        reader->Read(*root);
        ahead.Publish(*root);
        WaitForCalls(reader->Calls, 2);
        const Clock::time_point asked = Clock::now();
        ahead.TakeListed(root->Entries[0].Child, claim);
        waited = Clock::now() - asked;
        ahead.Leave(*root);
    }
    EXPECT_EQ(claim, ReadAhead::Claim::Stopped);
    EXPECT_EQ(hookCalls, 3);
    EXPECT_LT(waited, std::chrono::milliseconds(1000)) << "the stop waited for the answer wait";
    {
        std::lock_guard<std::mutex> lock(reader->Mutex);
        reader->Release = true;
    }
    reader->Released.notify_all();
    for (int i = 0; i < 200 && reader->Calls != reader->Returned; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(ReadAheadScheduling, ClaimsFollowTheWorkersAndEndingIsImmediate) {
    auto reader = std::make_shared<FakeReader>();
    ReadAhead::Claim claim = ReadAhead::Claim::NoAnswer;
    {
        ReadAhead ahead(3, [reader](AheadFolder& folder, const std::atomic<bool>&,
                                    std::unique_ptr<ReadAhead::HeldFolder>&) {
            if (folder.Path.ends_with("d0"))
                return false;
            reader->Read(folder);
            // The records below are not for this case.
            folder.Entries.clear();
            return true;
        });
        std::shared_ptr<AheadFolder> root = ahead.TakeNew("/r", {});
        AheadEntry plain;
        plain.Child = ReadAhead::MakeFolder("/r/d0", {0});
        root->Entries.push_back(std::move(plain));
        AheadEntry other;
        other.Child = ReadAhead::MakeFolder("/r/d1", {1});
        root->Entries.push_back(std::move(other));
        ahead.Publish(*root);
        WaitForCalls(reader->Calls, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // A folder the reader refuses is for the walk; one it reads is ready.
        ahead.TakeListed(root->Entries[0].Child, claim);
        EXPECT_EQ(claim, ReadAhead::Claim::ReadYourself);
        ahead.TakeListed(root->Entries[1].Child, claim);
        EXPECT_EQ(claim, ReadAhead::Claim::Ready);
        // Too deep or too long a path: no record.
        EXPECT_FALSE(ReadAhead::MakeFolder(std::string(4000, 'x'), {}));
        EXPECT_FALSE(ReadAhead::MakeFolder("/r", std::vector<std::uint32_t>(65, 0)));
        ahead.Leave(*root->Entries[1].Child);
        ahead.Leave(*root);
    }
    EXPECT_GE(ReadAhead::DefaultWorkerCount(), 1);
}

} // namespace
