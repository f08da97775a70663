#pragma once

#include <string>

// The user's regional formats that the program's texts use. The window reads them from the
// system at start and whenever the system announces a change; tests set fixed ones.
struct LocaleFormat {
    // The decimal separator of "%.2f" and "%.3f" figures.
    std::string DecimalSeparator = ".";
    // The short date pattern: d, dd, M, MM, yy, yyyy; text in single quotes, and any other
    // character, is copied as it stands ("M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd").
    std::string ShortDatePattern = "M/d/yyyy";
    // Between hours, minutes and seconds.
    std::string TimeSeparator = ":";
    // Hours with two digits ("09") instead of one or two ("9").
    bool HourLeadingZero = false;
    // A 24-hour clock without designator; otherwise 12-hour with AmDesignator/PmDesignator.
    bool TwentyFourHour = false;
    std::string AmDesignator = "AM";
    std::string PmDesignator = "PM";
    // The designator stands before the time ("AM 9:05:07") instead of after it.
    bool DesignatorBeforeTime = false;
};
