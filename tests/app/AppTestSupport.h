#pragma once

#include "app/TForm1.h"
#include "tests/support/FakeShellServices.h"

#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A folder tree made for one test in a temporary folder; files are sparse, so sizes cost
// no disk.
class TestTree {
public:
    TestTree();
    ~TestTree();
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;
    bool IsValid() const { return dir_.isValid(); }
    // The tree's root, without a trailing separator.
    std::string Root() const { return root_; }
    // Creates the file (and its folders) with `sizeBytes`; returns its full path.
    std::string AddFile(const std::string& relativePath, std::uint64_t sizeBytes);
    // `count` files of distinct sizes spread over folders of at most `perFolder` files.
    void AddFiles(int count, int perFolder);

private:
    QTemporaryDir dir_;
    std::string root_;
};

// Sets an environment variable for the lifetime of the object and restores it afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// The window with its report page recorded instead of shown, so that tests can tell a
// completed scan (page with summary) from a stopped one.
class RecordingForm : public TForm1 {
public:
    explicit RecordingForm(ShellServices& shell);

    std::vector<bool> ReportPages;
    // Runs inside ShowReportPage, e.g. to fail it.
    std::function<void(bool)> OnReportPage;
    std::vector<QString> Errors;
};

// Whether a file (or anything else) exists at the path's exact bytes.
bool PathExists(const std::string& path);
// The captions of the listed entries, in list order.
std::vector<std::string> ListedCaptions(TForm1& form);
// The row of the entry with this caption, or -1.
int RowOfCaption(TForm1& form, const std::string& caption);
// Selects a row of the list as a user's click would.
void SelectRow(TForm1& form, int row);
// Shows the window and lets the first paint's scan run to its end.
bool ShowAndWaitForStartupScan(TForm1& form);
