#pragma once

#include <cstdint>

// A date and time of day in the user's local time zone.
struct LocalDateTime {
    int Year = 1970;
    int Month = 1; // 1..12
    int Day = 1;   // 1..31
    int Hour = 0;  // 0..23
    int Minute = 0;
    int Second = 0;
    // False when the platform could not convert the time; the fields then read 1970-01-01
    // 00:00:00, which is not the file's date.
    bool Converted = true;
};

// Converts seconds since 1970-01-01 00:00:00 UTC to local time, with full seconds.
// Times the platform cannot convert give Converted = false.
LocalDateTime ToLocalDateTime(std::int64_t unixSeconds);
