#include "scan/TextFormat.h"

#include "platform/fs/LocalTime.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

LocaleFormat EnglishLocale() {
    return LocaleFormat{};
}

LocaleFormat GermanLocale() {
    LocaleFormat locale;
    locale.DecimalSeparator = ",";
    locale.ShortDatePattern = "dd.MM.yyyy";
    locale.TimeSeparator = ":";
    locale.HourLeadingZero = true;
    locale.TwentyFourHour = true;
    return locale;
}

LocalDateTime At(int year, int month, int day, int hour, int minute, int second) {
    return LocalDateTime{year, month, day, hour, minute, second};
}

} // namespace

TEST(FormatFixed, RoundsHalvesAwayFromZeroAtTheLastDecimal) {
    EXPECT_EQ(FormatFixed(0.125L, 2, "."), "0.13");
    EXPECT_EQ(FormatFixed(39.0625L, 3, "."), "39.063");
    EXPECT_EQ(FormatFixed(-0.125L, 2, "."), "-0.13");
    EXPECT_EQ(FormatFixed(0.124L, 2, "."), "0.12");
    EXPECT_EQ(FormatFixed(12.5L, 0, "."), "13");
}

TEST(FormatFixed, PadsAndCarriesIntoNewDigits) {
    EXPECT_EQ(FormatFixed(0, 2, "."), "0.00");
    EXPECT_EQ(FormatFixed(5, 2, "."), "5.00");
    EXPECT_EQ(FormatFixed(0.0049L, 2, "."), "0.00");
    EXPECT_EQ(FormatFixed(0.005L, 2, "."), "0.01");
    EXPECT_EQ(FormatFixed(9.995L, 2, "."), "10.00");
    EXPECT_EQ(FormatFixed(99.9996L, 3, "."), "100.000");
    EXPECT_EQ(FormatFixed(0.0001L, 3, "."), "0.000");
    // A tiny negative figure that rounds to zero shows no sign.
    EXPECT_EQ(FormatFixed(-0.0001L, 2, "."), "0.00");
}

TEST(FormatFixed, WritesLargeFiguresWithoutThousandsSeparators) {
    EXPECT_EQ(FormatFixed(4194304.0L, 2, "."), "4194304.00");
    EXPECT_EQ(FormatFixed(1e20L, 2, "."), "100000000000000000000.00");
    EXPECT_EQ(FormatFixed(1234567.891L, 2, ","), "1234567,89");
}

TEST(FormatFixed, UsesTheLocaleDecimalSeparator) {
    EXPECT_EQ(FormatFixed(5, 2, ","), "5,00");
    EXPECT_EQ(FormatFixed(0.05L, 3, ","), "0,050");
    EXPECT_EQ(FormatFixed(1.5L, 1, "\xD9\xAB"), "1\xD9\xAB"
                                                "5");
}

TEST(FormatFixed, RoundsTheDecimalFigureNotItsBinaryApproximation) {
    // 1.005 is stored a little below or above the half; at 18 significant digits it is the
    // half itself, which rounds up.
    if constexpr (std::numeric_limits<long double>::digits >= 64) {
        EXPECT_EQ(FormatFixed(1.005L, 2, "."), "1.01");
        EXPECT_EQ(FormatFixed(2.675L, 2, "."), "2.68");
    } else {
        GTEST_SKIP() << "long double has no more precision than double here";
    }
}

TEST(RoundHalfEven, SendsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5L), 2);
    EXPECT_EQ(RoundHalfEven(3.5L), 4);
    EXPECT_EQ(RoundHalfEven(12.5L), 12);
    EXPECT_EQ(RoundHalfEven(13.5L), 14);
    EXPECT_EQ(RoundHalfEven(0.5L), 0);
    EXPECT_EQ(RoundHalfEven(-2.5L), -2);
    EXPECT_EQ(RoundHalfEven(-3.5L), -4);
}

TEST(RoundHalfEven, RoundsOtherFiguresToTheNearest) {
    EXPECT_EQ(RoundHalfEven(2.4999L), 2);
    EXPECT_EQ(RoundHalfEven(2.5001L), 3);
    EXPECT_EQ(RoundHalfEven(-0.7L), -1);
    EXPECT_EQ(RoundHalfEven(0), 0);
    EXPECT_EQ(RoundHalfEven(1e30L), std::numeric_limits<std::int64_t>::max());
}

