// The user's regional formats as the Windows window reads them.

#include "winapp/WindowsLocaleFormat.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsLocaleFormat, ShortDatePatternsKeepNumbersAndQuotedText) {
    EXPECT_EQ(ShortDatePatternFromWindows("M/d/yyyy"), "M/d/yyyy");
    EXPECT_EQ(ShortDatePatternFromWindows("dd.MM.yyyy"), "dd.MM.yyyy");
    EXPECT_EQ(ShortDatePatternFromWindows("yyyy-MM-dd"), "yyyy-MM-dd");
    // Years always with four digits: with two, 1926 and 2026 look alike.
    EXPECT_EQ(ShortDatePatternFromWindows("d/M/yy"), "d/M/yyyy");
    // Month names become numbers, weekday names and eras go, quoted text stays.
    EXPECT_EQ(ShortDatePatternFromWindows("dddd, MMMM d, yyyy"), "MM d, yyyy");
    EXPECT_EQ(ShortDatePatternFromWindows("d. MMM yyyy"), "d. MM yyyy");
    EXPECT_EQ(ShortDatePatternFromWindows("gg yyyy/MM/dd"), " yyyy/MM/dd");
    EXPECT_EQ(ShortDatePatternFromWindows("yyyy'年'M'月'd'日'"), "yyyy'年'M'月'd'日'");
    // Nothing to show a date with: the default pattern.
    EXPECT_EQ(ShortDatePatternFromWindows("dddd"), "M/d/yyyy");
    EXPECT_EQ(ShortDatePatternFromWindows(""), "M/d/yyyy");
}

TEST(WindowsLocaleFormat, TheSystemsFormatsAreRead) {
    const LocaleFormat format = ReadWindowsLocaleFormat();
    EXPECT_FALSE(format.DecimalSeparator.empty());
    EXPECT_FALSE(format.TimeSeparator.empty());
    EXPECT_NE(format.ShortDatePattern.find('y'), std::string::npos);
    if (!format.TwentyFourHour) {
        EXPECT_FALSE(format.AmDesignator.empty());
        EXPECT_FALSE(format.PmDesignator.empty());
    }
}

} // namespace
