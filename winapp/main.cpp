// The native Windows program: one window, scanning the system drive at start, or the folder
// named on the command line.
#include "TForm1.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleCommand.h"
#include "platform/win32/WideText.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
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

// A window program has no console of its own: what the command line prints goes where the
// output was sent (a file, a pipe), else to the console it was started from, or a new one.
void ConnectConsole() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE &&
        GetFileType(output) != FILE_TYPE_UNKNOWN) {
        return;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        AllocConsole();
    }
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const CommandLine command = ParseCommandLine(ProgramArguments());
    if (command.Mode != CommandMode::Window) {
        ConnectConsole();
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
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, ToWide(error.what()).c_str(), L"Bulkon", MB_OK | MB_ICONERROR);
    }
    if (oleReady) {
        OleUninitialize();
    }
    return exitCode;
}
