#pragma once

#include <cstdint>

// A small seeded generator (SplitMix64) whose sequence is the same on every compiler and
// standard library, so that a seed names one tree everywhere. The standard distributions
// are not used for the same reason: their results differ between implementations.
class TreeRandom {
public:
    explicit TreeRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A value in [0, bound); 0 when `bound` is 0. The slight bias of the modulo does not
    // matter for test trees.
    std::uint64_t Below(std::uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }

    // True with a chance of `perThousand` in 1000.
    bool Chance(unsigned perThousand) { return Below(1000) < perThousand; }

private:
    std::uint64_t state_;
};
