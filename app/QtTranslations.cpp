#include "QtTranslations.h"

#include "scan/InterfaceTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallQtTranslations(QCoreApplication& application) {
    const QLocale language = IsGermanUser() ? QLocale(QLocale::German) : QLocale::system();
    auto* translator = new QTranslator(&application);
    // "qtbase" holds the texts of the widgets' dialogs and of the standard buttons.
    if (!translator->load(language, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
