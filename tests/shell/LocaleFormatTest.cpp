#include "platform/shell/SystemLocaleFormat.h"

#include <QLocale>
#include <QTest>

// The regional formats read from Qt's locale data: what the date and time columns are built
// from.
class LocaleFormatTest : public QObject {
    Q_OBJECT

private slots:
    void ReadsFormatsOfCommonLocales_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("datePattern");
        QTest::addColumn<QString>("timeSeparator");
        QTest::addColumn<bool>("leadingZero");
        QTest::addColumn<bool>("twentyFourHour");
        QTest::addColumn<bool>("designatorBefore");

        QTest::newRow("en_US") << "en_US"
                               << "."
                               << "M/d/yyyy"
                               << ":" << false << false << false;
        QTest::newRow("de_DE") << "de_DE"
                               << ","
                               << "dd.MM.yyyy"
                               << ":" << true << true << false;
        QTest::newRow("en_GB") << "en_GB"
                               << "."
                               << "dd/MM/yyyy"
                               << ":" << true << true << false;
        QTest::newRow("ja_JP") << "ja_JP"
                               << "."
                               << "yyyy/MM/dd"
                               << ":" << false << true << false;
        QTest::newRow("fr_FR") << "fr_FR"
                               << ","
                               << "dd/MM/yyyy"
                               << ":" << true << true << false;
        // The morning/afternoon word stands before the time in Korean.
        QTest::newRow("ko_KR") << "ko_KR"
                               << "."
                               << "yyyy. M. d."
                               << ":" << false << false << true;
        // Without regional settings the date is ISO and the clock runs to 24 hours.
        QTest::newRow("C") << "C"
                           << "."
                           << "yyyy-MM-dd"
                           << ":" << true << true << false;
        // Finnish separates hours and minutes with a full stop.
        QTest::newRow("fi_FI") << "fi_FI"
                               << ","
                               << "d.M.yyyy"
                               << "." << false << true << false;
    }

    void ReadsFormatsOfCommonLocales() {
        QFETCH(QString, locale);
        QFETCH(QString, decimal);
        QFETCH(QString, datePattern);
        QFETCH(QString, timeSeparator);
        QFETCH(bool, leadingZero);
        QFETCH(bool, twentyFourHour);
        QFETCH(bool, designatorBefore);

        const LocaleFormat format = LocaleFormatFrom(QLocale(locale));
        QCOMPARE(QString::fromStdString(format.DecimalSeparator), decimal);
        QCOMPARE(QString::fromStdString(format.ShortDatePattern), datePattern);
        QCOMPARE(QString::fromStdString(format.TimeSeparator), timeSeparator);
        QCOMPARE(format.HourLeadingZero, leadingZero);
        QCOMPARE(format.TwentyFourHour, twentyFourHour);
        QCOMPARE(format.DesignatorBeforeTime, designatorBefore);
    }

    void TakesDesignatorsFromTheLocale() {
        const LocaleFormat american = LocaleFormatFrom(QLocale(QStringLiteral("en_US")));
        QCOMPARE(american.AmDesignator, std::string("AM"));
        QCOMPARE(american.PmDesignator, std::string("PM"));

        const QLocale korean(QStringLiteral("ko_KR"));
        const LocaleFormat koreanFormat = LocaleFormatFrom(korean);
        QCOMPARE(QString::fromStdString(koreanFormat.AmDesignator), korean.amText());
        QCOMPARE(QString::fromStdString(koreanFormat.PmDesignator), korean.pmText());
        QVERIFY(koreanFormat.AmDesignator != koreanFormat.PmDesignator);
    }

    void EveryLocaleGivesAUsablePattern() {
        // Whatever Qt's data holds, the pattern must contain a day, a month and a year field
        // and no field letter from the time formats that the date column cannot fill.
        const QList<QLocale> locales = QLocale::matchingLocales(
            QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        QVERIFY(locales.size() > 100);
        for (const QLocale& locale : locales) {
            const std::string pattern = LocaleFormatFrom(locale).ShortDatePattern;
            std::string unquoted;
            bool quoted = false;
            for (const char c : pattern) {
                if (c == '\'') {
                    quoted = !quoted;
                } else if (!quoted) {
                    unquoted += c;
                }
            }
            QVERIFY2(!quoted, qPrintable(locale.name() + ": unbalanced quote"));
            const bool complete = unquoted.find('d') != std::string::npos &&
                                  unquoted.find('M') != std::string::npos &&
                                  unquoted.find('y') != std::string::npos;
            QVERIFY2(complete, qPrintable(locale.name() + ": " + QString::fromStdString(pattern)));
        }
    }

    void TurnsNamesIntoNumbers_data() {
        QTest::addColumn<QString>("qtFormat");
        QTest::addColumn<QString>("pattern");

        QTest::newRow("numeric") << "dd.MM.yyyy"
                                 << "dd.MM.yyyy";
        QTest::newRow("month name") << "d MMM yyyy"
                                    << "d MM yyyy";
        QTest::newRow("long month name") << "d. MMMM yy"
                                         << "d. MM yyyy";
        QTest::newRow("weekday first") << "ddd, d/M/yyyy"
                                       << "d/M/yyyy";
        QTest::newRow("weekday last") << "yyyy-MM-dd dddd"
                                      << "yyyy-MM-dd";
        QTest::newRow("quoted word") << "d.MM.yy 'г'."
                                     << "d.MM.yyyy' г.'";
        QTest::newRow("quoted field letters") << "'day' d 'of' M yyyy"
                                              << "'day 'd' of 'M yyyy";
        QTest::newRow("escaped quote") << "d''M''yy"
                                       << "dMyyyy";
        QTest::newRow("no date fields") << "'today'"
                                        << "M/d/yyyy";
        QTest::newRow("empty") << ""
                               << "M/d/yyyy";
    }

    void TurnsNamesIntoNumbers() {
        QFETCH(QString, qtFormat);
        QFETCH(QString, pattern);
        QCOMPARE(QString::fromStdString(ShortDatePatternFrom(qtFormat)), pattern);
    }
};

QTEST_GUILESS_MAIN(LocaleFormatTest)
#include "LocaleFormatTest.moc"
