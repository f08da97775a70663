#include "WindowsLocaleFormat.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Api.h"

namespace {

std::string LocaleText(LCTYPE what) {
    wchar_t buffer[128] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buffer, 128);
    if (length <= 1) {
        return std::string();
    }
    return FromWide(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

} // namespace

std::string ShortDatePatternFromWindows(const std::string& format) {
    std::string pattern;
    bool hasField = false;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        if (c == '\'') {
            const std::size_t end = format.find('\'', i + 1);
            const std::size_t stop = end == std::string::npos ? format.size() : end + 1;
            pattern += format.substr(i, stop - i);
            i = stop;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) {
            ++run;
        }
        if (c == 'd' && run >= 3) {
            // A weekday name: left out with the separator that ties it to the date.
            i += run;
            while (i < format.size() && (format[i] == ',' || format[i] == ' ')) {
                ++i;
            }
            continue;
        }
        if (c == 'd' || c == 'M' || c == 'y') {
            hasField = true;
            if (c == 'M' && run >= 3) {
                pattern += "MM";
            } else if (c == 'y') {
                // Always four digits: with two, a file from 1926 and one from 2026 look
                // alike.
                pattern += "yyyy";
            } else {
                pattern += format.substr(i, run);
            }
        } else if (c != 'g') {
            pattern += format.substr(i, run);
        }
        i += run;
    }
    return hasField ? pattern : LocaleFormat().ShortDatePattern;
}

LocaleFormat ReadWindowsLocaleFormat() {
    LocaleFormat format;
    if (const std::string decimal = LocaleText(LOCALE_SDECIMAL); !decimal.empty()) {
        format.DecimalSeparator = decimal;
    }
    if (const std::string shortDate = LocaleText(LOCALE_SSHORTDATE); !shortDate.empty()) {
        format.ShortDatePattern = ShortDatePatternFromWindows(shortDate);
    }
    if (const std::string separator = LocaleText(LOCALE_STIME); !separator.empty()) {
        format.TimeSeparator = separator;
    }
    format.HourLeadingZero = LocaleText(LOCALE_ITLZERO) == "1";
    format.TwentyFourHour = LocaleText(LOCALE_ITIME) == "1";
    format.AmDesignator = LocaleText(LOCALE_S1159);
    format.PmDesignator = LocaleText(LOCALE_S2359);
    format.DesignatorBeforeTime = LocaleText(LOCALE_ITIMEMARKPOSN) == "1";
    return format;
}
