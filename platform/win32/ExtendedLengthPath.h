#pragma once

#include <string>

// `path` (absolute or relative, "\" or "/" as separators) in the extended-length form
// that Windows opens without the MAX_PATH limit: "\\?\C:\..." for a drive path and
// "\\?\UNC\server\share\..." for a share. A path already in that form is returned as
// it is. A drive alone ("C:") becomes its root ("\\?\C:\" and the rest).
std::wstring ExtendedLengthPath(const std::wstring& path);

// The search pattern that lists every entry of the folder `path`, in extended-length form.
std::wstring ListingPattern(const std::wstring& path);
