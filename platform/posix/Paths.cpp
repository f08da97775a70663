#include "platform/fs/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

std::string CurrentFolder() {
    std::vector<char> buffer(256);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            return std::string(buffer.data());
        }
        if (errno != ERANGE) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

} // namespace

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

void AppendPathName(std::string& path, std::string_view name) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
}

FileLocation SplitFileLocation(const std::string& fullPath) {
    std::size_t cut = fullPath.rfind('/');
    if (cut == std::string::npos) {
        return {std::string(), fullPath};
    }
    return {fullPath.substr(0, cut + 1), fullPath.substr(cut + 1)};
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::string full = path;
    if (path.front() != '/') {
        const std::string current = CurrentFolder();
        if (current.empty()) {
            return path;
        }
        full = JoinPath(current, path);
    }

    std::vector<std::string> parts;
    std::size_t lastParent = std::string::npos; // the index of the last ".." part
    for (std::size_t start = 0; start <= full.size();) {
        std::size_t end = full.find('/', start);
        if (end == std::string::npos) {
            end = full.size();
        }
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            lastParent = parts.size();
        }
        if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }

    std::string result = "/";
    std::size_t next = 0;
    if (lastParent != std::string::npos) {
        // "link/.." is the folder above the link's target, not the folder holding the link:
        // only the system can tell, so everything up to the last ".." is resolved on disk.
        std::string head = "/";
        for (std::size_t i = 0; i <= lastParent; ++i) {
            head = JoinPath(head, parts[i]);
        }
        const std::string resolved = RealPath(head);
        result = resolved.empty() ? head : resolved;
        next = lastParent + 1;
    }
    for (std::size_t i = next; i < parts.size(); ++i) {
        result = JoinPath(result, parts[i]);
    }
    return result;
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
