#include "cli/ListOutput.h"

#include "platform/fs/LocalTime.h"
#include "scan/TextFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

bool IsDateAndTime(const std::string& text) {
    static const std::string shape = "0000-00-00 00:00:00";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '0' ? (text[i] < '0' || text[i] > '9') : text[i] != shape[i])
            return false;
    }
    return true;
}

// Every file gets a well-formed date and time, or the raw seconds marked "@": never a date
// without its time, a five-digit or negative year, nor 1970 for a time the system cannot
// convert. Holds in any time zone.
TEST(ListDate, IsAFullDateAndTimeOrTheMarkedSeconds) {
    constexpr std::int64_t Day = 86400;
    for (const std::int64_t seconds :
         {std::int64_t{0}, std::int64_t{1620086400}, std::int64_t{-1}, std::int64_t{4102444799}}) {
        const std::string text = ListDateTime(seconds);
        EXPECT_TRUE(IsDateAndTime(text)) << seconds << ": " << text;
        const LocalDateTime local = ToLocalDateTime(seconds);
        EXPECT_EQ(text.substr(0, 4), std::to_string(local.Year)) << text;
    }
    const std::int64_t beyond[] = {
        253402300800 + 2 * Day, // 10000-01-03: five digits of year
        std::int64_t{1} << 40,
        std::int64_t{67768036191676800}, // past the largest year the C library converts
        std::numeric_limits<std::int64_t>::max(),
        -62167219200 - 2 * Day, // the year before 0
        std::numeric_limits<std::int64_t>::min(),
    };
    for (const std::int64_t seconds : beyond) {
        EXPECT_EQ(ListDateTime(seconds), "@" + std::to_string(seconds));
    }
    // The window's date column shows the same marker where the system has no date at all.
    EXPECT_EQ(FileDateText(std::numeric_limits<std::int64_t>::max(), ListLocaleFormat()),
              "@9223372036854775807");
    EXPECT_EQ(FileDateText(0, ListLocaleFormat()).find('@'), std::string::npos);
}

} // namespace
