#pragma once

#include "LocaleFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct LocalDateTime;

// "%.Nf": `value` taken to 18 significant digits, then rounded at the N-th decimal with
// halves away from zero, with the locale's decimal separator and no thousands separator
// (0.125 with 2 decimals gives "0.13"; 39.0625 with 3 gives "39.063").
std::string FormatFixed(long double value, int decimals, const std::string& decimalSeparator);

// Rounds to the nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
std::int64_t RoundHalfEven(long double value);

// The size column's number: decimal digits with U+00B4 "´" before the last three digits
// and, from seven digits on, before the last six; never more than two separators
// (1234567890 gives "1234´567´890").
std::string SizeText(std::uint64_t size);

// The date column: the locale's short date, a blank and the time with seconds in the
// locale's style; the date alone at exactly 00:00:00.
std::string DateColumnText(const LocalDateTime& time, const LocaleFormat& locale);

// The date column of a file last written at `unixSeconds` (seconds since 1970-01-01 UTC):
// DateColumnText of its local time, or UnconvertedTimeText when the system cannot convert it.
std::string FileDateText(std::int64_t unixSeconds, const LocaleFormat& locale);

// A time the system cannot express as a date: "@" and the seconds since 1970-01-01 UTC
// ("@253402300800"), as `date -d @SECONDS` reads them back.
std::string UnconvertedTimeText(std::int64_t unixSeconds);

// A printf-style argument: text for "%s", integer for "%d", figure for "%.2f"/"%.3f".
using FormatArgument = std::variant<std::string, std::int64_t, long double>;

// Fills a format of the program's texts: "%s", "%d", "%.Nf" and "%%", the arguments taken
// in order. Figures are written with FormatFixed and the locale's decimal separator.
std::string FormatText(std::string_view format, const std::vector<FormatArgument>& arguments,
                       const LocaleFormat& locale);
