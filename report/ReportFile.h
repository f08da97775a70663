#pragma once

#include <string>

// Writes `page` to a new file in the temporary folder, named "htm", a unique part and
// ".tmp", created exclusively, and returns the file's full path. The file holds the page's
// bytes unchanged followed by CR LF. Report files are never deleted: the view may still be
// loading an earlier one.
//
// Throws std::system_error carrying the system's error code, with a message naming the
// folder or file, when the file cannot be created, opened, written or closed.
std::string WriteReportFile(const std::string& page);

// Writes `page` and CR LF to the file at `path`, emptying it first. Opening, writing and
// closing are each checked; a failure throws std::system_error as WriteReportFile does.
void WritePageFile(const std::string& path, const std::string& page);
