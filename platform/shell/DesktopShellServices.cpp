#include "DesktopShellServices.h"
#include "DesktopShell.h"

#include "platform/posix/LongPath.h"
#include "scan/InterfaceTexts.h"

#include <QApplication>
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

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

// How long a desktop helper may take to say whether it found a program. xdg-open returns
// as soon as the desktop's launcher has started the program; on a desktop it does not know
// it runs the program itself and returns only when that ends.
constexpr int HelperAnswerTimeoutMs = 3000;

// Runs `arguments` (the program, found on PATH, and its arguments, passed as bytes) and waits
// for its answer: true when it ended with status 0, or is still running after the timeout
// (it has started what it was asked to start); false when it could not be started or ended
// with an error (xdg-open: no program for the file, no file manager, no browser). The
// helper's output goes where the program's own goes.
bool RunDesktopHelper(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(HelperAnswerTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Still running: it runs the program it found. Someone must collect its status when it
    // ends, or it would stay a zombie for the program's life.
    std::thread([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

// The first of the common file managers that is installed, or empty.
std::string InstalledFileManager() {
    for (const char* program : {"nautilus", "dolphin", "nemo", "caja", "thunar", "pcmanfm-qt",
                                "pcmanfm", "konqueror", "spacefm"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
            return program;
        }
    }
    return std::string();
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

QString DesktopShellServices::MessagePath(const std::string& path) {
    const QString shown = DisplayPath(path);
    if (shown.size() <= MaxMessagePathLength) {
        return shown;
    }
    // The start says where the file is, the end which file it is; the middle goes.
    qsizetype head = (MaxMessagePathLength - 1) / 2;
    qsizetype tail = MaxMessagePathLength - 1 - head;
    // A character outside the basic plane is two code units: neither half may split one.
    if (shown.at(head - 1).isHighSurrogate()) {
        --head;
    }
    if (shown.at(shown.size() - tail).isLowSurrogate()) {
        --tail;
    }
    return shown.left(head) + QChar(0x2026) + shown.right(tail);
}

DesktopShellServices::~DesktopShellServices() {
    if (heldFolder_ >= 0) {
        ::close(heldFolder_);
    }
}

std::string DesktopShellServices::ReachablePath(const std::string& path) {
    if (!IsUsablePath(path)) {
        return {};
    }
#ifdef __linux__
    if (path.size() >= PATH_MAX) {
        // Other programs take paths whole, and the system refuses this one: it is handed on
        // as a way through the folder that holds it, which this process opens step by step
        // and keeps open for them.
        std::string name;
        const int folder = OpenContainingFolder(path, name);
        if (folder < 0) {
            return {};
        }
        if (heldFolder_ >= 0) {
            ::close(heldFolder_);
        }
        heldFolder_ = folder;
        return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(folder) + "/" + name;
    }
#endif
    return path;
}

bool DesktopShellServices::OpenFile(const std::string& path) {
    const std::string reachable = ReachablePath(path);
    struct stat info {};
    if (reachable.empty() || ::stat(reachable.c_str(), &info) != 0) {
        return false;
    }
    return RunDesktopHelper({"xdg-open", reachable});
}

bool DesktopShellServices::OpenUrl(const std::string& url) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    if (url.empty() || !address.isValid()) {
        return false;
    }
    return RunDesktopHelper({"xdg-open", address.toString(QUrl::FullyEncoded).toStdString()});
}

bool DesktopShellServices::RevealSelectFile(const std::string& location,
                                            const std::string& fileName) {
    const std::string path = ReachablePath(location + fileName);
    if (path.empty()) {
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
    const std::string folder = ReachablePath(location);
    if (!IsExistingFolder(folder)) {
        return false;
    }
    return RunDesktopHelper({"xdg-open", folder});
}

bool DesktopShellServices::StartFileManager(const std::string& location) {
    const std::string folder = ReachablePath(location);
    if (!IsExistingFolder(folder)) {
        return false;
    }
    const std::string fileManager = InstalledFileManager();
    return !fileManager.empty() && RunDesktopHelper({fileManager, folder});
}

bool DesktopShellServices::DeleteFileForGood(const std::string& path) {
    const DeleteTexts texts = DeleteTextsFor(IsGermanUser());
    const QString shown = MessagePath(path);
    if (!IsUsablePath(path)) {
        ShowDeleteError(DialogOwner(), texts.Title,
                        texts.CannotDelete.arg(shown, SystemMessage(EINVAL)));
        return false;
    }
    // The file is reached through its opened folder, so that a path longer than the system
    // takes whole is deleted as well; every step uses the original bytes.
    std::string name;
    const int folder = OpenContainingFolder(path, name);
    struct stat info {};
    if (folder < 0 || ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        if (folder >= 0) {
            ::close(folder);
        }
        ShowDeleteError(DialogOwner(), texts.Title,
                        texts.CannotDelete.arg(shown, SystemMessage(error)));
        return false;
    }
    // Checked before asking so that the user is not asked about something that will not be
    // deleted; unlinkat itself refuses folders, so one that appears meanwhile stays too.
    if (S_ISDIR(info.st_mode)) {
        ::close(folder);
        ShowDeleteError(DialogOwner(), texts.Title, texts.IsFolder.arg(shown));
        return false;
    }
    if (!AskDeleteConfirmation(DialogOwner(), texts.Title, texts.Question.arg(shown))) {
        ::close(folder);
        return false;
    }
    // A symbolic link is removed itself, never its target.
    if (::unlinkat(folder, name.c_str(), 0) != 0) {
        const int error = errno;
        // Gone meanwhile by other means: what the user asked for has happened.
        if (error != ENOENT) {
            ::close(folder);
            ShowDeleteError(DialogOwner(), texts.Title,
                            texts.CannotDelete.arg(shown, SystemMessage(error)));
            return false;
        }
    }
    const bool gone =
        ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
    ::close(folder);
    return gone;
}

std::string DesktopShellServices::BrowseForFolder() {
    // Qt's folder picker keeps its history and last folder in the user's configuration
    // ("QtProject.conf"), read when it opens and written when it closes, and there is no
    // switch for that. The program promises to write nothing but its report pages: the
    // user scope of settings is pointed where no file can be created, so nothing is read
    // and nothing written. The program keeps no settings of its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    // Qt's own dialog rather than a desktop's native one, which would keep recent folders
    // of its own; it starts in the user's home folder.
    const QString folder = QFileDialog::getExistingDirectory(
        DialogOwner(), QString(), QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
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
