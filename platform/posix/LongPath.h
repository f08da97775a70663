#pragma once

#include <cstddef>
#include <string>
#include <sys/stat.h>

// The kernel refuses paths of PATH_MAX bytes and more, while trees may be deeper than that.
// These helpers reach such paths piece by piece, each piece ending at a separator.

// Opens `path` (NUL-terminated, `length` bytes) relative to the folder descriptor `base`
// (AT_FDCWD for the current directory) with `flags`. Returns the descriptor, or -1 with
// errno set.
int OpenLongPath(int base, const char* path, std::size_t length, int flags);

// stat() for a path of any length, following a final link. False with errno set on failure.
bool StatLongPath(const std::string& path, struct stat& st);

// Opens the folder that holds the last name of `path` (a path of any length) for looking up
// its entries, and sets `name` to that last name. Returns the descriptor, which the caller
// closes, or -1 with errno set (ENOENT for a path without a name).
int OpenContainingFolder(const std::string& path, std::string& name);
