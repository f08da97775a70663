#pragma once

#include "scan/LocaleFormat.h"

#include <string>

// Reads the user's regional formats from the system (decimal separator, short date, time
// style). Never fails: what cannot be read keeps the defaults of LocaleFormat.
LocaleFormat ReadWindowsLocaleFormat();

// A Windows short date format ("dd.MM.yyyy", "dddd, MMMM d, yyyy") as a LocaleFormat
// pattern: month names become numbers ("MMM" gives "MM"), a weekday name goes together with
// the separator that follows it, era marks ("g", "gg") are left out, quoted text stays.
// A format without a day, month or year gives the default pattern.
std::string ShortDatePatternFromWindows(const std::string& format);
