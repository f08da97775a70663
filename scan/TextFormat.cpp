#include "TextFormat.h"

#include "platform/fs/LocalTime.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// The size column's digit separator, U+00B4 ACUTE ACCENT, in UTF-8.
constexpr std::string_view SizeSeparator = "\xC2\xB4";

// Adds one to a string of decimal digits, growing it on a carry out of the first digit.
void IncrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string PaddedNumber(long long value, int width) {
    std::string text = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<size_t>(width) - text.size(), '0');
    if (value < 0)
        text.insert(0, 1, '-');
    return text;
}

// The short date pattern: runs of d, M and y are fields; text in single quotes is copied
// without its quotes ("''" gives one quote); every other character is copied as it stands.
std::string FormatShortDate(const LocalDateTime& time, const std::string& pattern) {
    std::string out;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            ++i;
            while (i < pattern.size()) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pattern[i++];
            }
            continue;
        }
        if (c != 'd' && c != 'M' && c != 'y') {
            out += c;
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        i += run;
        switch (c) {
        case 'd':
            out += PaddedNumber(time.Day, run >= 2 ? 2 : 1);
            break;
        case 'M':
            out += PaddedNumber(time.Month, run >= 2 ? 2 : 1);
            break;
        default: {
            if (run <= 2) {
                const long long year = ((time.Year % 100) + 100) % 100;
                out += PaddedNumber(year, static_cast<int>(run));
            } else {
                out += PaddedNumber(time.Year, 4);
            }
            break;
        }
        }
    }
    return out;
}

std::string FormatTimeOfDay(const LocalDateTime& time, const LocaleFormat& locale) {
    int hour = time.Hour;
    if (!locale.TwentyFourHour) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    std::string text = PaddedNumber(hour, locale.HourLeadingZero ? 2 : 1);
    text += locale.TimeSeparator;
    text += PaddedNumber(time.Minute, 2);
    text += locale.TimeSeparator;
    text += PaddedNumber(time.Second, 2);
    if (locale.TwentyFourHour)
        return text;
    const std::string& designator = time.Hour < 12 ? locale.AmDesignator : locale.PmDesignator;
    if (designator.empty())
        return text;
    return locale.DesignatorBeforeTime ? designator + " " + text : text + " " + designator;
}

std::int64_t AsInteger(const FormatArgument& argument) {
    if (const auto* number = std::get_if<std::int64_t>(&argument))
        return *number;
    if (const auto* figure = std::get_if<long double>(&argument))
        return RoundHalfEven(*figure);
    const auto& text = std::get<std::string>(argument);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

long double AsFigure(const FormatArgument& argument) {
    if (const auto* figure = std::get_if<long double>(&argument))
        return *figure;
    if (const auto* number = std::get_if<std::int64_t>(&argument))
        return static_cast<long double>(*number);
    return 0;
}

std::string AsText(const FormatArgument& argument, const LocaleFormat& locale) {
    if (const auto* text = std::get_if<std::string>(&argument))
        return *text;
    if (const auto* number = std::get_if<std::int64_t>(&argument))
        return std::to_string(*number);
    return FormatFixed(std::get<long double>(argument), 6, locale.DecimalSeparator);
}

} // namespace

std::string FormatFixed(long double value, int decimals, const std::string& decimalSeparator) {
    if (decimals < 0)
        decimals = 0;
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");

    // Taking the figure to 18 significant digits first makes a figure that is meant to be a
    // half (a binary approximation of 1.005) round like the decimal number it stands for.
    constexpr int SignificantDigits = 18;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, SignificantDigits - 1);
    std::string_view scientific(buffer, static_cast<size_t>(result.ptr - buffer));

    const bool negative = scientific.front() == '-';
    if (negative)
        scientific.remove_prefix(1);
    const size_t exponentAt = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, exponentAt))
        if (c != '.')
            digits += c;
    int exponent = 0;
    std::string_view exponentText = scientific.substr(exponentAt + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // `scaled` becomes the value times 10^decimals, rounded half away from zero, as digits.
    const long long kept = static_cast<long long>(exponent) + 1 + decimals;
    std::string scaled;
    if (kept <= 0) {
        // One character, not a literal assigned: GCC 12 at -O3 takes the literal's copy for
        // an overlapping one and warns (-Wrestrict), which fails a build with -Werror.
        scaled.push_back(kept == 0 && digits.front() >= '5' ? '1' : '0');
    } else if (kept >= static_cast<long long>(digits.size())) {
        scaled = digits + std::string(static_cast<size_t>(kept) - digits.size(), '0');
    } else {
        scaled = digits.substr(0, static_cast<size_t>(kept));
        if (digits[static_cast<size_t>(kept)] >= '5')
            IncrementDigits(scaled);
    }
    const size_t firstNonZero = scaled.find_first_not_of('0');
    const bool isZero = firstNonZero == std::string::npos;
    scaled.erase(0, isZero ? scaled.size() : firstNonZero);
    if (scaled.size() < static_cast<size_t>(decimals) + 1)
        scaled.insert(0, static_cast<size_t>(decimals) + 1 - scaled.size(), '0');

    std::string text = negative && !isZero ? "-" : "";
    text += scaled.substr(0, scaled.size() - static_cast<size_t>(decimals));
    if (decimals > 0) {
        text += decimalSeparator;
        text += scaled.substr(scaled.size() - static_cast<size_t>(decimals));
    }
    return text;
}

