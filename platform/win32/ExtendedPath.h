#pragma once

#include <string>
#include <string_view>

// Paths beyond the system's plain limit of MAX_PATH (260) characters.
//
// The file API takes a path of up to 32,767 characters in its extended-length form: "\\?\"
// before a drive path ("\\?\C:\Data\file"), "\\?\UNC\" in place of the two backslashes of a
// network path ("\\?\UNC\server\share\file"). The form is passed to the system as it
// stands: no "." or ".." is resolved and "/" is not a separator, so it is made only from a
// full path. The shell's own calls (ShellExecute, SHFileOperation) take no such form; they
// get the plain path while it is short enough, else the volume's 8.3 short form of it.

// The extended-length form of the UTF-8 path `path`, with "/" turned into "\". A path that
// already has the form, or that is neither a full drive path ("C:\...") nor a network path
// ("\\server\share..."), is returned converted but otherwise as it stands.
std::wstring ExtendedLengthPath(std::string_view path);
// The same for a wide path.
std::wstring ExtendedLengthPath(std::wstring_view path);
// A drive alone ("C:") names its root in both: "\\?\C:\".

// The search pattern that lists every entry of the folder `path`, in extended-length form.
std::wstring ListingPattern(std::wstring_view path);

// The plain form of an extended-length path ("\\?\C:\x" gives "C:\x", "\\?\UNC\s\x" gives
// "\\s\x"); any other path as it stands.
std::wstring PlainPath(std::wstring_view path);

// A form of the UTF-8 path `path` that a shell call taking at most MAX_PATH characters can
// reach: the path itself while it is shorter than MAX_PATH, else the volume's short (8.3)
// form of it when that exists and is short enough. Empty when there is no such form (the
// file is gone, or the volume keeps no short names).
std::wstring ShellReachablePath(std::string_view path);
