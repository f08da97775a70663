#include "ExtendedLengthPath.h"

#include "Win32Api.h"

#include <vector>

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return path;
    }
    // "C:" alone names the drive's current folder, not its root.
    const std::wstring named = path.size() == 2 && path[1] == L':' ? path + L"\\" : path;
    // The extended form is taken literally: separators, "." and ".." are resolved first.
    std::vector<wchar_t> buffer(named.size() + 300);
    DWORD length =
        GetFullPathNameW(named.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFullPathNameW(named.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                                  nullptr);
    }
    if (length == 0 || length >= buffer.size()) {
        return named;
    }
    const std::wstring full(buffer.data(), length);
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

std::wstring ListingPattern(const std::wstring& path) {
    std::wstring pattern = ExtendedLengthPath(path);
    if (pattern.empty() || pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    return pattern;
}
