#include "DesktopShellServices.h"
#include "DesktopShell.h"

#include "scan/InterfaceTexts.h"

#include <QApplication>
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file manager that is activated by the call may take a moment to answer; after this the
// next way of showing the file is tried.
constexpr int RevealReplyTimeoutMs = 5000;

// A path with an embedded zero byte would reach the system cut short, that is, a different
// file than the one listed; such a path is refused everywhere.
bool IsUsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

bool IsExistingFolder(const std::string& path) {
    struct stat info {};
    return IsUsablePath(path) && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString SystemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The delete's texts in the user's language.
struct DeleteTexts {
    QString Title;
    QString Question;     // %1: the path
    QString IsFolder;     // %1: the path
    QString CannotDelete; // %1: the path, %2: the system's message
};

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

DeleteTexts DeleteTextsFor(bool german) {
    const InterfaceTexts& texts = TextsFor(german);
    return {Text(texts.DeleteTitle), Text(texts.DeleteQuestion), Text(texts.DeleteIsFolder),
            Text(texts.DeleteFailed)};
}

// The program's one window owns the dialogs: it is the active one while the user gives a
// command.
QWidget* DialogOwner() {
    return QApplication::activeWindow();
}

// The form of a path that survives the trip through a QString argument: the plain path when
// it is valid text, otherwise its file: URL, which keeps every byte percent-encoded.
QString ProgramArgument(const std::string& path) {
    const QByteArray bytes = QByteArray::fromStdString(path);
    const QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) == bytes) {
        return text;
    }
    return DesktopShellServices::FileUrl(path).toString(QUrl::FullyEncoded);
}

} // namespace

QUrl DesktopShellServices::FileUrl(const std::string& path) {
    // Built from the bytes, not from a decoded QString: decoding would replace bytes that are
    // not UTF-8, and the URL would name another file. QUrl keeps such bytes percent-encoded.
    const QByteArray encodedPath = QByteArray::fromStdString(path).toPercentEncoding("/");
    return QUrl::fromEncoded("file://" + encodedPath, QUrl::StrictMode);
}

QString DesktopShellServices::DisplayPath(const std::string& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

bool DesktopShellServices::OpenFile(const std::string& path) {
    struct stat info {};
    if (!IsUsablePath(path) || ::stat(path.c_str(), &info) != 0) {
        return false;
    }
    return QDesktopServices::openUrl(FileUrl(path));
}

bool DesktopShellServices::OpenUrl(const std::string& url) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    if (url.empty() || !address.isValid()) {
        return false;
    }
    return QDesktopServices::openUrl(address);
}

bool DesktopShellServices::RevealSelectFile(const std::string& location,
                                            const std::string& fileName) {
    const std::string path = location + fileName;
    if (!IsUsablePath(path)) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{FileUrl(path).toString(QUrl::FullyEncoded)} << QString();
    // Blocking without an event loop: the window's commands must not run again while the
    // file manager is being asked.
    const QDBusMessage reply = bus.call(call, QDBus::Block, RevealReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool DesktopShellServices::ExploreFolder(const std::string& location) {
    if (!IsExistingFolder(location)) {
        return false;
    }
    return QDesktopServices::openUrl(FileUrl(location));
}

bool DesktopShellServices::StartFileManager(const std::string& location) {
    if (!IsUsablePath(location)) {
        return false;
    }
    return QProcess::startDetached(QStringLiteral("xdg-open"), {ProgramArgument(location)});
}

bool DesktopShellServices::DeleteFileForGood(const std::string& path) {
    const DeleteTexts texts = DeleteTextsFor(IsGermanUser());
    const QString shown = DisplayPath(path);
    if (!IsUsablePath(path)) {
        ShowDeleteError(DialogOwner(), texts.Title,
                        texts.CannotDelete.arg(shown, SystemMessage(EINVAL)));
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        ShowDeleteError(DialogOwner(), texts.Title,
                        texts.CannotDelete.arg(shown, SystemMessage(errno)));
        return false;
    }
    // Checked before asking so that the user is not asked about something that will not be
    // deleted; unlink itself refuses folders, so one that appears meanwhile stays too.
    if (S_ISDIR(info.st_mode)) {
        ShowDeleteError(DialogOwner(), texts.Title, texts.IsFolder.arg(shown));
        return false;
    }
    if (!AskDeleteConfirmation(DialogOwner(), texts.Title, texts.Question.arg(shown))) {
        return false;
    }
    // unlink on the original bytes removes exactly the listed entry; a symbolic link is
    // removed itself, never its target.
    if (::unlink(path.c_str()) != 0) {
        const int error = errno;
        // Gone meanwhile by other means: what the user asked for has happened.
        if (error != ENOENT) {
            ShowDeleteError(DialogOwner(), texts.Title,
                            texts.CannotDelete.arg(shown, SystemMessage(error)));
            return false;
        }
    }
    return ::lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

std::string DesktopShellServices::BrowseForFolder() {
    const QString folder = QFileDialog::getExistingDirectory(DialogOwner(), QString(), QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return {};
    }
    return QFile::encodeName(folder).toStdString();
}

void DesktopShellServices::Beep() {
    QApplication::beep();
}

bool DesktopShellServices::AskDeleteConfirmation(QWidget* owner, const QString& title,
                                                 const QString& question) {
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No,
                    owner);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void DesktopShellServices::ShowDeleteError(QWidget* owner, const QString& title,
                                           const QString& message) {
    QMessageBox::critical(owner, title, message);
}

std::unique_ptr<ShellServices> CreateDesktopShellServices() {
    return std::make_unique<DesktopShellServices>();
}
