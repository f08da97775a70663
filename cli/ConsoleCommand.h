#pragma once

#include "scan/InterfaceTexts.h"

struct CommandLine;

// The program's exit statuses on the command line.
enum ExitStatus : int {
    ExitCompleted = 0,     // done; with --list: the scan ran to its end
    ExitUnreadable = 1,    // the folder could not be read, the scan failed, the list not written
    ExitWrongUsage = 2,    // the arguments cannot be followed, or the folder is not scanned
    ExitInterrupted = 130, // stopped by Ctrl+C: the list printed is what was found until then
};

// Carries out what the command line asks for when it is not the window: prints the usage,
// the version, or the reason the arguments are wrong (on the error stream), or lists the
// largest files under the folder without a window; its messages and the usage in German
// when `german`. A failure to write is said on the error stream. Returns the exit status.
// Uses no display and no toolkit.
int RunConsoleCommand(const CommandLine& command, bool german = IsGermanUser());
