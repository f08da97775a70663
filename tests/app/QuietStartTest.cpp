// The program writes nothing but its report pages: started without XDG_RUNTIME_DIR and with
// an empty home, it leaves the home empty and the temporary folder without a runtime folder,
// through Qt's start, a scan and its folder picker. Its own main: the checks concern what
// happens while the QApplication is created.
#include "AppTestSupport.h"
#include "app/QuietQtStart.h"
#include "platform/shell/DesktopShellServices.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "FAIL: %s\n", what);
        ++failures;
    }
}

std::string MakeFolder(const char* name) {
    std::string pattern = QDir::tempPath().toStdString() + "/" + name + "-XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

QStringList Contents(const std::string& folder) {
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

int main(int argc, char* argv[]) {
    const std::string temporary = MakeFolder("bulkon-quiet-tmp");
    const std::string home = MakeFolder("bulkon-quiet-home");
    if (temporary.empty() || home.empty()) {
        std::fprintf(stderr, "FAIL: cannot make the test's folders\n");
        return 1;
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", temporary.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    {
        auto quietStart = std::make_unique<QuietQtStart>();
        QApplication application(argc, argv);
        quietStart.reset();
        Check(std::getenv("TMPDIR") != nullptr && std::getenv("TMPDIR") == temporary,
              "the temporary folder is put back after Qt's start");

        TestTree tree;
        tree.AddFile("one.bin", 4096);
        FakeShellServices shell;
        TForm1 form(shell);
        form.SetMessageBoxHook([](const QString& message) {
            std::fprintf(stderr, "FAIL: message %s\n", qPrintable(message));
            ++failures;
        });
        form.SetStartupRoot(tree.Root());
        Check(ShowAndWaitForStartupScan(form), "the start-up scan ran");

        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->reject();
            }
        });
        DesktopShellServices desktop;
        Check(desktop.BrowseForFolder().empty(), "the cancelled picker answers nothing");
        form.close();
    }

    Check(Contents(home).isEmpty(), "the home folder stays empty");
    for (const QString& name : Contents(temporary)) {
        Check(name.startsWith(QLatin1String("htm")) && name.endsWith(QLatin1String(".tmp")),
              ("only report pages in the temporary folder, not " + name.toStdString()).c_str());
    }
    QDir(QString::fromStdString(temporary)).removeRecursively();
    QDir(QString::fromStdString(home)).removeRecursively();
    if (failures == 0) {
        std::printf("PASS: nothing written but report pages\n");
    }
    return failures == 0 ? 0 : 1;
}
