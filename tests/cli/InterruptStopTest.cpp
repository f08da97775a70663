#include "tests/cli/InterruptScenario.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace {

TEST(InterruptStop, AnIgnoredInterruptStaysIgnored) {
    const InterruptHandler before = std::signal(SIGINT, SIG_IGN);
    {
        InterruptStop interrupt;
        EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    }
    EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    std::signal(SIGINT, before);
}

} // namespace
