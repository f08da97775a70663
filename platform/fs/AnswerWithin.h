#pragma once

#include "platform/fs/SignalFreeThread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

// How a wait for a call that may never return ended.
enum class AnswerEnd {
    Answered, // the call returned, and its result is there
    NoAnswer, // it had not returned when the time was up
    Stopped,  // the wait's hook asked to stop before it returned
};

// The end of a wait, and the call's result when it answered.
template <typename Result> struct Answer {
    AnswerEnd End = AnswerEnd::NoAnswer;
    std::optional<Result> Value; // set when End is Answered
};

// The time a file system is given to answer one call before it counts as not answering, and
// the slices in which the wait for it hears the user.
inline constexpr std::chrono::milliseconds AnswerTimeLimit{2000};
inline constexpr std::chrono::milliseconds AnswerWaitSlice{50};

namespace answer_within_detail {

// What the call's thread and the waiting thread share. The thread holds it for as long as
// the call runs, so a call that returns after the wait gave up still finds it.
template <typename Call> struct PendingCall {
    using Result = std::invoke_result_t<Call&>;

    explicit PendingCall(Call call) : Run(std::move(call)) {}

    Call Run;
    std::mutex Lock;
    std::condition_variable Finished;
    bool Done = false;
    std::optional<Result> Value;
    std::exception_ptr Error;
};

template <typename Call> void RunAndHandOver(PendingCall<Call>& pending) {
    std::optional<typename PendingCall<Call>::Result> value;
    std::exception_ptr error;
    try {
        value.emplace(pending.Run());
    } catch (...) {
        error = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(pending.Lock);
    pending.Value = std::move(value);
    pending.Error = error;
    pending.Done = true;
    pending.Finished.notify_all();
}

// Detaches a thread that was not joined, however the wait for it ends: a call that is still
// running is abandoned.
class AbandonUnlessJoined {
public:
    explicit AbandonUnlessJoined(std::thread& thread) : thread_(thread) {}
    ~AbandonUnlessJoined() {
        if (thread_.joinable())
            thread_.detach();
    }
    AbandonUnlessJoined(const AbandonUnlessJoined&) = delete;
    AbandonUnlessJoined& operator=(const AbandonUnlessJoined&) = delete;

private:
    std::thread& thread_;
};

} // namespace answer_within_detail

// Runs `call` (it takes no arguments: what it needs is copied into it) on a thread of its own
// (StartSignalFreeThread: it takes no signals) and waits for its result, in slices of
// AnswerWaitSlice. It calls `keepWaiting`, which returns false to stop the wait, once as soon
// as the call has started, so that what the caller does meanwhile (a window's repaints) runs
// beside the call, and then between slices.
// Gives the result (Answered), NoAnswer once `limit` has passed, or Stopped. A call that does
// not return is abandoned, never joined: its thread is detached and owns the call and
// everything the call touches, so it may return later, or never, without reaching the caller.
// A call that answered has its thread joined, which then costs no wait: the thread has nothing
// left to do but end. When the system refuses a thread, the call runs directly on the caller's
// thread. An exception the call throws is thrown here when the call answers in time.
template <typename Call>
Answer<std::invoke_result_t<Call&>>
AnswerWithin(Call call, const std::function<bool()>& keepWaiting,
             std::chrono::milliseconds limit = AnswerTimeLimit) {
    using Pending = answer_within_detail::PendingCall<Call>;
    using Outcome = Answer<typename Pending::Result>;
    const auto pending = std::make_shared<Pending>(std::move(call));
    std::thread thread =
        StartSignalFreeThread([pending] { answer_within_detail::RunAndHandOver(*pending); });
    if (!thread.joinable()) {
        // No thread to be had (a process at its thread limit): the call may block, but a
        // scan without its answer would not be any better.
        return Outcome{AnswerEnd::Answered, pending->Run()};
    }
    const answer_within_detail::AbandonUnlessJoined abandon(thread);

    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool goOn = keepWaiting();
    std::unique_lock<std::mutex> lock(pending->Lock);
    while (true) {
        if (!goOn && !pending->Done) {
            return Outcome{AnswerEnd::Stopped, std::nullopt};
        }
        const auto now = std::chrono::steady_clock::now();
        const auto slice =
            std::min<std::chrono::steady_clock::duration>(AnswerWaitSlice, deadline - now);
        if (slice > std::chrono::steady_clock::duration::zero()) {
            pending->Finished.wait_for(lock, slice, [&] { return pending->Done; });
        }
        if (pending->Done) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Outcome{AnswerEnd::NoAnswer, std::nullopt};
        }
        // The hook may run the window's commands: the call's thread must not wait for it.
        lock.unlock();
        goOn = keepWaiting();
        lock.lock();
    }
    lock.unlock();
    // No thread is left running behind an answered call.
    thread.join();
    if (pending->Error) {
        std::rethrow_exception(pending->Error);
    }
    return Outcome{AnswerEnd::Answered, std::move(pending->Value)};
}
