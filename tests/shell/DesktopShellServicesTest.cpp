#include "platform/shell/DesktopShellServices.h"
#include "platform/shell/FolderPicker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The real services with the delete's two dialogs answered by the test.
class AnsweringShellServices : public DesktopShellServices {
public:
    bool Answer = true;
    QStringList Questions;
    QStringList Errors;

protected:
    bool AskDeleteConfirmation(QWidget*, const QString& title, const QString& question) override {
        Questions << title + "|" + question;
        return Answer;
    }
    void ShowDeleteError(QWidget*, const QString& title, const QString& message) override {
        Errors << title + "|" + message;
    }
};

using Outcome = ShellServices::Outcome;

// How one shell action went: whether it answered, what, and how long the call itself held
// the thread that made it.
struct ShellAnswer {
    bool Came = false;
    bool Succeeded = false;
    qint64 CallMs = 0;
    qint64 AnswerMs = 0;
};

// Starts an action and runs the event loop until its answer comes, for 10 s at most.
ShellAnswer AwaitAnswer(const std::function<void(Outcome)>& start) {
    auto answer = std::make_shared<ShellAnswer>();
    QElapsedTimer timer;
    timer.start();
    start([answer, timer](bool succeeded) {
        answer->Came = true;
        answer->Succeeded = succeeded;
        answer->AnswerMs = timer.elapsed();
    });
    answer->CallMs = timer.elapsed();
    while (!answer->Came && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return *answer;
}

// The action answered, with success.
bool Succeeds(const std::function<void(Outcome)>& start) {
    const ShellAnswer answer = AwaitAnswer(start);
    return answer.Came && answer.Succeeded;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool MakeFile(const std::string& path, const char* content = "content") {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, content, std::strlen(content)) >= 0;
    return ::close(fd) == 0 && written;
}

// Removes everything below `root`. QDir cannot remove names that are not valid UTF-8, so
// the tests clean up after themselves with the bytes.
void EmptyFolder(const std::string& root) {
    ::nftw(
        root.c_str(),
        [](const char* path, const struct stat*, int kind, struct FTW* where) {
            if (where->level > 0) {
                if (kind == FTW_DP) {
                    ::rmdir(path);
                } else {
                    ::unlink(path);
                }
            }
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

// A chain of folders below `root` whose full path is longer than PATH_MAX, made and removed
// with one descriptor per level, as no path of it can be handed to the system whole.
class DeepChain {
public:
    explicit DeepChain(const std::string& root) : path_(root) {
        const std::string name(200, 'd');
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (fd >= 0 && path_.size() < PATH_MAX + 200) {
            folders_.push_back(fd);
            if (::mkdirat(fd, name.c_str(), 0755) != 0) {
                return;
            }
            fd = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            path_ += "/" + name;
        }
        if (fd >= 0) {
            folders_.push_back(fd);
        }
    }
    ~DeepChain() {
        const std::string name(200, 'd');
        for (std::size_t i = folders_.size(); i-- > 0;) {
            if (i + 1 < folders_.size()) {
                ::unlinkat(folders_[i], name.c_str(), AT_REMOVEDIR);
            }
            ::close(folders_[i]);
        }
    }
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    // The deepest folder's path and descriptor.
    const std::string& Path() const { return path_; }
    int Fd() const { return folders_.empty() ? -1 : folders_.back(); }

private:
    std::string path_;
    std::vector<int> folders_;
};

class DesktopShellServicesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::string root_;

    std::string PathOf(const std::string& name) const { return root_ + "/" + name; }

private slots:
    void init() {
        QVERIFY(folder_.isValid());
        root_ = QFile::encodeName(folder_.path()).toStdString();
    }

    void cleanup() { EmptyFolder(root_); }

    // Deleting: the user is asked, the file goes only on Yes, the result says whether it
    // is gone, and nothing but the listed file is ever touched.

    void DeletesConfirmedFile() {
        ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
        const std::string path = PathOf("big.iso");
        QVERIFY(MakeFile(path));
        AnsweringShellServices services;

        QVERIFY(services.DeleteFileForGood(path));
        QVERIFY(!Exists(path));
        QCOMPARE(services.Questions.size(), 1);
        QVERIFY(services.Questions[0].contains(QString::fromStdString(path)));
        QVERIFY(services.Questions[0].contains("for good"));
        QVERIFY(services.Errors.isEmpty());
    }

    void FileBeyondPathMaxIsDeletedAndReachedAndItsPathShortenedInMessages() {
        DeepChain chain(root_);
        const std::string name = "deep-file.iso";
        const std::string path = chain.Path() + "/" + name;
        QVERIFY2(path.size() > PATH_MAX, "the chain is not deep enough");
        const int file = ::openat(chain.Fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(file >= 0);
        struct stat made {};
        QVERIFY(::fstat(file, &made) == 0);
        ::close(file);

        // Another program reaches it by a path the system takes.
        AnsweringShellServices services;
        const std::string reachable = services.ReachablePath(path);
        QVERIFY(!reachable.empty() && reachable.size() < PATH_MAX);
        struct stat reached {};
        QVERIFY(::stat(reachable.c_str(), &reached) == 0);
        QCOMPARE(reached.st_ino, made.st_ino);
        QCOMPARE(services.ReachablePath(PathOf("short.txt")), PathOf("short.txt"));

        // The question quotes the start and the end of the path, never all of it.
        QVERIFY(services.DeleteFileForGood(path));
        QVERIFY(::fstatat(chain.Fd(), name.c_str(), &made, AT_SYMLINK_NOFOLLOW) != 0);
        QCOMPARE(services.Questions.size(), 1);
        const QString question = services.Questions[0];
        QVERIFY(question.size() < DesktopShellServices::MaxMessagePathLength + 200);
        QVERIFY(question.contains(QString::fromStdString(root_.substr(0, 40))));
        QVERIFY(question.contains(QChar(0x2026)));
        QVERIFY(question.contains(QString(20, 'd') + "/" + QString::fromStdString(name)));
        QVERIFY(services.Errors.isEmpty());
    }

    void DeclinedConfirmationKeepsFile() {
        const std::string path = PathOf("keep.bin");
        QVERIFY(MakeFile(path));
        AnsweringShellServices services;
        services.Answer = false;

        QVERIFY(!services.DeleteFileForGood(path));
        QVERIFY(Exists(path));
        QCOMPARE(services.Questions.size(), 1);
        QVERIFY(services.Errors.isEmpty());
    }

    void RefusesFoldersWithoutAsking() {
        const std::string emptyFolder = PathOf("empty");
        const std::string fullFolder = PathOf("full");
        QVERIFY(::mkdir(emptyFolder.c_str(), 0755) == 0);
        QVERIFY(::mkdir(fullFolder.c_str(), 0755) == 0);
        QVERIFY(MakeFile(fullFolder + "/inside.txt"));
        AnsweringShellServices services;

        QVERIFY(!services.DeleteFileForGood(emptyFolder));
        QVERIFY(!services.DeleteFileForGood(fullFolder));
        QVERIFY(!services.DeleteFileForGood(fullFolder + "/"));
        QVERIFY(Exists(emptyFolder));
        QVERIFY(Exists(fullFolder + "/inside.txt"));
        QVERIFY(services.Questions.isEmpty());
        QCOMPARE(services.Errors.size(), 3);
    }

    void MissingFileIsReportedWithTheSystemMessage() {
        ScopedEnvironment english("LC_ALL", "C");
        AnsweringShellServices services;
        const std::string path = PathOf("gone.txt");

        QVERIFY(!services.DeleteFileForGood(path));
        QVERIFY(services.Questions.isEmpty());
        QCOMPARE(services.Errors.size(), 1);
        QVERIFY(services.Errors[0].contains(QString::fromStdString(path)));
        QVERIFY(services.Errors[0].contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
    }

    void DeletesNonUtf8NameExactly() {
        // Both names show as "report?.txt" with a replacement character; only the bytes tell
        // them apart.
        const std::string listed = PathOf("report\xff.txt");
        const std::string sibling = PathOf("report\xfe.txt");
        QVERIFY(MakeFile(listed));
        QVERIFY(MakeFile(sibling));
        AnsweringShellServices services;

        QVERIFY(services.DeleteFileForGood(listed));
        QVERIFY(!Exists(listed));
        QVERIFY(Exists(sibling));
        QCOMPARE(services.Questions.size(), 1);
        QVERIFY(services.Questions[0].contains(QString("report") + QChar(0xFFFD) + ".txt"));
    }

    void RemovesALinkButNotItsTarget() {
        const std::string target = PathOf("target.dat");
        const std::string link = PathOf("link.dat");
        QVERIFY(MakeFile(target));
        if (::symlink(target.c_str(), link.c_str()) != 0) {
            QSKIP("symbolic links cannot be made here");
        }
        AnsweringShellServices services;

        QVERIFY(services.DeleteFileForGood(link));
        QVERIFY(!Exists(link));
        QVERIFY(Exists(target));
    }

    void RefusesPathWithZeroByte() {
        // Cut at the zero byte the path would name another file, which must survive.
        const std::string other = PathOf("victim.txt");
        QVERIFY(MakeFile(other));
        std::string path = other;
        path += '\0';
        path += ".bak";
        AnsweringShellServices services;

        QVERIFY(!services.DeleteFileForGood(path));
        QVERIFY(Exists(other));
        QVERIFY(services.Questions.isEmpty());
        QCOMPARE(services.Errors.size(), 1);
        QVERIFY(!services.DeleteFileForGood(""));
    }

    void FailedUnlinkIsReportedAndFileStays() {
        if (::geteuid() == 0) {
            QSKIP("root may unlink in a read-only folder");
        }
        ScopedEnvironment english("LC_ALL", "C");
        const std::string locked = PathOf("locked");
        QVERIFY(::mkdir(locked.c_str(), 0755) == 0);
        const std::string path = locked + "/file.txt";
        QVERIFY(MakeFile(path));
        QVERIFY(::chmod(locked.c_str(), 0555) == 0);
        AnsweringShellServices services;

        const bool deleted = services.DeleteFileForGood(path);
        ::chmod(locked.c_str(), 0755);
        QVERIFY(!deleted);
        QVERIFY(Exists(path));
        QCOMPARE(services.Errors.size(), 1);
        QVERIFY(services.Errors[0].contains(QString::fromLocal8Bit(std::strerror(EACCES))));
    }

    void AsksInGermanForGermanUsers() {
        ScopedEnvironment german("LC_ALL", "de_AT.UTF-8");
        const std::string path = PathOf("gross.iso");
        QVERIFY(MakeFile(path));
        AnsweringShellServices services;
        services.Answer = false;

        QVERIFY(!services.DeleteFileForGood(path));
        QCOMPARE(services.Questions.size(), 1);
        QVERIFY(services.Questions[0].startsWith(QString::fromUtf8("Datei löschen|")));
        QVERIFY(services.Questions[0].contains(QString::fromUtf8("endgültig")));

        QVERIFY(!services.DeleteFileForGood(root_));
        QCOMPARE(services.Errors.size(), 1);
        QVERIFY(services.Errors[0].contains("Ordner"));
    }

    // Addresses: the URL handed to the desktop names exactly the listed file.

    void FileUrlKeepsEveryByte_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("plain") << QByteArray("/home/u/big.iso");
        QTest::newRow("blanks and marks") << QByteArray("/data/a b/#1 ?x=%41&y.txt");
        QTest::newRow("utf-8") << QByteArray("/home/u/Gr\xc3\xb6\xc3\x9f"
                                             "e.txt");
        QTest::newRow("not utf-8") << QByteArray("/home/u/caf\xe9 \xff\xfe.bin");
        QTest::newRow("folder") << QByteArray("/media/usb/\x80/");
    }

    void FileUrlKeepsEveryByte() {
        QFETCH(QByteArray, path);
        const QUrl url = DesktopShellServices::FileUrl(path.toStdString());
        QVERIFY(url.isValid());
        QVERIFY(url.isLocalFile());
        QCOMPARE(url.scheme(), QString("file"));
        QVERIFY(url.host().isEmpty());
        const QByteArray encoded = url.toEncoded();
        QVERIFY(encoded.startsWith("file:///"));
        QCOMPARE(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()), path);
        // What the desktop receives is the encoded form: it must come back the same.
        const QUrl reparsed = QUrl::fromEncoded(encoded, QUrl::StrictMode);
        QCOMPARE(QByteArray::fromPercentEncoding(reparsed.path(QUrl::FullyEncoded).toLatin1()),
                 path);
    }

    void FileUrlOfTextPathMatchesQt() {
        const QString path = QString::fromUtf8("/home/u/Gr\xc3\xb6\xc3\x9f"
                                               "e #2.txt");
        const QUrl url = DesktopShellServices::FileUrl(path.toStdString());
        QCOMPARE(url, QUrl::fromLocalFile(path));
        QCOMPARE(url.toLocalFile(), path);
    }

    // Opening what is not there fails at once, without starting any program.

    void OpeningWhatIsNotThereFails() {
        DesktopShellServices services;
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenFile(PathOf("missing.txt"), done); }));
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenFile("", done); }));
        std::string withZero = root_;
        withZero += '\0';
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenFile(withZero, done); }));
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenUrl("", done); }));
        QVERIFY(!Succeeds(
            [&](Outcome done) { services.ExploreFolder(PathOf("no-such-folder/"), done); }));
        QVERIFY(!Succeeds([&](Outcome done) { services.StartFileManager("", done); }));
        QVERIFY(!Succeeds([&](Outcome done) {
            services.RevealSelectFile(root_ + "/", std::string("a\0b", 3), done);
        }));
    }

    void RevealFailsWithoutSessionBus() {
        // Without a bus the next way of showing the file must get its turn.
        ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bulkon-bus");
        const std::string path = PathOf("shown.txt");
        QVERIFY(MakeFile(path));
        DesktopShellServices services;
        QVERIFY(!Succeeds(
            [&](Outcome done) { services.RevealSelectFile(root_ + "/", "shown.txt", done); }));
    }

    // A folder whose name is not valid UTF-8 shows in the picker (with replacement
    // characters), beside the others and without the files, and the path chosen keeps its
    // bytes all the way to the caller.
    void FolderPickerShowsAndReturnsNamesThatAreNotUtf8() {
        const std::string odd = PathOf("caf\xe9 \xff");
        QVERIFY(::mkdir(odd.c_str(), 0755) == 0);
        QVERIFY(::mkdir(PathOf("Plain").c_str(), 0755) == 0);
        QVERIFY(::mkdir(PathOf(".hidden").c_str(), 0755) == 0);
        QVERIFY(MakeFile(PathOf("a file")));
        {
            FolderPicker picker(root_);
            QCOMPARE(picker.SelectedPath(), root_);
            QTreeView* tree = picker.Tree();
            const QModelIndex here = tree->currentIndex();
            tree->expand(here);
            QStringList shown;
            for (int row = 0; row < tree->model()->rowCount(here); ++row) {
                shown << tree->model()->index(row, 0, here).data().toString();
            }
            QCOMPARE(shown, (QStringList{QString::fromUtf8("caf\xe9 \xff"), "Plain"}));
            tree->setCurrentIndex(tree->model()->index(0, 0, here));
            QCOMPARE(picker.SelectedPath(), odd);
            // A hidden folder on the way is shown when it is asked for.
            QVERIFY(picker.SelectPath(PathOf(".hidden")));
            QVERIFY(!picker.SelectPath(PathOf("a file")));
        }
        ScopedEnvironment homeVariable("HOME", root_.c_str());
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<FolderPicker*>(QApplication::activeModalWidget())) {
                dialog->SelectPath(odd);
                dialog->accept();
            }
        });
        DesktopShellServices services;
        QCOMPARE(services.BrowseForFolder(), odd);
    }

    // The folder picker opens in the home folder and leaves the user's configuration as it
    // was: no "QtProject.conf" with the last folder visited.
    void FolderPickerStartsAtHomeAndWritesNothing() {
        const std::string home = PathOf("home");
        QVERIFY(::mkdir(home.c_str(), 0755) == 0);
        ScopedEnvironment homeVariable("HOME", home.c_str());
        ScopedEnvironment config("XDG_CONFIG_HOME", home.c_str());
        std::string startedIn;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FolderPicker*>(QApplication::activeModalWidget());
            if (dialog != nullptr) {
                startedIn = dialog->SelectedPath();
                dialog->reject();
            }
        });
        DesktopShellServices services;
        QCOMPARE(services.BrowseForFolder(), std::string());
        QCOMPARE(startedIn, home);
        QCOMPARE(QDir(QString::fromStdString(home))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // The desktop's helpers are asked for their answer: a helper that finds no program
    // fails the command (the window then beeps or says so), one that ran or still runs
    // the program succeeds, and each gets exactly the listed bytes.
    void HelpersAnswerWhetherTheyFoundAProgram() {
        const std::string bin = PathOf("bin");
        QVERIFY(::mkdir(bin.c_str(), 0755) == 0);
        const std::string record = PathOf("arguments");
        ScopedEnvironment path("PATH", bin.c_str());
        auto helper = [&](const std::string& name, const std::string& body) {
            const std::string file = bin + "/" + name;
            ::unlink(file.c_str());
            const std::string script =
                "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > '" + record + "'\n" + body + "\n";
            QVERIFY(MakeFile(file, script.c_str()));
            QVERIFY(::chmod(file.c_str(), 0755) == 0);
        };
        auto recorded = [&] {
            QFile file(QString::fromStdString(record));
            return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
        };
        const std::string listed = PathOf("r\xe9sum\xe9.doc");
        QVERIFY(MakeFile(listed));
        DesktopShellServices services;

        // No helper installed at all.
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenFile(listed, done); }));
        QVERIFY(!Succeeds([&](Outcome done) { services.StartFileManager(root_ + "/", done); }));

        helper("xdg-open", "exit 3");
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenFile(listed, done); }));
        QCOMPARE(recorded(), bin + "/xdg-open|" + listed + "|");
        QVERIFY(!Succeeds([&](Outcome done) { services.ExploreFolder(root_ + "/", done); }));
        QVERIFY(!Succeeds([&](Outcome done) { services.OpenUrl("https://example.org/", done); }));

        helper("xdg-open", "exit 0");
        QVERIFY(Succeeds([&](Outcome done) { services.OpenFile(listed, done); }));
        QVERIFY(Succeeds([&](Outcome done) { services.ExploreFolder(root_ + "/", done); }));
        QCOMPARE(recorded(), bin + "/xdg-open|" + root_ + "/|");

        // Running the program itself, the helper does not return: it found one. The window's
        // thread is not held meanwhile; the answer comes after a few seconds.
        helper("xdg-open", "exec /bin/sleep 5");
        ShellAnswer answer = AwaitAnswer([&](Outcome done) { services.OpenFile(listed, done); });
        QVERIFY(answer.Came && answer.Succeeded);
        QVERIFY2(answer.CallMs < 500, "the call waited for the helper");
        QVERIFY(answer.AnswerMs >= 2000);

        // A helper that fails only after a while: the call returns at once, the failure
        // arrives when the helper ends.
        helper("xdg-open", "/bin/sleep 1; exit 4");
        answer = AwaitAnswer([&](Outcome done) { services.OpenFile(listed, done); });
        QVERIFY(answer.Came && !answer.Succeeded);
        QVERIFY2(answer.CallMs < 500, "the call waited for the helper");
        QVERIFY(answer.AnswerMs >= 900);

        // An answer that comes after the services are gone is dropped, not delivered.
        auto lateAnswer = std::make_shared<bool>(false);
        {
            DesktopShellServices shortLived;
            shortLived.OpenFile(listed, [lateAnswer](bool) { *lateAnswer = true; });
        }
        QTest::qWait(1500);
        QVERIFY(!*lateAnswer);

        helper("pcmanfm", "exit 0");
        QVERIFY(Succeeds([&](Outcome done) { services.StartFileManager(root_ + "/", done); }));
        QCOMPARE(recorded(), bin + "/pcmanfm|" + root_ + "/|");
    }
};

QTEST_MAIN(DesktopShellServicesTest)
#include "DesktopShellServicesTest.moc"
