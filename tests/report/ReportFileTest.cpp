#include "report/ReportFile.h"

#include "platform/fs/TempFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Points the temporary folder (TMPDIR, and TMP for Windows) at `folder` for the test's
// lifetime and restores it afterwards. putenv keeps the strings, so they live as members.
class TempDirOverride {
public:
    explicit TempDirOverride(const std::string& folder) {
        for (const char* name : {"TMPDIR", "TMP"}) {
            const char* old = std::getenv(name);
            // "NAME" alone removes a variable that was not set before.
            restore_.push_back(old ? std::string(name) + "=" + old : std::string(name));
            Put(std::string(name) + "=" + folder);
        }
    }
    ~TempDirOverride() {
        for (const std::string& entry : restore_) {
            Put(entry);
        }
    }
    TempDirOverride(const TempDirOverride&) = delete;
    TempDirOverride& operator=(const TempDirOverride&) = delete;

private:
    void Put(const std::string& entry) {
        kept_.push_back(std::make_unique<std::string>(entry));
        putenv(kept_.back()->data());
    }
    std::vector<std::string> restore_;
    std::vector<std::unique_ptr<std::string>> kept_;
};

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("report-test-" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directory(folder_)) << folder_;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    // False when the platform does not take its temporary folder from the variables.
    static bool TempFolderIs(const fs::path& folder) {
        return fs::path(TempFolder()).lexically_normal() == folder.lexically_normal() ||
               fs::path(TempFolder()).parent_path() == folder;
    }
    fs::path folder_;
};

} // namespace

TEST_F(ReportFileTest, WritesThePageBytesUnchangedAndCrLfIntoANewFile) {
    TempDirOverride tmp(folder_.string());
    ASSERT_TRUE(TempFolderIs(folder_)) << TempFolder();
    const std::string page = std::string("<P>gr\xF6\xDF") + '\0' + "er\n\xE4\xFC\r</P>";
    const std::string path = WriteReportFile(page);
    const fs::path written(path);
    EXPECT_EQ(written.parent_path(), folder_);
    EXPECT_EQ(written.filename().string().rfind("htm", 0), 0u) << path;
    EXPECT_EQ(written.extension(), ".tmp");
    EXPECT_EQ(ReadAll(written), page + "\r\n");
}

TEST_F(ReportFileTest, EveryCallLeavesOneMoreFileAndAnEmptyPageGivesOnlyCrLf) {
    TempDirOverride tmp(folder_.string());
    ASSERT_TRUE(TempFolderIs(folder_)) << TempFolder();
    const std::string first = WriteReportFile("one");
    const std::string second = WriteReportFile("");
    const std::string third = WriteReportFile("one");
    EXPECT_NE(first, second);
    EXPECT_NE(first, third);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 3);
    EXPECT_EQ(ReadAll(second), "\r\n");
    EXPECT_EQ(ReadAll(first), "one\r\n");
}

TEST_F(ReportFileTest, MissingTempFolderRaisesTheSystemsCode) {
    if (fs::path::preferred_separator != '/') {
        GTEST_SKIP() << "names a POSIX folder; tests/win32 checks the Windows failure";
    }
    TempDirOverride tmp("/nonexistent/bulkon-report");
    try {
        WriteReportFile("page");
        FAIL() << "no error raised";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory) << error.what();
        EXPECT_NE(std::string(error.what()).find("/nonexistent/bulkon-report"), std::string::npos)
            << error.what();
    }
}

TEST_F(ReportFileTest, WritingReplacesEarlierContent) {
    const fs::path path = folder_ / "htm1.tmp";
    std::ofstream(path) << std::string(4096, 'x');
    WritePageFile(path.string(), "new");
    EXPECT_EQ(ReadAll(path), "new\r\n");
}

TEST_F(ReportFileTest, OpenAndWriteFailuresRaiseTheSystemsCode) {
    try {
        WritePageFile((folder_ / "gone" / "htm2.tmp").string(), "page");
        FAIL() << "opening a file in a missing folder succeeded";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory) << error.what();
        EXPECT_NE(std::string(error.what()).find("htm2.tmp"), std::string::npos);
    }
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "/dev/full is missing; cannot make a write fail";
    }
    try {
        WritePageFile("/dev/full", std::string(100000, 'p'));
        FAIL() << "writing to a full device reported success";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_space_on_device) << error.what();
    }
}
