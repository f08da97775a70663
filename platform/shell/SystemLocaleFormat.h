#pragma once

#include "scan/LocaleFormat.h"

class QLocale;
class QString;

// Reads the user's regional formats from the system locale (decimal separator, short date,
// time style). Never fails: what a locale does not say keeps the defaults of LocaleFormat.
LocaleFormat ReadSystemLocaleFormat();

// The regional formats of `locale`: its decimal point, its short date format turned into
// the LocaleFormat pattern (day and month names become numbers, weekday names are left
// out), and the hour style, separator and AM/PM texts of its short time format.
LocaleFormat LocaleFormatFrom(const QLocale& locale);

// A Qt date format ("dd.MM.yy", "ddd, d MMM yyyy") as a LocaleFormat short date pattern: day
// and month names become numbers ("MMM" gives "MM"), a weekday name goes with the separator
// that ties it to the rest, literal text that holds letters is quoted. A format without any
// date field gives the default pattern.
std::string ShortDatePatternFrom(const QString& qtFormat);
