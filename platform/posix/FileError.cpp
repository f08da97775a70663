#include "platform/fs/FileError.h"

std::error_code FileOperationError(int savedErrno) {
    return std::error_code(savedErrno, std::generic_category());
}
