#include "WindowsShellServices.h"

#include "platform/shell/DesktopShell.h"
#include "platform/win32/Win32Shell.h"

#include <QApplication>
#include <QWidget>

namespace {

// The HWND of the window that owns a shell dialog; the active window when none is given.
void* OwnerHandle(QWidget* owner) {
    QWidget* window = owner != nullptr ? owner->window() : QApplication::activeWindow();
    return window != nullptr ? reinterpret_cast<void*>(window->winId()) : nullptr;
}

} // namespace

bool WindowsShellServices::OpenFile(const std::string& path) {
    return ShellOpen(OwnerHandle(nullptr), path);
}

bool WindowsShellServices::OpenUrl(const std::string& url) {
    return ShellOpen(OwnerHandle(nullptr), url);
}

bool WindowsShellServices::RevealSelectFile(const std::string& location,
                                            const std::string& fileName) {
    return ShellRevealSelectFile(location, fileName);
}

bool WindowsShellServices::ExploreFolder(const std::string& location) {
    return ShellExploreFolder(OwnerHandle(nullptr), location);
}

bool WindowsShellServices::StartFileManager(const std::string& location) {
    return ShellStartFileManager(OwnerHandle(nullptr), location);
}

bool WindowsShellServices::DeleteFileForGood(const std::string& path) {
    return ShellDeleteFileForGood(OwnerHandle(nullptr), path);
}

std::string WindowsShellServices::BrowseForFolder() {
    return ShellBrowseForFolder(OwnerHandle(nullptr));
}

void WindowsShellServices::Beep() {
    ShellBeep();
}

std::unique_ptr<ShellServices> CreateDesktopShellServices() {
    return std::make_unique<WindowsShellServices>();
}
