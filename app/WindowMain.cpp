// The window program, which the program becomes when a window is asked for; started on its
// own, it answers the command line as the program does.
#include "DisplayFailureExit.h"
#include "QtTranslations.h"
#include "QuietQtStart.h"
#include "StartCommand.h"
#include "TForm1.h"
#include "cli/CommandLine.h"
#include "platform/shell/DesktopShell.h"
#include "scan/InterfaceTexts.h"

#include <QApplication>
#include <QIcon>
#include <memory>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    const CommandLine command =
        ParseCommandLine(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argv + argc));
    if (const std::optional<int> status = RunCommandWithoutWindow(command)) {
        return *status;
    }
    auto quietStart = std::make_unique<QuietQtStart>();
    // A display named but gone is said the same way as none at all.
    auto displayFailure = std::make_unique<DisplayFailureExit>(TextsFor(IsGermanUser()).NoDisplay);
    QApplication application(argc, argv);
    displayFailure.reset();
    quietStart.reset();
    InstallQtTranslations(application);
    QApplication::setApplicationName(QStringLiteral("Bulkon"));
    QApplication::setOrganizationName(QStringLiteral("Vantrel"));
    QIcon icon;
    for (const char* size : {"16", "24", "32", "48", "64", "128", "256"}) {
        icon.addFile(QStringLiteral(":/icons/bulkon-") + QLatin1String(size));
    }
    QApplication::setWindowIcon(icon);

    const std::unique_ptr<ShellServices> shell = CreateDesktopShellServices();
    TForm1 form(*shell);
    if (!command.Folder.empty()) {
        form.SetStartupRoot(command.Folder);
    }
    form.show();
    return application.exec();
}
