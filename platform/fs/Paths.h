#pragma once

#include <string>
#include <string_view>

// The platform's path rules, so that the scan engine and the window build paths alike.

// A scan root loses one trailing separator ("C:\" becomes "C:", "/home/u/" becomes
// "/home/u"); the POSIX root "/" stays "/".
std::string TrimScanRoot(const std::string& path);

// Folder and name joined with one separator; on POSIX "/" + name for the root, never "//".
std::string JoinPath(const std::string& folder, const std::string& name);

// Appends the separator and `name` to `path` in place, by the same rule as JoinPath: a walk
// keeps one path and cuts it back to its old length on the way up.
void AppendPathName(std::string& path, std::string_view name);

// A full path cut after its last separator (on Windows also after a ':'): the location
// keeps the separator ("/data/" and "a.iso"; "C:\Data\" and "a.iso").
struct FileLocation {
    std::string Location;
    std::string FileName;
};
FileLocation SplitFileLocation(const std::string& fullPath);

// `path` as a full path: a relative path is taken from the current folder, "." parts and
// repeated separators are dropped. On POSIX a ".." part is resolved on disk (as the kernel
// would, through links), the parts after it are kept as written; on Windows the system's
// rules apply, and a bare drive ("D:") means the drive's root. Empty for an empty path; the
// path as given when the current folder cannot be found.
std::string AbsolutePath(const std::string& path);

// The root scanned at start-up: "/" on POSIX; the system folder's drive letter and ":" on
// Windows ("C:").
std::string SystemDriveRoot();

// The full path of the running program's executable file.
std::string ProgramPath();
