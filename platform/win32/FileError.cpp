#include "platform/fs/FileError.h"

#include "SystemMessage.h"
#include "Win32Api.h"

#include <cerrno>

namespace {

// The Windows error behind an errno of a failed file operation; 0 for none.
DWORD WindowsErrorFor(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EMFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
        return ERROR_INVALID_NAME;
    case EIO:
        return ERROR_GEN_FAILURE;
    default:
        return 0;
    }
}

// errno values whose messages are the system's.
class FileErrorCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "file"; }
    std::string message(int error) const override {
        const DWORD code = WindowsErrorFor(error);
        return code != 0 ? SystemMessage(code) : std::generic_category().message(error);
    }
    std::error_condition default_error_condition(int error) const noexcept override {
        return std::generic_category().default_error_condition(error);
    }
};

} // namespace

std::error_code FileOperationError(int savedErrno) {
    static const FileErrorCategory category;
    return std::error_code(savedErrno, category);
}
