#include "FolderHandle.h"

#include "ExtendedPath.h"
#include "WideText.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::wstring_view UncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view VolumePrefix = L"\\\\?\\Volume{";

// The final path of `handle` in the form `volumeForm` asks for; empty on failure.
std::wstring FinalPathIn(HANDLE handle, DWORD volumeForm) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED | volumeForm);
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // Too small: the answer is the size needed, terminating zero included.
        path.resize(length);
    }
}

// The length of the part of `path` that names its volume's top folder, with its trailing
// backslash; one more than the path's length when that backslash is missing.
std::size_t VolumeTopLength(std::wstring_view path) {
    // Two names after "\\?\UNC\" (server and share), one after "\\?\" ("C:", "Volume{...}").
    std::size_t names = 1;
    std::size_t at = 4;
    if (path.starts_with(UncPrefix)) {
        names = 2;
        at = UncPrefix.size();
    }
    for (; names > 0 && at <= path.size(); --names) {
        const std::size_t separator = path.find(L'\\', at);
        at = separator == std::wstring_view::npos ? path.size() + 1 : separator + 1;
    }
    return std::min(at, path.size() + 1);
}

} // namespace

FileHandle OpenHandle(const std::wstring& path, DWORD access, DWORD flags, OpenFailure& failure) {
    FileHandle handle(CreateFileW(path.c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
    failure = OpenFailure::None;
    if (!handle.IsOpen()) {
        const DWORD error = GetLastError();
        failure = error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NO_SYSTEM_RESOURCES
                      ? OpenFailure::OutOfHandles
                      : OpenFailure::Unreadable;
    }
    return handle;
}

NodeIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return NodeIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                            info.nFileIndexLow};
}

std::wstring FinalPathOf(HANDLE handle) {
    std::wstring path = FinalPathIn(handle, VOLUME_NAME_DOS);
    // A volume mounted only at a folder has no drive letter to name it by.
    return path.empty() ? FinalPathIn(handle, VOLUME_NAME_GUID) : path;
}

std::wstring PathWithinVolume(HANDLE handle) {
    // Room for the longest path there is.
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(DWORD));
    auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, name,
                                      static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) {
        return std::wstring();
    }
    return std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

std::wstring VolumeTopOfPath(std::wstring_view path) {
    std::wstring top(path.substr(0, VolumeTopLength(path)));
    if (top.size() < VolumeTopLength(path)) {
        top += L'\\';
    }
    return top;
}

std::wstring ParentFolderPath(std::wstring_view path) {
    const std::size_t top = VolumeTopLength(path);
    const std::size_t lastSeparator = path.rfind(L'\\');
    if (lastSeparator != std::wstring_view::npos && lastSeparator + 1 > top) {
        return std::wstring(path.substr(0, lastSeparator));
    }
    return VolumeTopOfPath(path);
}

std::string PlainPathText(std::wstring_view path) {
    if (path.starts_with(VolumePrefix)) {
        return FromWide(path);
    }
    return FromWide(PlainPath(path));
}

std::int64_t UnixSecondsOfTicks(std::int64_t ticks) {
    constexpr std::int64_t ticksPerSecond = 10000000;
    // Seconds from 1601-01-01, where the system's times begin, to 1970-01-01.
    constexpr std::int64_t secondsBefore1970 = 11644473600;
    const std::int64_t seconds = ticks / ticksPerSecond - (ticks % ticksPerSecond < 0 ? 1 : 0);
    return seconds - secondsBefore1970;
}
