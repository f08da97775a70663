#pragma once

#include <string>
#include <system_error>

// The user's temporary folder (TMPDIR or /tmp on POSIX, GetTempPath on Windows).
std::string TempFolder();

// Creates a new empty file in the temporary folder, exclusively, named `prefix`, a unique
// part and ".tmp", and returns its full path. On failure returns an empty string and sets
// `error` to the system's error code.
std::string CreateUniqueTempFile(const std::string& prefix, std::error_code& error);
