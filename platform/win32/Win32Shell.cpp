#include "Win32Shell.h"

#include "ExtendedPath.h"
#include "WideText.h"
#include "Win32Api.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>

#include "platform/fs/Paths.h"

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
    const std::wstring reachable = ShellReachablePath(path);
    if (!reachable.empty() &&
        SHGetFileInfoW(reachable.c_str(), 0, &info, sizeof(info), SmallSystemIconFlags) != 0) {
        return info.iIcon;
    }
    // A missing file has no icon. A long path whose file the shell cannot read (no short
    // form, or a shell that expands the short form again) gets its type's icon, which comes
    // from the name alone.
    if (ToWide(path).size() < MAX_PATH ||
        GetFileAttributesW(ExtendedLengthPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return -1;
    }
    const FileLocation location = SplitFileLocation(path);
    if (SHGetFileInfoW(ToWide(location.FileName).c_str(), FILE_ATTRIBUTE_NORMAL, &info,
                       sizeof(info), SmallSystemIconFlags | SHGFI_USEFILEATTRIBUTES) == 0) {
        return -1;
    }
    return info.iIcon;
}

bool ShellCanReach(const std::string& path) {
    return !ShellReachablePath(path).empty();
}

void* SystemSmallImageList() {
    SHFILEINFOW info{};
    const DWORD_PTR list = SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SmallSystemIconFlags);
    return reinterpret_cast<void*>(list);
}

bool ShellOpen(void* owner, const std::string& fileOrUrl) {
    // A web address is never a long path: it goes as it stands.
    const std::wstring target = ShellReachablePath(fileOrUrl);
    if (target.empty()) {
        return false;
    }
    return Succeeded(
        ShellExecuteW(OwnerWindow(owner), L"open", target.c_str(), nullptr, nullptr, SW_SHOW));
}

std::string RevealSelectParameters(const std::string& fileName) {
    if (fileName.find(',') != std::string::npos) {
        return "/select, \"" + fileName + "\"";
    }
    return "/select, " + fileName;
}

bool RevealSelectTarget(const std::string& location, const std::string& fileName,
                        std::wstring& folder, std::wstring& name) {
    folder = ToWide(location);
    name = ToWide(fileName);
    if (folder.size() + name.size() < MAX_PATH) {
        return true;
    }
    // Explorer and the working folder take plain paths only: both go in their short form,
    // the file by its short name in its short folder.
    const std::wstring shortPath = ShellReachablePath(location + fileName);
    const std::size_t cut = shortPath.find_last_of(L'\\');
    if (cut == std::wstring::npos) {
        return false;
    }
    folder = shortPath.substr(0, cut + 1);
    name = shortPath.substr(cut + 1);
    return true;
}

bool ShellRevealSelectFile(const std::string& location, const std::string& fileName) {
    std::wstring folder;
    std::wstring name;
    if (!RevealSelectTarget(location, fileName, folder, name)) {
        return false;
    }
    return Succeeded(ShellExecuteW(nullptr, L"open", L"explorer.exe",
                                   ToWide(RevealSelectParameters(FromWide(name))).c_str(),
                                   folder.c_str(), SW_SHOWNORMAL));
}

bool ShellExploreFolder(void* owner, const std::string& location) {
    const std::wstring folder = ShellReachablePath(location);
    if (folder.empty()) {
        return false;
    }
    return Succeeded(ShellExecuteW(OwnerWindow(owner), L"explore", folder.c_str(), nullptr,
                                   folder.c_str(), SW_SHOW));
}

bool ShellStartFileManager(void* owner, const std::string& location) {
    const std::wstring folder = ShellReachablePath(location);
    if (folder.empty()) {
        return false;
    }
    return Succeeded(ShellExecuteW(OwnerWindow(owner), L"open", L"explorer.exe", folder.c_str(),
                                   nullptr, SW_SHOW));
}

bool ShellDeleteFileForGood(void* owner, const std::string& path, DeleteConfirmation confirmation) {
    if (path.empty()) {
        return false;
    }
    // FOF_FILESONLY only filters wildcards: a folder named here would go with everything in
    // it. The command is for a listed file, so a folder is never handed over.
    const std::wstring extended = ExtendedLengthPath(path);
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    // The shell takes a list of names: each ends in a zero, and an empty name ends the
    // list. The string's own terminator is the first of the final two. It takes plain
    // paths only, so a long one goes in its short form.
    std::wstring source = ShellReachablePath(path);
    if (source.empty()) {
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
    return GetFileAttributesW(extended.c_str()) == INVALID_FILE_ATTRIBUTES;
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
