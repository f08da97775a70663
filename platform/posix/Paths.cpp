#include "platform/fs/Paths.h"

#include <unistd.h>
#include <vector>

std::string TrimScanRoot(const std::string& path) {
    if (path.size() > 1 && path.back() == '/') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    // The root already ends in the separator: "/" + "a" is "/a", never "//a".
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path += name;
    return path;
}

FileLocation SplitFileLocation(const std::string& fullPath) {
    std::size_t cut = fullPath.rfind('/');
    if (cut == std::string::npos) {
        return {std::string(), fullPath};
    }
    return {fullPath.substr(0, cut + 1), fullPath.substr(cut + 1)};
}

std::string SystemDriveRoot() {
    return "/";
}

std::string ProgramPath() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        // The link's text may have been cut off: try again with more room.
        buffer.resize(buffer.size() * 2);
    }
}
