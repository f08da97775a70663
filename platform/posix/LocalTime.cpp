#include "platform/fs/LocalTime.h"

#include <ctime>
#include <limits>

LocalDateTime ToLocalDateTime(std::int64_t unixSeconds) {
    LocalDateTime result;
    result.Converted = false;
    if (unixSeconds < std::numeric_limits<std::time_t>::min() ||
        unixSeconds > std::numeric_limits<std::time_t>::max()) {
        return result;
    }
    std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return result;
    }
    result.Converted = true;
    result.Year = local.tm_year + 1900;
    result.Month = local.tm_mon + 1;
    result.Day = local.tm_mday;
    result.Hour = local.tm_hour;
    result.Minute = local.tm_min;
    // A leap second (60) is shown as the last second of its minute.
    result.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return result;
}
