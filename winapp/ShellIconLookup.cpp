#include "ShellIconLookup.h"

#include "platform/win32/Win32Shell.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// Extensions whose files each show their own icon: the shell reads it from the file.
constexpr std::array<std::string_view, 12> OwnIconExtensions = {
    "exe", "ico", "cur", "ani", "lnk", "url", "scr", "cpl", "pif", "icl", "appref-ms", "website",
};

// The file name's extension in lower case (ASCII letters only), or empty for none. Found
// after the last separator, so a dot in a folder's name does not count.
std::string LowerExtension(const std::string& path) {
    const std::size_t nameStart = path.find_last_of("\\/:");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) {
        return std::string();
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}

} // namespace

int ShellIconLookup::SmallIconIndex(const std::string& path) {
    const std::string extension = LowerExtension(path);
    const bool ownIcon = std::find(OwnIconExtensions.begin(), OwnIconExtensions.end(), extension) !=
                         OwnIconExtensions.end();
    if (ownIcon) {
        return ShellSmallIconIndex(path);
    }
    if (const auto known = byExtension_.find(extension); known != byExtension_.end()) {
        return known->second;
    }
    const int index = ShellSmallIconIndex(path);
    // A failure is not kept: the next file of the type asks again.
    if (index >= 0) {
        byExtension_.emplace(extension, index);
    }
    return index;
}
