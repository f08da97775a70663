#include "ReportFile.h"

#include "platform/fs/FileError.h"
#include "platform/fs/TempFiles.h"
#include "scan/InterfaceTexts.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <type_traits>

namespace {

// Paths are UTF-8 where the system's own file names are wide (Windows) and plain bytes
// elsewhere, where converting them could reject a name that is not UTF-8.
std::filesystem::path NativePath(const std::string& path) {
    if constexpr (std::is_same_v<std::filesystem::path::value_type, char>) {
        return std::filesystem::path(path);
    } else {
        return std::filesystem::path(std::u8string(path.begin(), path.end()));
    }
}

// A message of the user's language, naming `path`.
std::string Message(std::string_view InterfaceTexts::*text, const std::string& path) {
    return FillIn(TextsFor(IsGermanUser()).*text, path);
}

[[noreturn]] void ThrowFileError(int savedErrno, const std::string& what) {
    // The streams do not promise to leave errno set; a failure is never passed off as
    // success for want of a code.
    const int code = savedErrno != 0 ? savedErrno : EIO;
    throw std::system_error(FileOperationError(code), what);
}

} // namespace

void WritePageFile(const std::string& path, const std::string& page) {
    errno = 0;
    std::ofstream file(NativePath(path), std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        ThrowFileError(errno, Message(&InterfaceTexts::ReportNotOpened, path));
    }
    errno = 0;
    file.write(page.data(), static_cast<std::streamsize>(page.size()));
    file.write("\r\n", 2);
    file.flush();
    if (!file) {
        ThrowFileError(errno, Message(&InterfaceTexts::ReportNotWritten, path));
    }
    errno = 0;
    file.close();
    if (file.fail()) {
        ThrowFileError(errno, Message(&InterfaceTexts::ReportNotClosed, path));
    }
}

std::string WriteReportFile(const std::string& page) {
    std::error_code error;
    const std::string path = CreateUniqueTempFile("htm", error);
    if (path.empty()) {
        if (!error) {
            error = FileOperationError(EIO);
        }
        throw std::system_error(error, Message(&InterfaceTexts::ReportNotCreated, TempFolder()));
    }
    WritePageFile(path, page);
    return path;
}
