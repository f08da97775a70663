#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>

// Reads a whole command-line argument as an unsigned decimal number. False for anything
// else: empty text, a sign, trailing characters, or a value out of range.
inline bool ParseUnsigned(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-') {
        return false;
    }
    value = parsed;
    return true;
}
