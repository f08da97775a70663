#pragma once

#include "window/ShellServices.h"

#include <memory>

// The shell services of the desktop the program runs on: the freedesktop.org services on
// Linux and other POSIX systems, the Windows shell on Windows.
std::unique_ptr<ShellServices> CreateDesktopShellServices();
