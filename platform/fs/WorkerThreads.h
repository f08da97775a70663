#pragma once

#include <cstdint>
#include <thread>
#include <vector>

// What worker threads need of the system: how many processors the process may use, a
// priority below the thread that does the real work, and a name to tell them apart.

// The processors this process may run on (`taskset`, container limits and the process
// affinity on Windows leave fewer than the machine has); at least 1.
unsigned ProcessorsAvailable();

// Lowers the calling thread below normal priority: with a processor of its own the main
// thread loses nothing to it, and on a busy machine it takes what is left over.
void RunCallingThreadBelowNormal();

// Gives the calling thread a descriptor table of its own, holding only the standard streams,
// where the system can: a thread that opens and closes thousands of folders then costs
// neither itself nor the other threads the bookkeeping of a shared table on every call. What
// it opens from then on no other thread can use; nothing else changes. POSIX record locks
// stay with the table that took them.
void KeepCallingThreadDescriptorsApart();

// The processors a thread may run on, as the system writes them; empty where it does not say.
struct ProcessorMask {
    std::vector<std::uint64_t> Bits;
};

// Lets the calling thread run on `mask` again; nothing for an empty one.
void RunCallingThreadOn(const ProcessorMask& mask);

// While it lives, keeps the calling thread on the processor it runs on, and with it the
// threads it starts meanwhile, which inherit where they may run. A caller that waits for its
// new threads to start then hands them its own processor as it waits. On a machine whose other
// processors are busy a new thread goes to one of those and waits there several milliseconds,
// while the caller's processor stands idle. Each thread started so gives itself back
// Before() first (RunCallingThreadOn); at the end the caller has it back too.
class ThreadsStartedBesideCaller {
public:
    ThreadsStartedBesideCaller();
    ~ThreadsStartedBesideCaller();
    ThreadsStartedBesideCaller(const ThreadsStartedBesideCaller&) = delete;
    ThreadsStartedBesideCaller& operator=(const ThreadsStartedBesideCaller&) = delete;

    // Where the caller could run before.
    const ProcessorMask& Before() const { return before_; }

private:
    ProcessorMask before_;
};

// Names `thread` (up to 15 characters) where the system keeps thread names.
void NameThread(std::thread& thread, const char* name);

// The processor time the whole machine and this process have used so far, in nanoseconds;
// both 0 where the system does not say. Their growth apart tells how busy other programs
// keep the processors.
struct ProcessorTimes {
    std::int64_t MachineBusyNs = 0;
    std::int64_t ProcessNs = 0;
};
ProcessorTimes ProcessorTimesNow();

// The threads of the whole machine that run or wait for a processor at this moment, the
// caller's included; -1 where the system does not say.
int ThreadsRunnableNow();
