#include "DisplayFailureExit.h"
#include "QtTranslations.h"
#include "QuietQtStart.h"
#include "TForm1.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleCommand.h"
#include "platform/shell/DesktopShell.h"
#include "scan/InterfaceTexts.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {
bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Without a display Qt's platform plugin aborts the program with a long, cryptic message;
// say instead how to run it.
bool DisplayAvailable() {
#ifdef BULKON_NEEDS_DISPLAY_VARIABLE
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
#else
    (void)IsSet;
    return true;
#endif
}
} // namespace

int main(int argc, char* argv[]) {
    // The arguments are read before anything of the toolkit starts: the usage, wrong
    // arguments and the list without a window need no display.
    const CommandLine command =
        ParseCommandLine(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argv + argc));
    if (command.Mode != CommandMode::Window) {
        return RunConsoleCommand(command);
    }

    if (!DisplayAvailable()) {
        const std::string_view message = TextsFor(IsGermanUser()).NoDisplay;
        std::fwrite(message.data(), 1, message.size(), stderr);
        return 1;
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
