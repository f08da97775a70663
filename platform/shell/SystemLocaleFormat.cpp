#include "SystemLocaleFormat.h"

#include <QLocale>
#include <QString>
#include <vector>

namespace {

// One piece of a Qt date or time format: a field such as "dd" or "AP", or literal text with
// the quotes already removed.
struct FormatToken {
    bool IsField = false;
    QString Text;
};

bool IsFieldLetter(QChar c) {
    static const QString letters = QStringLiteral("dMyhHmszaAt");
    return letters.contains(c);
}

std::vector<FormatToken> Tokenize(const QString& format) {
    std::vector<FormatToken> tokens;
    auto appendLiteral = [&tokens](const QString& text) {
        if (text.isEmpty()) {
            return;
        }
        if (!tokens.empty() && !tokens.back().IsField) {
            tokens.back().Text += text;
        } else {
            tokens.push_back({false, text});
        }
    };
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted text; a doubled quote stands for the quote character itself, inside
            // quotes and outside.
            if (i + 1 < format.size() && format[i + 1] == u'\'') {
                appendLiteral(QStringLiteral("'"));
                i += 2;
                continue;
            }
            QString text;
            ++i;
            while (i < format.size()) {
                if (format[i] == u'\'') {
                    if (i + 1 < format.size() && format[i + 1] == u'\'') {
                        text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += format[i++];
            }
            appendLiteral(text);
        } else if (IsFieldLetter(c)) {
            qsizetype end = i + 1;
            if (c == u'a' || c == u'A') {
                // "AP" and "ap" are one field, as are "A" and "a".
                if (end < format.size() && (format[end] == u'p' || format[end] == u'P')) {
                    ++end;
                }
            } else {
                while (end < format.size() && format[end] == c) {
                    ++end;
                }
            }
            tokens.push_back({true, format.mid(i, end - i)});
            i = end;
        } else {
            appendLiteral(QString(c));
            ++i;
        }
    }
    return tokens;
}

bool IsSeparatorOnly(const QString& text) {
    for (const QChar c : text) {
        if (c.isLetterOrNumber()) {
            return false;
        }
    }
    return true;
}

// Literal text for the LocaleFormat pattern. Letters are quoted so that a "d" or "y" in a
// word is not taken for a field; a quote character cannot be written in that pattern and is
// left out.
std::string PatternLiteral(const QString& text) {
    QString plain = text;
    plain.remove(u'\'');
    if (plain.isEmpty()) {
        return {};
    }
    bool hasLetter = false;
    for (const QChar c : plain) {
        if (c.isLetter()) {
            hasLetter = true;
        }
    }
    const std::string bytes = plain.toStdString();
    return hasLetter ? "'" + bytes + "'" : bytes;
}

void ApplyTimeFormat(const QString& qtFormat, const QLocale& locale, LocaleFormat& format) {
    const std::vector<FormatToken> tokens = Tokenize(qtFormat);
    std::ptrdiff_t hourAt = -1;
    std::ptrdiff_t designatorAt = -1;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].IsField) {
            continue;
        }
        const QChar letter = tokens[i].Text.front();
        if (hourAt < 0 && (letter == u'h' || letter == u'H')) {
            hourAt = static_cast<std::ptrdiff_t>(i);
        } else if (designatorAt < 0 && (letter == u'a' || letter == u'A')) {
            designatorAt = static_cast<std::ptrdiff_t>(i);
        }
    }
    if (hourAt < 0) {
        return;
    }
    format.HourLeadingZero = tokens[static_cast<std::size_t>(hourAt)].Text.size() >= 2;
    format.TwentyFourHour = designatorAt < 0;
    format.DesignatorBeforeTime = designatorAt >= 0 && designatorAt < hourAt;

    // The separator is whatever stands between the hours and the minutes.
    QString separator;
    bool minutesFollow = false;
    for (std::size_t i = static_cast<std::size_t>(hourAt) + 1; i < tokens.size(); ++i) {
        if (tokens[i].IsField) {
            minutesFollow = tokens[i].Text.front() == u'm';
            break;
        }
        separator += tokens[i].Text;
    }
    if (minutesFollow) {
        format.TimeSeparator = separator.toStdString();
    }

    QString am = locale.amText();
    QString pm = locale.pmText();
    if (designatorAt >= 0) {
        // "A"/"AP" show the texts in capitals, "a"/"ap" in small letters.
        const bool upper = tokens[static_cast<std::size_t>(designatorAt)].Text.front() == u'A';
        am = upper ? am.toUpper() : am.toLower();
        pm = upper ? pm.toUpper() : pm.toLower();
    }
    if (!am.isEmpty()) {
        format.AmDesignator = am.toStdString();
    }
    if (!pm.isEmpty()) {
        format.PmDesignator = pm.toStdString();
    }
}

} // namespace

std::string ShortDatePatternFrom(const QString& qtFormat) {
    std::vector<FormatToken> tokens = Tokenize(qtFormat);
    // A weekday name has no number to stand for it: it goes, with the separator that ties
    // it to the rest ("ddd, d.M.yy" gives "d.M.yy").
    for (std::size_t i = 0; i < tokens.size();) {
        const FormatToken& token = tokens[i];
        if (!(token.IsField && token.Text.startsWith(u'd') && token.Text.size() >= 3)) {
            ++i;
            continue;
        }
        if (i + 1 < tokens.size() && !tokens[i + 1].IsField &&
            IsSeparatorOnly(tokens[i + 1].Text)) {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i),
                         tokens.begin() + static_cast<std::ptrdiff_t>(i + 2));
        } else if (i > 0 && !tokens[i - 1].IsField && IsSeparatorOnly(tokens[i - 1].Text)) {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i - 1),
                         tokens.begin() + static_cast<std::ptrdiff_t>(i + 1));
            --i;
        } else {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    std::string pattern;
    bool hasField = false;
    for (const FormatToken& token : tokens) {
        if (!token.IsField) {
            pattern += PatternLiteral(token.Text);
            continue;
        }
        const QChar letter = token.Text.front();
        const qsizetype count = token.Text.size();
        hasField = hasField || letter == u'd' || letter == u'M' || letter == u'y';
        if (letter == u'd') {
            pattern += count == 1 ? "d" : "dd";
        } else if (letter == u'M') {
            // A month name becomes the month's number with two digits.
            pattern += count == 1 ? "M" : "MM";
        } else if (letter == u'y') {
            // Always four digits: with two, a file from 1926 and one from 2026 look alike.
            pattern += "yyyy";
        }
        // A time field in a date format has no place in the date column and is dropped.
    }
    if (!hasField) {
        return LocaleFormat().ShortDatePattern;
    }
    return pattern;
}

LocaleFormat LocaleFormatFrom(const QLocale& locale) {
    LocaleFormat format;
    const QString decimal = locale.decimalPoint();
    if (!decimal.isEmpty()) {
        format.DecimalSeparator = decimal.toStdString();
    }
    // Without regional settings (LANG unset, or C/POSIX) Qt offers "d MMM yyyy", whose month
    // name has no numeric form that reads well ("20 05 2026"); the ISO date is what such a
    // user expects.
    format.ShortDatePattern = locale.language() == QLocale::C
                                  ? std::string("yyyy-MM-dd")
                                  : ShortDatePatternFrom(locale.dateFormat(QLocale::ShortFormat));
    ApplyTimeFormat(locale.timeFormat(QLocale::ShortFormat), locale, format);
    return format;
}

LocaleFormat ReadSystemLocaleFormat() {
    return LocaleFormatFrom(QLocale::system());
}
