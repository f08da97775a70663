#include "AppTestSupport.h"

#include "app/BusyAnimation.h"

#include <QItemSelectionModel>
#include <QTest>
#include <QTreeView>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

TestTree::TestTree() {
    root_ = QFile::encodeName(dir_.path()).toStdString();
}

namespace {
int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}
} // namespace

TestTree::~TestTree() {
    // Qt's own removal decodes names and misses those that are not UTF-8: remove the tree
    // by its bytes, deepest first.
    if (!root_.empty()) {
        ::nftw(root_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
}

std::string TestTree::AddFile(const std::string& relativePath, std::uint64_t sizeBytes) {
    const std::string path = root_ + "/" + relativePath;
    for (size_t slash = path.find('/', root_.size() + 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        qFatal("cannot create %s", path.c_str());
    }
    if (::ftruncate(fd, static_cast<off_t>(sizeBytes)) != 0) {
        qFatal("cannot size %s", path.c_str());
    }
    ::close(fd);
    return path;
}

void TestTree::AddFiles(int count, int perFolder) {
    for (int i = 0; i < count; ++i) {
        const std::string folder = "d" + std::to_string(i / perFolder);
        AddFile(folder + "/f" + std::to_string(i) + ".bin",
                static_cast<std::uint64_t>(i + 1) * 1000 + static_cast<std::uint64_t>(i % 7));
    }
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* previous = std::getenv(name)) {
        previous_ = previous;
    }
    if (value) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

RecordingForm::RecordingForm(ShellServices& shell) : TForm1(shell) {
    SetStartupRoot(std::string());
    SetMessageBoxHook([this](const QString& message) { Errors.push_back(message); });
    Logic().SetReportPageHook([this](bool withSummary) {
        ReportPages.push_back(withSummary);
        if (OnReportPage) {
            OnReportPage(withSummary);
        }
    });
}

bool PathExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> ListedCaptions(TForm1& form) {
    std::vector<std::string> captions;
    for (const ResultEntry& entry : form.Engine().List().Entries()) {
        captions.push_back(entry.Caption);
    }
    return captions;
}

int RowOfCaption(TForm1& form, const std::string& caption) {
    const ResultList& list = form.Engine().List();
    for (int row = 0; row < list.Count(); ++row) {
        if (list.At(row).Caption == caption) {
            return row;
        }
    }
    return -1;
}

void SelectRow(TForm1& form, int row) {
    const QModelIndex index = form.ListModel().index(row, 0);
    form.ListView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
}

bool ShowAndWaitForStartupScan(TForm1& form) {
    const int before = form.ScanHost().ScansStarted();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        return false;
    }
    // The first paint posts the start-up scan; it runs inside the event processing here.
    return QTest::qWaitFor(
        [&] { return form.ScanHost().ScansStarted() > before && !form.ScanRunning(); });
}
