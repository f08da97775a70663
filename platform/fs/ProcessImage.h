#pragma once

#include <string>

// Where the window is a program of its own (POSIX): the command-line program, which loads no
// toolkit, becomes the window program when a window is asked for.

// Runs `program` in place of this process: the same process, with `arguments` (argv, ending
// in a null pointer) and the same environment. Returns only when the program could not be
// started, with the system's reason.
std::string RunInPlaceOfThisProcess(const std::string& program, char* const arguments[]);
