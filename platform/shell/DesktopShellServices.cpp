#include "DesktopShellServices.h"
#include "DesktopShell.h"
#include "FolderPicker.h"

#include "platform/posix/LongPath.h"
#include "scan/InterfaceTexts.h"

#include <QApplication>
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QMessageBox>
#include <QStringList>

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
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

// Waits, on a thread of its own, for the helper `child` to answer: true when it ended with
// status 0 or is still running after the timeout, false when it ended with an error. Then
// collects its status when it ends, so that it does not stay a zombie for the program's life.
bool AwaitHelperAnswer(pid_t child, bool& reaped) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(HelperAnswerTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            reaped = true;
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0 && errno != EINTR) {
            reaped = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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

struct DesktopShellServices::AnswerPost {
    std::mutex Mutex;
    // Null once the services are gone: answers that come later are dropped.
    QObject* Target = nullptr;

    // Runs `done(succeeded)` on the target's thread, from its event loop.
    void Deliver(const Outcome& done, bool succeeded) {
        const std::lock_guard<std::mutex> lock(Mutex);
        if (Target != nullptr) {
            QMetaObject::invokeMethod(
                Target, [done, succeeded] { done(succeeded); }, Qt::QueuedConnection);
        }
    }
};

DesktopShellServices::DesktopShellServices()
    : answerTarget_(new QObject()), post_(std::make_shared<AnswerPost>()) {
    post_->Target = answerTarget_;
}

DesktopShellServices::~DesktopShellServices() {
    {
        // A helper thread that answers now finds no target; one that has posted already
        // has its call dropped with the object.
        const std::lock_guard<std::mutex> lock(post_->Mutex);
        post_->Target = nullptr;
    }
    delete answerTarget_;
    if (heldFolder_ >= 0) {
        ::close(heldFolder_);
    }
}

void DesktopShellServices::RunDesktopHelper(const std::vector<std::string>& arguments,
                                            Outcome done) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        done(false);
        return;
    }
    // The helper's answer is awaited off the window's thread: a helper may take seconds.
    try {
        std::thread([child, post = post_, done] {
            bool reaped = false;
            const bool succeeded = AwaitHelperAnswer(child, reaped);
            post->Deliver(done, succeeded);
            while (!reaped) {
                int status = 0;
                reaped = ::waitpid(child, &status, 0) >= 0 || errno != EINTR;
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to wait with: the helper has started, which is all that can be said.
        done(true);
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

void DesktopShellServices::OpenFile(const std::string& path, Outcome done) {
    const std::string reachable = ReachablePath(path);
    struct stat info {};
    if (reachable.empty() || ::stat(reachable.c_str(), &info) != 0) {
        done(false);
        return;
    }
    RunDesktopHelper({"xdg-open", reachable}, std::move(done));
}

void DesktopShellServices::OpenUrl(const std::string& url, Outcome done) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    if (url.empty() || !address.isValid()) {
        done(false);
        return;
    }
    RunDesktopHelper({"xdg-open", address.toString(QUrl::FullyEncoded).toStdString()},
                     std::move(done));
}

void DesktopShellServices::RevealSelectFile(const std::string& location,
                                            const std::string& fileName, Outcome done) {
    const std::string path = ReachablePath(location + fileName);
    if (path.empty()) {
        done(false);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{FileUrl(path).toString(QUrl::FullyEncoded)} << QString();
    // The reply comes through the event loop: a file manager being started can take
    // seconds, and the window goes on meanwhile.
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(call, RevealReplyTimeoutMs), answerTarget_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, answerTarget_,
                     [watcher, done = std::move(done)] {
                         const bool shown = !watcher->isError();
                         watcher->deleteLater();
                         done(shown);
                     });
}

void DesktopShellServices::ExploreFolder(const std::string& location, Outcome done) {
    const std::string folder = ReachablePath(location);
    if (!IsExistingFolder(folder)) {
        done(false);
        return;
    }
    RunDesktopHelper({"xdg-open", folder}, std::move(done));
}

void DesktopShellServices::StartFileManager(const std::string& location, Outcome done) {
    const std::string folder = ReachablePath(location);
    const std::string fileManager = IsExistingFolder(folder) ? InstalledFileManager() : "";
    if (fileManager.empty()) {
        done(false);
        return;
    }
    RunDesktopHelper({fileManager, folder}, std::move(done));
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
    // The program's own picker: Qt's leaves out folders whose names are not valid UTF-8, and
    // keeps its history in the user's configuration ("QtProject.conf"), while the program
    // writes nothing but its report pages. It starts in the user's home folder.
    FolderPicker picker(QFile::encodeName(QDir::homePath()).toStdString(), DialogOwner());
    if (picker.exec() != QDialog::Accepted) {
        return {};
    }
    return picker.SelectedPath();
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