TEST(SizeText, PutsAtMostTwoSeparators) {
    EXPECT_EQ(SizeText(0), "0");
    EXPECT_EQ(SizeText(999), "999");
    EXPECT_EQ(SizeText(1000), "1\u00b4000");
    EXPECT_EQ(SizeText(1234), "1\u00b4234");
    EXPECT_EQ(SizeText(123456), "123\u00b4456");
    EXPECT_EQ(SizeText(1234567), "1\u00b4234\u00b4567");
    EXPECT_EQ(SizeText(123456789), "123\u00b4456\u00b4789");
    EXPECT_EQ(SizeText(1234567890), "1234\u00b4567\u00b4890");
    EXPECT_EQ(SizeText(4294967296), "4294\u00b4967\u00b4296");
    EXPECT_EQ(SizeText(5368709120), "5368\u00b4709\u00b4120");
    EXPECT_EQ(SizeText(std::numeric_limits<std::uint64_t>::max()),
              "18446744073709\u00b4551\u00b4615");
}

TEST(SizeText, LengthGrowsWithTheNumberOfDigits) {
    std::uint64_t value = 1;
    size_t previous = 0;
    for (int digits = 1; digits <= 20; ++digits) {
        const std::string text = SizeText(value);
        EXPECT_GT(text.size(), previous) << digits << " digits";
        const std::uint64_t largest =
            digits < 20 ? value * 10 - 1 : std::numeric_limits<std::uint64_t>::max();
        EXPECT_EQ(text.size(), SizeText(largest).size()) << digits << " digits";
        previous = text.size();
        if (digits < 20)
            value *= 10;
    }
}

TEST(DateColumnText, EnglishTwelveHourClock) {
    const LocaleFormat english = EnglishLocale();
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 13, 4, 9), english), "3/5/2024 1:04:09 PM");
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 0, 30, 0), english), "3/5/2024 12:30:00 AM");
    EXPECT_EQ(DateColumnText(At(2024, 12, 25, 12, 0, 1), english), "12/25/2024 12:00:01 PM");
    EXPECT_EQ(DateColumnText(At(2024, 12, 25, 11, 59, 59), english), "12/25/2024 11:59:59 AM");
}

TEST(DateColumnText, GermanTwentyFourHourClock) {
    const LocaleFormat german = GermanLocale();
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 9, 4, 7), german), "05.03.2024 09:04:07");
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 23, 59, 59), german), "05.03.2024 23:59:59");
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 0, 0, 1), german), "05.03.2024 00:00:01");
}

TEST(DateColumnText, MidnightShowsTheDateAlone) {
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 0, 0, 0), EnglishLocale()), "3/5/2024");
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 0, 0, 0), GermanLocale()), "05.03.2024");
}

TEST(DateColumnText, FollowsTheLocalesTimeStyle) {
    LocaleFormat locale;
    locale.ShortDatePattern = "yyyy-MM-dd";
    locale.TimeSeparator = ".";
    locale.HourLeadingZero = true;
    locale.AmDesignator = "vorm.";
    locale.PmDesignator = "nachm.";
    locale.DesignatorBeforeTime = true;
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 21, 5, 6), locale), "2024-03-05 nachm. 09.05.06");
    locale.AmDesignator.clear();
    EXPECT_EQ(DateColumnText(At(2024, 3, 5, 8, 5, 6), locale), "2024-03-05 08.05.06");
}

TEST(DateColumnText, ShortDatePatternFieldsAndQuotedText) {
    LocaleFormat locale;
    locale.TwentyFourHour = true;
    locale.ShortDatePattern = "d/M/yy";
    EXPECT_EQ(DateColumnText(At(2007, 1, 2, 0, 0, 0), locale), "2/1/07");
    locale.ShortDatePattern = "yyyy'y'M'd'd' o''clock'";
    EXPECT_EQ(DateColumnText(At(2007, 1, 2, 0, 0, 0), locale), "2007y1d2 o'clock");
    // Dates far outside the usual range keep their real year.
    locale.ShortDatePattern = "dd.MM.yyyy";
    EXPECT_EQ(DateColumnText(At(1960, 1, 2, 3, 4, 5), locale), "02.01.1960 3:04:05");
    EXPECT_EQ(DateColumnText(At(2200, 12, 31, 0, 0, 0), locale), "31.12.2200");
}

TEST(FormatText, FillsTheDirectivesInOrder) {
    const LocaleFormat english = EnglishLocale();
    EXPECT_EQ(FormatText("%s has %d%% and %.2f, %.3f",
                         {std::string("x"), std::int64_t{5}, 0.125L, 39.0625L}, english),
              "x has 5% and 0.13, 39.063");
    EXPECT_EQ(FormatText("%.2f", {5.0L}, GermanLocale()), "5,00");
    EXPECT_EQ(FormatText("100 %%", {}, english), "100 %");
}

TEST(FormatText, MissingArgumentsAndStrayPercentSignsAreHarmless) {
    const LocaleFormat english = EnglishLocale();
    EXPECT_EQ(FormatText("%s and %d and %.2f", {std::string("only")}, english), "only and  and ");
    EXPECT_EQ(FormatText("50% off %", {}, english), "50% off %");
    EXPECT_EQ(FormatText("%.xf", {1.0L}, english), "%.xf");
}
