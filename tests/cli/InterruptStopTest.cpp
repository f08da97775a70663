#include "cli/InterruptStop.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace {

// Which handler SIGINT has now, without changing it.
using Handler = void (*)(int);
Handler CurrentInterruptHandler() {
    const Handler current = std::signal(SIGINT, SIG_DFL);
    std::signal(SIGINT, current);
    return current;
}

TEST(InterruptStop, AnIgnoredInterruptStaysIgnored) {
    const Handler before = std::signal(SIGINT, SIG_IGN);
    {
        InterruptStop interrupt;
        EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    }
    EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    std::signal(SIGINT, before);
}

} // namespace
