// Qt's own dialogs (the folder picker, the delete question's buttons) in the user's language.
#include "AppTestSupport.h"
#include "app/QtTranslations.h"

#include <QApplication>
#include <QTest>

class QtDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void GermanUsersGetQtsDialogsInGerman();
};

void QtDialogsTest::GermanUsersGetQtsDialogsInGerman() {
    const QString yes = QStringLiteral("&Yes");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), yes);
    {
        ScopedEnvironment german("LC_ALL", "de_DE.UTF-8");
        QVERIFY2(InstallQtTranslations(*qApp), "qt6-translations-l10n is not installed");
    }
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&Nein"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Find Directory"),
             QStringLiteral("Verzeichnis suchen"));
}

QTEST_MAIN(QtDialogsTest)
#include "QtDialogsTest.moc"
