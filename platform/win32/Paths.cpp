#include "platform/fs/Paths.h"

#include "WideText.h"
#include "Win32Api.h"

#include <vector>

std::string TrimScanRoot(const std::string& path) {
    if (!path.empty() && path.back() == '\\') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

void AppendPathName(std::string& path, std::string_view name) {
    path.push_back('\\');
    path.append(name);
}

FileLocation SplitFileLocation(const std::string& fullPath) {
    // Both separators are ASCII, so a byte search cannot land inside a UTF-8 sequence.
    const std::size_t cut = fullPath.find_last_of("\\:");
    if (cut == std::string::npos) {
        return FileLocation{std::string(), fullPath};
    }
    return FileLocation{fullPath.substr(0, cut + 1), fullPath.substr(cut + 1)};
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return std::string();
    }
    // For the system "D:" is the current folder of drive D; whoever names a drive to scan
    // means all of it.
    if (path.size() == 2 && path[1] == ':') {
        return path + "\\";
    }
    const std::wstring wide = ToWide(path);
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return FromWide(std::wstring_view(buffer.data(), length));
        }
        // Too small: the answer is the size needed, terminating zero included.
        buffer.resize(length);
    }
}

std::string SystemDriveRoot() {
    wchar_t buffer[301] = {};
    const UINT length = GetSystemDirectoryW(buffer, 301);
    // A failed call (or an answer that does not fit) leaves no letter to take; the system
    // drive is then almost certainly C:.
    if (length == 0 || length >= 301) {
        return "C:";
    }
    return FromWide(std::wstring_view(buffer, 1)) + ":";
}

std::string ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::string();
        }
        // A path that filled the buffer may have been cut short.
        if (length < buffer.size()) {
            return FromWide(std::wstring_view(buffer.data(), length));
        }
        if (buffer.size() >= 32768) {
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
}
