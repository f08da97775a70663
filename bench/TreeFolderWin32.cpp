#include "TreeFolder.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Api.h"

#include <winioctl.h>

#include <system_error>

namespace {

[[noreturn]] void ThrowLastError(const std::string& what) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

// Closes a handle on every way out of a scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Generated trees go deeper than MAX_PATH: a full path is handed over in its long form.
std::wstring LongPath(const std::string& path) {
    const std::wstring wide = ToWide(path);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') {
        return L"\\\\?\\" + wide;
    }
    return wide;
}

} // namespace

const std::string_view TreeFolder::OddNamePart = "\xC3\xA9t\xC3\xA9";
const char TreeFolder::Separator = '\\';

std::string TreeFolder::NameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

std::string TreeFolder::Fit(std::string name) {
    while (name.size() > 1 && (name.back() == '.' || name.back() == ' ')) {
        name.pop_back();
    }
    return name;
}

void TreeFolder::EnsureEmpty(const std::string& folder) {
    const std::wstring wide = LongPath(folder);
    if (CreateDirectoryW(wide.c_str(), nullptr)) {
        return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        ThrowLastError("cannot create folder " + folder);
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((wide + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        ThrowLastError("cannot open folder " + folder);
    }
    bool empty = true;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") {
            empty = false;
            break;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    if (!empty) {
        throw std::system_error(ERROR_DIR_NOT_EMPTY, std::system_category(),
                                "the folder for a new tree must be empty: " + folder);
    }
}

void TreeFolder::Make(const std::string& path) {
    if (!CreateDirectoryW(LongPath(path).c_str(), nullptr)) {
        ThrowLastError("cannot create folder " + path);
    }
}

TreeFolder::TreeFolder(const std::string& path) : path_(path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ThrowLastError("cannot open folder " + path);
    }
}

TreeFolder::~TreeFolder() = default;

void TreeFolder::EnterNewFolder(const std::string& name, const std::string& shownAs) {
    const std::string child = path_ + Separator + name;
    if (!CreateDirectoryW(LongPath(child).c_str(), nullptr)) {
        ThrowLastError("cannot create folder " + shownAs);
    }
    path_ = child;
}

void TreeFolder::MakeFolderLink(const std::string& name, const std::string& target,
                                const std::string& shownAs) {
    // Without developer mode or the privilege Windows refuses this; the caller is told.
    constexpr DWORD allowUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkW(LongPath(path_ + Separator + name).c_str(), ToWide(target).c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | allowUnprivileged)) {
        ThrowLastError("cannot create link " + shownAs);
    }
}

void TreeFolder::MakeFile(const std::string& name, const GeneratedFile& file) {
    const std::wstring path = LongPath(path_ + Separator + name);
    FileHandle handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Get() == INVALID_HANDLE_VALUE) {
        ThrowLastError("cannot create file " + file.Path);
    }
    if (file.SizeBytes > 0) {
        // Marked sparse where the file system knows it (NTFS); elsewhere, under the
        // emulator among them, moving the end leaves a hole anyway.
        DWORD returned = 0;
        DeviceIoControl(handle.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(file.SizeBytes);
        if (!SetFilePointerEx(handle.Get(), end, nullptr, FILE_BEGIN) ||
            !SetEndOfFile(handle.Get())) {
            ThrowLastError("cannot set the size of " + file.Path);
        }
    }
    const auto ticks = static_cast<std::uint64_t>(file.LastWriteTime + 11644473600LL) * 10000000ULL;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    if (!SetFileTime(handle.Get(), nullptr, nullptr, &time)) {
        ThrowLastError("cannot set the time of " + file.Path);
    }
}
