#include "platform/fs/RootCheck.h"

#include "WideText.h"
#include "Win32Api.h"

RootCheck CheckScanRoot(const std::string& root) {
    if (root.empty()) {
        return RootCheck::Missing;
    }
    std::wstring path = ToWide(root);
    // "D:" alone names the drive's current folder; the scan means the drive's root.
    if (path.size() == 2 && path[1] == L':') {
        path += L'\\';
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return RootCheck::Missing;
        case ERROR_ACCESS_DENIED:
            return RootCheck::Unreadable;
        default:
            // Whatever else the system says (a path too long for this call, a device not
            // ready), the walk finds out for itself.
            return RootCheck::Readable;
        }
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RootCheck::Readable
                                                        : RootCheck::NotAFolder;
}
