#pragma once

#include "window/ShellServices.h"

// The shell services on Windows: each command goes to the Windows shell as it stands
// (ShellExecute, SHFileOperation with the shell's own confirmation, SHBrowseForFolder,
// MessageBeep), through the toolkit-free calls of platform/win32/Win32Shell.h.
class WindowsShellServices : public ShellServices {
public:
    bool OpenFile(const std::string& path) override;
    bool OpenUrl(const std::string& url) override;
    bool RevealSelectFile(const std::string& location, const std::string& fileName) override;
    bool ExploreFolder(const std::string& location) override;
    bool StartFileManager(const std::string& location) override;
    // The shell asks for confirmation and shows its own progress and error messages.
    bool DeleteFileForGood(const std::string& path) override;
    std::string BrowseForFolder() override;
    void Beep() override;
};
