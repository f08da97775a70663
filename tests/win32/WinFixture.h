#pragma once

// Fixture trees for the Windows tests, made with the wide API directly (not with the code
// under test) in a new folder under the user's temporary folder, and removed afterwards.

#include "platform/win32/Win32Api.h"

#include <winioctl.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace winfixture {

inline void Check(bool ok, const std::wstring& what) {
    if (!ok) {
        throw std::runtime_error("fixture: " + std::to_string(GetLastError()) + " at " +
                                 std::string(what.begin(), what.end()));
    }
}

// The temporary folder without its trailing backslash.
inline std::wstring TempRoot() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    Check(length > 0 && length <= MAX_PATH, L"GetTempPathW");
    std::wstring folder(buffer, length);
    if (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

inline void MakeFolder(const std::wstring& path) {
    Check(CreateDirectoryW(path.c_str(), nullptr) != FALSE, L"CreateDirectoryW " + path);
}

// A file of `size` bytes whose content is never written: marked sparse where the file
// system supports it (NTFS), and grown by moving its end, which leaves a hole on the file
// systems under Wine. Sizes of several GiB cost no disk space.
inline void MakeFile(const std::wstring& path, std::uint64_t size = 0) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    Check(file != INVALID_HANDLE_VALUE, L"CreateFileW " + path);
    if (size > 0) {
        DWORD returned = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        if (!ok) {
            CloseHandle(file);
            Check(false, L"grow " + path);
        }
    }
    CloseHandle(file);
}

// Sets a file's last-write time, given in seconds since 1970 UTC.
inline void SetLastWrite(const std::wstring& path, std::int64_t unixSeconds) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Check(file != INVALID_HANDLE_VALUE, L"open " + path);
    const auto ticks = static_cast<std::uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    const bool ok = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
    CloseHandle(file);
    Check(ok, L"SetFileTime " + path);
}

// Removes a tree, also when it holds paths longer than MAX_PATH.
inline void RemoveTree(const std::wstring& path) {
    const std::wstring longPath = path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((longPath + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = longPath + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link goes, never what it leads to.
                RemoveDirectoryW(child.c_str());
                DeleteFileW(child.c_str());
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(longPath.c_str());
}

// The root ("R:\\") of a drive set aside for tests: its root folder holds a file named
// "bulkon-test-drive" (.ci/windows maps one under Wine). `driveType` 0 takes any kind of
// drive, else only that kind. Empty when there is none: the test then skips, rather than
// write into the root of a drive that is not meant for it.
inline std::wstring TestDriveRoot(UINT driveType = 0) {
    const DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if ((drives & (1u << letter)) == 0) {
            continue;
        }
        const std::wstring root = {static_cast<wchar_t>(L'A' + letter), L':', L'\\'};
        if (driveType != 0 && GetDriveTypeW(root.c_str()) != driveType) {
            continue;
        }
        if (GetFileAttributesW((root + L"bulkon-test-drive").c_str()) != INVALID_FILE_ATTRIBUTES) {
            return root;
        }
    }
    return std::wstring();
}

// A new, empty folder under the temporary folder, removed with everything in it at the
// end of the test.
class TempTree {
public:
    TempTree() {
        const std::wstring base = TempRoot();
        for (unsigned n = GetCurrentProcessId() * 7919u + GetTickCount();; ++n) {
            path_ = base + L"\\bulkon-test-" + std::to_wstring(n);
            if (CreateDirectoryW(path_.c_str(), nullptr)) {
                return;
            }
            Check(GetLastError() == ERROR_ALREADY_EXISTS, L"CreateDirectoryW " + path_);
        }
    }
    ~TempTree() { RemoveTree(path_); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Makes a link to a folder; false when this system or user cannot.
inline bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2; // ...ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) {
        return false;
    }
    // Some systems answer success without making anything.
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The top folder of a tree with folder links: root\data\big.bin (1,000 bytes),
// root\data\up -> root, root\data\self -> root\data, root\outlink -> outside,
// outside\far.bin (2,000 bytes), outside\back -> root, outside\loop -> outside. Made in
// `tree` where links can be made; under Wine, which makes none for a program, the same tree
// that .ci/windows makes from the Linux side (BULKON_TEST_LINK_TREE). Empty when there is
// neither: the test then skips.
inline std::wstring FolderLinkTree(const TempTree& tree) {
    MakeFolder(tree / L"root");
    MakeFolder(tree / L"root\\data");
    MakeFolder(tree / L"outside");
    if (MakeFolderLink(tree / L"root\\data\\up", tree / L"root")) {
        MakeFile(tree / L"root\\data\\big.bin", 1000);
        MakeFile(tree / L"outside\\far.bin", 2000);
        Check(MakeFolderLink(tree / L"root\\data\\self", tree / L"root\\data"), L"link self");
        Check(MakeFolderLink(tree / L"root\\outlink", tree / L"outside"), L"link outlink");
        Check(MakeFolderLink(tree / L"outside\\back", tree / L"root"), L"link back");
        Check(MakeFolderLink(tree / L"outside\\loop", tree / L"outside"), L"link loop");
        return tree.Path();
    }
    wchar_t prepared[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"BULKON_TEST_LINK_TREE", prepared, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(prepared, length) : std::wstring();
}

} // namespace winfixture
