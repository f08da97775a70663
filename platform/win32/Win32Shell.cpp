#include "Win32Shell.h"

#include "WideText.h"
#include "Win32Api.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>

namespace {

// The file-information request for the small system icon index: SHGFI_SYSICONINDEX and
// SHGFI_SMALLICON.
constexpr UINT SmallSystemIconFlags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
static_assert(SmallSystemIconFlags == 0x4001);

HWND OwnerWindow(void* owner) {
    return static_cast<HWND>(owner);
}

// ShellExecute reports success as a value above 32.
bool Succeeded(HINSTANCE result) {
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

// The shell's dialogs (the new-style folder picker among them) need COM in the calling
// thread. The window has it already; a caller without it gets it for the call's duration.
class ComScope {
public:
    ComScope()
        : initialized_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (initialized_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialized_;
};

} // namespace

int ShellSmallIconIndex(const std::string& path) {
    SHFILEINFOW info{};
    if (SHGetFileInfoW(ToWide(path).c_str(), 0, &info, sizeof(info), SmallSystemIconFlags) == 0) {
        return -1;
    }
    return info.iIcon;
}

void* SystemSmallImageList() {
    SHFILEINFOW info{};
    const DWORD_PTR list = SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SmallSystemIconFlags);
    return reinterpret_cast<void*>(list);
}

bool ShellOpen(void* owner, const std::string& fileOrUrl) {
    return Succeeded(ShellExecuteW(OwnerWindow(owner), L"open", ToWide(fileOrUrl).c_str(), nullptr,
                                   nullptr, SW_SHOW));
}

std::string RevealSelectParameters(const std::string& fileName) {
    if (fileName.find(',') != std::string::npos) {
        return "/select, \"" + fileName + "\"";
    }
    return "/select, " + fileName;
}

bool ShellRevealSelectFile(const std::string& location, const std::string& fileName) {
    return Succeeded(ShellExecuteW(nullptr, L"open", L"explorer.exe",
                                   ToWide(RevealSelectParameters(fileName)).c_str(),
                                   ToWide(location).c_str(), SW_SHOWNORMAL));
}

bool ShellExploreFolder(void* owner, const std::string& location) {
    const std::wstring folder = ToWide(location);
    return Succeeded(ShellExecuteW(OwnerWindow(owner), L"explore", folder.c_str(), nullptr,
                                   folder.c_str(), SW_SHOW));
}

bool ShellStartFileManager(void* owner, const std::string& location) {
    return Succeeded(ShellExecuteW(OwnerWindow(owner), L"open", L"explorer.exe",
                                   ToWide(location).c_str(), nullptr, SW_SHOW));
}

bool ShellDeleteFileForGood(void* owner, const std::string& path, DeleteConfirmation confirmation) {
    if (path.empty()) {
        return false;
    }
    // The shell takes a list of names: each ends in a zero, and an empty name ends the
    // list. The string's own terminator is the first of the final two.
    std::wstring source = ToWide(path);
    // FOF_FILESONLY only filters wildcards: a folder named here would go with everything in
    // it. The command is for a listed file, so a folder is never handed over.
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    source += L'\0';

    SHFILEOPSTRUCTW operation{};
    operation.hwnd = OwnerWindow(owner);
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.c_str();
    operation.pTo = nullptr;
    // Without FOF_ALLOWUNDO the file is deleted for good; confirmation, progress and error
    // messages are the shell's.
    operation.fFlags = FOF_FILESONLY | FOF_WANTNUKEWARNING;
    static_assert((FOF_FILESONLY | FOF_WANTNUKEWARNING) == 0x4080);
    if (confirmation == DeleteConfirmation::DontAsk) {
        // The warning about a delete for good is a question too, and it overrides
        // FOF_NOCONFIRMATION.
        operation.fFlags = (operation.fFlags | FOF_NOCONFIRMATION) & ~FOF_WANTNUKEWARNING;
    }
    operation.fAnyOperationsAborted = FALSE;
    operation.hNameMappings = nullptr;
    operation.lpszProgressTitle = nullptr;

    if (SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted) {
        return false;
    }
    // The list's row goes only when the file has really gone: a shell that reports success
    // for nothing done must not make a file vanish from view.
    return GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::string ShellBrowseForFolder(void* owner) {
    ComScope com;
    wchar_t displayName[MAX_PATH + 1] = {};
    BROWSEINFOW request{};
    request.hwndOwner = OwnerWindow(owner);
    request.pidlRoot = nullptr;
    request.pszDisplayName = displayName;
    request.lpszTitle = nullptr;
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    static_assert((BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE) == 0x41);
    request.lpfn = nullptr;

    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&request);
    if (chosen == nullptr) {
        return std::string();
    }
    wchar_t path[MAX_PATH + 1] = {};
    const bool hasPath = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    return hasPath ? FromWide(path) : std::string();
}

void ShellBeep() {
    MessageBeep(0);
}
