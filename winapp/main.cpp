// The native Windows program: one window, the scan of the system drive at start.
#include "TForm1.h"

#include <ole2.h>

#include <exception>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The web-browser control is an OLE object active in place in the window; the shell's
    // dialogs want the same apartment.
    const bool oleReady = SUCCEEDED(OleInitialize(nullptr));
    int exitCode = 1;
    try {
        TForm1 form(instance);
        ShowWindow(form.Form1, showCommand);
        UpdateWindow(form.Form1);
        exitCode = form.RunMessageLoop();
    } catch (const std::exception& error) {
        MessageBoxA(nullptr, error.what(), "Bulkon", MB_OK | MB_ICONERROR);
    }
    if (oleReady) {
        OleUninitialize();
    }
    return exitCode;
}
