// The native Windows program: one window, scanning the system drive at start, or the folder
// named on the command line.
#include "TForm1.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleCommand.h"
#include "platform/win32/WideText.h"
#include "scan/InterfaceTexts.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The program's arguments, without its own name, as UTF-8.
std::vector<std::string> ProgramArguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        arguments.push_back(FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool IsOpenStream(DWORD which) {
    const HANDLE stream = GetStdHandle(which);
    return stream != nullptr && stream != INVALID_HANDLE_VALUE &&
           GetFileType(stream) != FILE_TYPE_UNKNOWN;
}

// A window program has no console of its own: what the command line prints goes where the
// output was sent (a file, a pipe), else to the console it was started from, or, when
// `createOne`, a new one. False when there is nowhere to write.
bool ConnectConsole(bool createOne) {
    if (IsOpenStream(STD_OUTPUT_HANDLE) && IsOpenStream(STD_ERROR_HANDLE)) {
        return true;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && !(createOne && AllocConsole())) {
        return false;
    }
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
    return true;
}

// Arguments the program cannot follow: said on the console it was started from, else, as
// after a double-click or a file dropped on the program, in a message box.
int RefuseArguments(const CommandLine& command) {
    if (ConnectConsole(false)) {
        return RunConsoleCommand(command);
    }
    const InterfaceTexts& texts = TextsFor(IsGermanUser());
    MessageBoxW(nullptr, ToWide(ArgumentErrorMessage(command, texts)).c_str(),
                ToWide(texts.Caption).c_str(), MB_OK | MB_ICONERROR);
    return ExitWrongUsage;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const CommandLine command = ParseCommandLine(ProgramArguments());
    if (command.Mode == CommandMode::Invalid) {
        return RefuseArguments(command);
    }
    if (command.Mode != CommandMode::Window) {
        ConnectConsole(true);
        return RunConsoleCommand(command);
    }
    // The web-browser control is an OLE object active in place in the window; the shell's
    // dialogs want the same apartment.
    const bool oleReady = SUCCEEDED(OleInitialize(nullptr));
    int exitCode = 1;
    try {
        TForm1 form(instance);
        if (!command.Folder.empty()) {
            form.SetStartupRoot(command.Folder);
        }
        ShowWindow(form.Form1, showCommand);
        UpdateWindow(form.Form1);
        exitCode = form.RunMessageLoop();
    } catch (const std::runtime_error& error) {
        // The window's own failures carry a message in the user's language.
        MessageBoxW(nullptr, ToWide(error.what()).c_str(), L"Bulkon", MB_OK | MB_ICONERROR);
    } catch (const std::exception&) {
        const InterfaceTexts& texts = TextsFor(IsGermanUser());
        MessageBoxW(nullptr, ToWide(texts.UnexpectedError).c_str(), L"Bulkon",
                    MB_OK | MB_ICONERROR);
    }
    if (oleReady) {
        OleUninitialize();
    }
    return exitCode;
}
