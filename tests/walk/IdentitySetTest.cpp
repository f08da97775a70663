#include "walk/IdentitySet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <utility>

namespace {

TEST(IdentitySet, HoldsWhatWasPutInAcrossGrowthWithTheZeroIdentityAndDuplicates) {
    IdentitySet set;
    std::set<std::pair<std::uint64_t, std::uint64_t>> expected;
    std::mt19937_64 random(3);
    // File numbers in runs, as file systems give them, on a few devices, and {0, 0}, which
    // also marks the set's empty slots; every tenth is put in twice.
    for (std::uint64_t i = 0; i < 20000; ++i) {
        const NodeIdentity identity{i % 3, i < 10000 ? i : random() % 5000};
        set.Insert(identity);
        if (i % 10 == 0) {
            set.Insert(identity);
        }
        expected.insert({identity.Device, identity.Number});
    }
    EXPECT_EQ(set.Size(), expected.size());
    for (std::uint64_t device = 0; device < 4; ++device) {
        for (std::uint64_t number = 0; number < 12000; ++number) {
            ASSERT_EQ(set.Contains({device, number}), expected.count({device, number}) == 1)
                << device << " " << number;
        }
    }
    set.Clear();
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_FALSE(set.Contains({0, 0}));
    EXPECT_FALSE(set.Contains({1, 1}));
    set.Insert({1, 1});
    EXPECT_TRUE(set.Contains({1, 1}));
}

} // namespace
