#pragma once

#include "scan/IconLookup.h"

// Answers icon 0 for every file without looking at it, so that no icon theme is read
// during a benchmark.
class NullIconLookup final : public IconLookup {
public:
    int SmallIconIndex(const std::string&) override { return 0; }
};
