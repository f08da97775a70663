#pragma once

#include "platform/fs/Volume.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Shell.h"
#include "scan/InterfaceTexts.h"
#include "window/ShellServices.h"

#include <functional>
#include <utility>

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

    // Where the reason goes when a file lies out of the shell's reach (the window's message
    // box).
    void SetMessageHandler(std::function<void(const std::string&)> handler) {
        showMessage_ = std::move(handler);
    }

    void OpenFile(const std::string& path, Outcome done) override {
        if (!ShellCanReach(path)) {
            // A file that has gone is answered as any failed open (a beep).
            if (FileExists(path)) {
                Tell(FillIn(TextsFor(IsGermanUser()).OpenPathTooLong, MessagePath(path)));
            }
            done(false);
            return;
        }
        done(ShellOpen(owner_, path));
    }
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
        if (!ShellCanReach(path)) {
            const InterfaceTexts& texts = TextsFor(IsGermanUser());
            if (FileExists(path)) {
                Tell(FillIn(texts.DeletePathTooLong, MessagePath(path)));
            } else {
                Tell(FillIn(texts.DeleteFailed, MessagePath(path),
                            SystemMessage(ERROR_FILE_NOT_FOUND)));
            }
            return false;
        }
        return ShellDeleteFileForGood(owner_, path, confirmation_);
    }
    std::string BrowseForFolder() override { return ShellBrowseForFolder(owner_); }
    void Beep() override { ShellBeep(); }

private:
    // The shell takes no path of MAX_PATH characters or more: without a short form of it the
    // user is told why nothing happens.
    void Tell(const std::string& message) {
        if (showMessage_) {
            showMessage_(message);
        }
    }
    // A path as a message quotes it: a very long one keeps its start and its end.
    static std::string MessagePath(const std::string& path) { return ShortenedInMiddle(path, 160); }

    std::function<void(const std::string&)> showMessage_;
    void* owner_ = nullptr;
    DeleteConfirmation confirmation_ = DeleteConfirmation::AskUser;
};
