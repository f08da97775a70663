#include "platform/fs/LocalTime.h"

#include "Win32Api.h"

namespace {

constexpr std::int64_t FileTimeEpochOffsetSeconds = 11644473600;
constexpr std::int64_t FileTimeTicksPerSecond = 10000000;
// FILETIME values from here on are refused by FileTimeToSystemTime.
constexpr std::int64_t LargestFileTimeSeconds = 0x7FFFFFFFFFFFFFFF / FileTimeTicksPerSecond;

} // namespace

LocalDateTime ToLocalDateTime(std::int64_t unixSeconds) {
    const LocalDateTime unconvertible{.Converted = false};
    // Checked before the arithmetic, so that no value can overflow it.
    if (unixSeconds < -FileTimeEpochOffsetSeconds ||
        unixSeconds > LargestFileTimeSeconds - FileTimeEpochOffsetSeconds) {
        return unconvertible;
    }
    const auto ticks = static_cast<std::uint64_t>(unixSeconds + FileTimeEpochOffsetSeconds) *
                       static_cast<std::uint64_t>(FileTimeTicksPerSecond);
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    // The clock of that day: a summer time is shown with the summer offset also in winter.
    // (FileTimeToLocalFileTime would apply today's offset to every date.)
    SYSTEMTIME utcParts;
    SYSTEMTIME parts;
    if (!FileTimeToSystemTime(&utc, &utcParts) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &parts)) {
        return unconvertible;
    }
    LocalDateTime result;
    result.Year = parts.wYear;
    result.Month = parts.wMonth;
    result.Day = parts.wDay;
    result.Hour = parts.wHour;
    result.Minute = parts.wMinute;
    result.Second = parts.wSecond;
    return result;
}
