// A call that may never return, asked on a thread of its own: its answer, no answer in time,
// a stop through the wait's hook, and the hook heard while waiting.
#include "platform/fs/AnswerWithin.h"
#include "tests/support/CallGate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class AnswerWithinTest : public ::testing::Test {
protected:
    // Releases what the abandoned calls still wait for.
    void TearDown() override { gate->Open(); }

    // A call that waits at the gate, then answers with `text`.
    auto BlockedCall(std::string text) {
        return [gate = gate, text] {
            gate->Wait();
            return text;
        };
    }

    std::shared_ptr<CallGate> gate = std::make_shared<CallGate>();
    int hookCalls = 0;
};

TEST_F(AnswerWithinTest, AnswersFromAnotherThreadAlsoWhenTheAnswerComesWhileWaiting) {
    const std::string root = "/mnt/share";
    const Answer<std::string> quick = AnswerWithin(
        [root, caller = std::this_thread::get_id()] {
            return root + (std::this_thread::get_id() != caller ? " elsewhere" : " here");
        },
        [&] { return ++hookCalls > 0; });
    EXPECT_EQ(quick.End, AnswerEnd::Answered);
    EXPECT_EQ(quick.Value, "/mnt/share elsewhere");
    // Heard once as soon as the call started, however quick its answer: a window paints
    // meanwhile.
    EXPECT_EQ(hookCalls, 1);

    // The hook runs between slices, and an answer that comes after it is taken.
    hookCalls = 0;
    const Answer<std::string> late = AnswerWithin(BlockedCall("late"), [&] {
        if (++hookCalls == 3)
            gate->Open();
        return true;
    });
    EXPECT_EQ(late.End, AnswerEnd::Answered);
    EXPECT_EQ(late.Value, "late");
    EXPECT_GE(hookCalls, 3);

    EXPECT_THROW(
        AnswerWithin([]() -> int { throw std::runtime_error("refused"); }, [] { return true; }),
        std::runtime_error);
}

TEST_F(AnswerWithinTest, CallThatDoesNotAnswerIsAbandonedAndMayReturnLater) {
    const Clock::time_point start = Clock::now();
    const Answer<std::string> answer = AnswerWithin(
        BlockedCall("too late"),
        [&] {
            ++hookCalls;
            return true;
        },
        milliseconds(250));
    EXPECT_EQ(answer.End, AnswerEnd::NoAnswer);
    EXPECT_FALSE(answer.Value.has_value());
    EXPECT_GE(Clock::now() - start, milliseconds(250));
    // Heard all along: a slice is 50 ms.
    EXPECT_GE(hookCalls, 3);
    EXPECT_EQ(gate->Arrived(), 1);

    // The abandoned call comes back after its waiter has gone: it finds its own state.
    gate->Open();
    for (int i = 0; i < 200 && gate->Passed() == 0; ++i)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(gate->Passed(), 1);
}

TEST_F(AnswerWithinTest, HookThatSaysStopEndsTheWaitAtOnce) {
    const Answer<std::string> answer =
        AnswerWithin(BlockedCall("never"), [&] { return ++hookCalls < 2; });
    EXPECT_EQ(answer.End, AnswerEnd::Stopped);
    EXPECT_FALSE(answer.Value.has_value());
    EXPECT_EQ(hookCalls, 2);
    // Not joined: the call is still waiting.
    EXPECT_EQ(gate->Passed(), 0);

    // A stop that is already there when the call starts (Ctrl+C during the volume query).
    hookCalls = 0;
    const Answer<std::string> stoppedFirst =
        AnswerWithin(BlockedCall("never"), [&] { return ++hookCalls > 1; });
    EXPECT_EQ(stoppedFirst.End, AnswerEnd::Stopped);
    EXPECT_EQ(hookCalls, 1);
}

} // namespace
