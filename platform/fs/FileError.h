#pragma once

#include <system_error>

// The error code of a file operation of the C and C++ libraries that failed with `savedErrno`.
// It compares equal to the std::errc value of that errno. Its message is the system's own
// text in the user's language: strerror's on POSIX; on Windows the system's message for
// the matching Windows error, since the library's own texts there are English only.
std::error_code FileOperationError(int savedErrno);
