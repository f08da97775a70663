#include "ExtendedPath.h"

#include "WideText.h"
#include "Win32Api.h"

#include <vector>

namespace {

constexpr std::wstring_view ExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view ExtendedUncPrefix = L"\\\\?\\UNC\\";
// "\\.\" names a device; its paths take no prefix either.
constexpr std::wstring_view DevicePrefix = L"\\\\.\\";

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

} // namespace

std::wstring ExtendedLengthPath(std::wstring_view path) {
    if (path.starts_with(ExtendedPrefix) || path.starts_with(DevicePrefix)) {
        return std::wstring(path);
    }
    std::wstring plain(path);
    for (wchar_t& c : plain) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    // "C:" alone would name the drive's current folder, not its root.
    if (plain.size() == 2 && IsDriveLetter(plain[0]) && plain[1] == L':') {
        plain += L'\\';
    }
    if (plain.size() >= 3 && IsDriveLetter(plain[0]) && plain[1] == L':' && plain[2] == L'\\') {
        return std::wstring(ExtendedPrefix) + plain;
    }
    if (plain.size() > 2 && plain[0] == L'\\' && plain[1] == L'\\' && plain[2] != L'\\') {
        return std::wstring(ExtendedUncPrefix) + plain.substr(2);
    }
    return plain;
}

std::wstring ExtendedLengthPath(std::string_view path) {
    return ExtendedLengthPath(std::wstring_view(ToWide(path)));
}

std::wstring ListingPattern(std::wstring_view path) {
    std::wstring pattern = ExtendedLengthPath(path);
    if (pattern.empty() || pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    return pattern;
}

std::wstring PlainPath(std::wstring_view path) {
    if (path.starts_with(ExtendedUncPrefix)) {
        return L"\\\\" + std::wstring(path.substr(ExtendedUncPrefix.size()));
    }
    if (path.starts_with(ExtendedPrefix)) {
        return std::wstring(path.substr(ExtendedPrefix.size()));
    }
    return std::wstring(path);
}

std::wstring ShellReachablePath(std::string_view path) {
    const std::wstring wide = ToWide(path);
    if (wide.size() < MAX_PATH) {
        return wide;
    }
    const std::wstring extended = ExtendedLengthPath(std::wstring_view(wide));
    std::vector<wchar_t> buffer(MAX_PATH + ExtendedUncPrefix.size());
    for (;;) {
        const DWORD length =
            GetShortPathNameW(extended.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            std::wstring shortPath = PlainPath(std::wstring_view(buffer.data(), length));
            // A volume without short names answers with the long path itself.
            return shortPath.size() < MAX_PATH ? shortPath : std::wstring();
        }
        // Too small: the answer is the size needed, terminating zero included.
        buffer.resize(length);
    }
}
