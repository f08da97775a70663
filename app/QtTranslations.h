#pragma once

class QCoreApplication;

// Loads Qt's own translations (the texts of its dialogs and standard buttons: the folder
// picker, Yes and No) for the user's language, so that they speak it as the window does.
// German follows the same test as the window's own texts. Without a translation installed
// for the language Qt's dialogs stay English. Returns whether a translation was loaded.
bool InstallQtTranslations(QCoreApplication& application);
