#pragma once

#include "cli/CommandLine.h"

#include <optional>

// What the program and the window program do before any window: the arguments are read
// before anything of the toolkit starts, so that the usage, wrong arguments and the list
// without a window need no display. Returns the exit status when the command is done without
// a window; nullopt when the window is to open.
std::optional<int> RunCommandWithoutWindow(const CommandLine& command);