std::int64_t RoundHalfEven(long double value) {
    if (std::isnan(value))
        return 0;
    constexpr long double Limit = 9223372036854775807.0L;
    if (value >= Limit)
        return std::numeric_limits<std::int64_t>::max();
    if (value <= -Limit)
        return std::numeric_limits<std::int64_t>::min();
    const long double floor = std::floor(value);
    const long double fraction = value - floor;
    long double rounded = floor;
    if (fraction > 0.5L) {
        rounded = floor + 1;
    } else if (fraction == 0.5L) {
        // The even neighbour of a half.
        rounded = std::fmod(floor, 2.0L) == 0 ? floor : floor + 1;
    }
    return static_cast<std::int64_t>(rounded);
}

std::string SizeText(std::uint64_t size) {
    const std::string digits = std::to_string(size);
    const size_t count = digits.size();
    std::string text;
    text.reserve(count + 2 * SizeSeparator.size());
    for (size_t i = 0; i < count; ++i) {
        const size_t remaining = count - i;
        if ((remaining == 3 && count > 3) || (remaining == 6 && count >= 7))
            text += SizeSeparator;
        text += digits[i];
    }
    return text;
}

std::string DateColumnText(const LocalDateTime& time, const LocaleFormat& locale) {
    std::string text = FormatShortDate(time, locale.ShortDatePattern);
    if (time.Hour == 0 && time.Minute == 0 && time.Second == 0)
        return text;
    text += ' ';
    text += FormatTimeOfDay(time, locale);
    return text;
}

std::string FileDateText(std::int64_t unixSeconds, const LocaleFormat& locale) {
    const LocalDateTime time = ToLocalDateTime(unixSeconds);
    // A wrong date (1970) would read as the file's; the raw value at least says what it is.
    return time.Converted ? DateColumnText(time, locale) : UnconvertedTimeText(unixSeconds);
}

std::string UnconvertedTimeText(std::int64_t unixSeconds) {
    return "@" + std::to_string(unixSeconds);
}

std::string FormatText(std::string_view format, const std::vector<FormatArgument>& arguments,
                       const LocaleFormat& locale) {
    std::string out;
    size_t next = 0;
    // A directive without its argument writes nothing, rather than reading past the list.
    auto takeArgument = [&]() -> const FormatArgument* {
        return next < arguments.size() ? &arguments[next++] : nullptr;
    };
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            ++i;
            continue;
        }
        const char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            i += 2;
        } else if (kind == 's') {
            if (const auto* argument = takeArgument())
                out += AsText(*argument, locale);
            i += 2;
        } else if (kind == 'd') {
            if (const auto* argument = takeArgument())
                out += std::to_string(AsInteger(*argument));
            i += 2;
        } else if (kind == '.') {
            size_t end = i + 2;
            int decimals = 0;
            while (end < format.size() && format[end] >= '0' && format[end] <= '9' &&
                   decimals < 100) {
                decimals = decimals * 10 + (format[end] - '0');
                ++end;
            }
            if (end < format.size() && format[end] == 'f' && end > i + 2) {
                if (const auto* argument = takeArgument())
                    out += FormatFixed(AsFigure(*argument), decimals, locale.DecimalSeparator);
                i = end + 1;
            } else {
                out += c;
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}
