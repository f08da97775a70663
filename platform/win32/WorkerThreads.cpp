#include "platform/fs/WorkerThreads.h"

#include "Win32Api.h"

unsigned ProcessorsAvailable() {
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) ||
        processMask == 0) {
        const unsigned cores = std::thread::hardware_concurrency();
        return cores > 0 ? cores : 1;
    }
    unsigned cores = 0;
    for (; processMask != 0; processMask &= processMask - 1) {
        ++cores;
    }
    return cores;
}

void RunCallingThreadBelowNormal() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

void NameThread(std::thread&, const char*) {}
