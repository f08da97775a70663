#pragma once

#include "platform/win32/Win32Shell.h"
#include "window/ShellServices.h"

// The desktop's services on Windows: each command goes to the Windows shell as it stands
// (ShellExecute, SHFileOperation with the shell's own confirmation, SHBrowseForFolder,
// MessageBeep), its dialogs owned by the main window. The shell answers within the call,
// so every action's outcome is given before it returns.
class Win32ShellServices final : public ShellServices {
public:
    // The window that owns the shell's dialogs (an HWND; null for none).
    void SetOwner(void* owner) { owner_ = owner; }
    // How deleting asks before it deletes: the shell's confirmation unless a test says so.
    void SetDeleteConfirmation(DeleteConfirmation confirmation) { confirmation_ = confirmation; }

    void OpenFile(const std::string& path, Outcome done) override { done(ShellOpen(owner_, path)); }
    void OpenUrl(const std::string& url, Outcome done) override { done(ShellOpen(owner_, url)); }
    void RevealSelectFile(const std::string& location, const std::string& fileName,
                          Outcome done) override {
        done(ShellRevealSelectFile(location, fileName));
    }
    void ExploreFolder(const std::string& location, Outcome done) override {
        done(ShellExploreFolder(owner_, location));
    }
    void StartFileManager(const std::string& location, Outcome done) override {
        done(ShellStartFileManager(owner_, location));
    }
    bool DeleteFileForGood(const std::string& path) override {
        return ShellDeleteFileForGood(owner_, path, confirmation_);
    }
    std::string BrowseForFolder() override { return ShellBrowseForFolder(owner_); }
    void Beep() override { ShellBeep(); }

private:
    void* owner_ = nullptr;
    DeleteConfirmation confirmation_ = DeleteConfirmation::AskUser;
};
