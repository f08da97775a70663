#include "platform/fs/TempFiles.h"

#include "SystemMessage.h"
#include "WideText.h"
#include "Win32Api.h"

#include <vector>

namespace {

// A failure always carries a code, even when the system left none behind; its message is the
// system's own, in the user's language.
std::error_code SystemError(DWORD code) {
    return std::error_code(static_cast<int>(code != 0 ? code : ERROR_GEN_FAILURE),
                           WindowsErrorCategory());
}

// The temporary folder as the API gives it, with its trailing backslash; empty on failure.
std::wstring TempFolderWide(DWORD& error) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            error = GetLastError();
            return std::wstring();
        }
        // A result larger than the buffer is the size that is needed.
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

} // namespace

std::string TempFolder() {
    DWORD error = 0;
    std::wstring folder = TempFolderWide(error);
    // Without its trailing backslash, so that JoinPath gives one separator; a drive root
    // keeps it, as "C:" alone would name the drive's current folder.
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return FromWide(folder);
}

std::string CreateUniqueTempFile(const std::string& prefix, std::error_code& error) {
    error.clear();
    DWORD failure = 0;
    const std::wstring folder = TempFolderWide(failure);
    if (folder.empty()) {
        error = SystemError(failure);
        return std::string();
    }
    // With number 0 the call picks an unused name and creates the file empty, exclusively,
    // so two calls never share a file.
    wchar_t name[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), ToWide(prefix).c_str(), 0, name) == 0) {
        error = SystemError(GetLastError());
        return std::string();
    }
    return FromWide(name);
}
