#pragma once

#include "window/ShellServices.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

class QObject;
class QWidget;

// The shell services on a freedesktop.org desktop (Linux and other POSIX systems): Qt's
// desktop services, the file manager's D-Bus interface, xdg-open, and a delete that asks
// for confirmation itself. Every path is the bytes of the listed entry, so an action on a
// file whose name is not valid UTF-8 still reaches exactly that file.
class DesktopShellServices : public ShellServices {
public:
    DesktopShellServices();
    ~DesktopShellServices() override;
    DesktopShellServices(const DesktopShellServices&) = delete;
    DesktopShellServices& operator=(const DesktopShellServices&) = delete;

    // The desktop's helper (xdg-open) is started and the call returns; its answer comes
    // through the event loop when it has exited, or after a few seconds at most: a helper
    // that has not answered by then is running the program it found. Fails when the file
    // does not exist (at once) or the helper finds no program for it.
    void OpenFile(const std::string& path, Outcome done) override;
    // Fails when the address is empty or invalid, or the helper finds no browser.
    void OpenUrl(const std::string& url, Outcome done) override;

    // Asks the file manager over the session bus (org.freedesktop.FileManager1.ShowItems) to
    // show the file selected, without waiting for the reply. Fails without a session bus,
    // or when no file manager answers the call within a few seconds or it answers with an
    // error.
    void RevealSelectFile(const std::string& location, const std::string& fileName,
                          Outcome done) override;
    // Opens the folder with the desktop's handler for folders (xdg-open). Fails when the
    // helper finds none.
    void ExploreFolder(const std::string& location, Outcome done) override;
    // Starts the first installed of the common file managers with the folder. Fails when
    // none is installed or it fails at once.
    void StartFileManager(const std::string& location, Outcome done) override;

    // Asks in the user's language whether the file is to be deleted for good (default
    // answer No), then unlinks it. Folders are never deleted. A folder, a missing file and
    // a failed unlink are reported in an error box with the system's message. True only
    // when the file is gone afterwards.
    bool DeleteFileForGood(const std::string& path) override;

    // Qt's folder picker, folders only, no title. The chosen folder's path, or an empty
    // string when the user cancels.
    std::string BrowseForFolder() override;

    void Beep() override;

    // The file: URL of a local path given as bytes. Bytes that are not valid UTF-8 are kept
    // percent-encoded, so the URL's encoded path decodes to exactly the original bytes.
    static QUrl FileUrl(const std::string& path);
    // A path as it is shown to the user: bytes that are not valid UTF-8 become replacement
    // characters.
    static QString DisplayPath(const std::string& path);
    // A path as a message quotes it: DisplayPath, shortened in the middle to at most
    // MaxMessagePathLength characters, so that no dialog grows wider than the screen.
    static QString MessagePath(const std::string& path);
    static constexpr qsizetype MaxMessagePathLength = 160;

    // The path by which another program (a file manager, a handler) reaches the file or folder
    // at `path`: `path` itself when the system takes it whole, else, for a path longer than
    // PATH_MAX, one through a folder on its way that this object holds open
    // ("/proc/PID/fd/N/name"), valid until the next call. Empty when there is no way.
    std::string ReachablePath(const std::string& path);

protected:
    // The two dialogs of the delete, replaceable so that tests never open a real one.
    // Asks the question; true when the user answers Yes.
    virtual bool AskDeleteConfirmation(QWidget* owner, const QString& title,
                                       const QString& question);
    // Shows why the file was not deleted.
    virtual void ShowDeleteError(QWidget* owner, const QString& title, const QString& message);

private:
    // Where the threads that wait for the desktop's helpers hand their answers to the
    // window's thread; shared with them, since they may outlive this object.
    struct AnswerPost;

    // Starts `arguments` (the program, found on PATH, and its arguments, passed as bytes)
    // and answers `done` from the event loop: true when it ended with status 0 or still
    // runs after a few seconds (it has started what it was asked to start); false when it
    // could not be started or ended with an error.
    void RunDesktopHelper(const std::vector<std::string>& arguments, Outcome done);

    // The folder that ReachablePath handed out a way through; -1 when none.
    int heldFolder_ = -1;
    // Lives on the window's thread: the answers run there, as its queued calls.
    QObject* answerTarget_ = nullptr;
    std::shared_ptr<AnswerPost> post_;
};
