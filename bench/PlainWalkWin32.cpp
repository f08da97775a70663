#include "PlainWalk.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Api.h"

#include <string>

namespace {

// `path` is the folder's path; it grows by each subfolder's name on the way down and is cut
// back on the way up, so the walk keeps one path for the whole tree.
void WalkFolder(std::wstring& path, PlainWalkResult& result) {
    const std::size_t length = path.size();
    path += L"\\*.*";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    path.resize(length);
    if (find == INVALID_HANDLE_VALUE) {
        ++result.UnreadableFolders;
        return;
    }
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) {
            continue;
        }
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ++result.FolderCount;
            if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                path += L'\\';
                path += name;
                WalkFolder(path, result);
                path.resize(length);
            }
        } else {
            ++result.FileCount;
            result.TotalBytes +=
                (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(find, &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        ++result.UnreadableFolders;
    }
    FindClose(find);
}

} // namespace

PlainWalkResult PlainWalk(const std::string& root) {
    PlainWalkResult result;
    std::wstring path = ToWide(root);
    while (!path.empty() && path.back() == L'\\') {
        path.pop_back();
    }
    WalkFolder(path, result);
    return result;
}
