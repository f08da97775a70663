#include "TestTree.h"

#include <gtest/gtest.h>

#include "platform/fs/Language.h"
#include "platform/fs/LocalTime.h"
#include "platform/fs/Paths.h"
#include "platform/fs/TempFiles.h"
#include "platform/fs/Volume.h"
#include "platform/fs/WorkerThreads.h"

#include <ctime>
#include <optional>
#include <set>
#include <thread>

using namespace testtree;

namespace {

// Sets environment variables for one test and restores them afterwards.
class EnvironmentOverride {
public:
    ~EnvironmentOverride() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        tzset();
    }
    void Set(const std::string& name, const char* value) {
        if (saved_.find(name) == saved_.end()) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value != nullptr) {
            setenv(name.c_str(), value, 1);
        } else {
            unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

bool GermanWith(const char* lcAll, const char* lcMessages, const char* lang) {
    EnvironmentOverride environment;
    environment.Set("LC_ALL", lcAll);
    environment.Set("LC_MESSAGES", lcMessages);
    environment.Set("LANG", lang);
    return IsGermanLanguage();
}

} // namespace

TEST(PathsTest, ScanRootLosesOneTrailingSeparatorExceptTheRoot) {
    EXPECT_EQ(TrimScanRoot("/"), "/");
    EXPECT_EQ(TrimScanRoot("/home/u/"), "/home/u");
    EXPECT_EQ(TrimScanRoot("/home/u"), "/home/u");
    EXPECT_EQ(TrimScanRoot("/data//"), "/data/");
    EXPECT_EQ(TrimScanRoot(""), "");
}

TEST(PathsTest, JoinsWithOneSeparator) {
    EXPECT_EQ(JoinPath("/", "a"), "/a");
    EXPECT_EQ(JoinPath("/home/u", "a.iso"), "/home/u/a.iso");
    EXPECT_EQ(JoinPath("/tmp/", "x"), "/tmp/x");
}

TEST(PathsTest, SplitsAFileLocationAfterTheLastSeparator) {
    FileLocation location = SplitFileLocation("/data/a.iso");
    EXPECT_EQ(location.Location, "/data/");
    EXPECT_EQ(location.FileName, "a.iso");
    location = SplitFileLocation("/a.iso");
    EXPECT_EQ(location.Location, "/");
    EXPECT_EQ(location.FileName, "a.iso");
    location = SplitFileLocation("name");
    EXPECT_EQ(location.Location, "");
    EXPECT_EQ(location.FileName, "name");
}

TEST(PathsTest, SystemRootAndProgramPath) {
    EXPECT_EQ(SystemDriveRoot(), "/");
    const std::string program = ProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program[0], '/');
    EXPECT_EQ(SplitFileLocation(program).FileName, "SystemServicesTest");
}

TEST(PathsTest, AbsolutePathKeepsLinksButFollowsParentsOnDisk) {
    ScratchFolder scratch;
    MakeFolder(scratch / "real");
    MakeFolder(scratch / "real/sub");
    MakeFile(scratch / "real/file");
    MakeLink(scratch / "real/sub", scratch / "link");
    char* resolved = realpath(scratch.Path().c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    const std::string real = resolved;
    std::free(resolved);

    EXPECT_EQ(AbsolutePath(scratch.Path() + "/./real//sub/"), scratch / "real/sub");
    EXPECT_EQ(AbsolutePath(scratch / "link"), scratch / "link");
    // "link/.." is the folder above the link's target, not the folder holding the link.
    EXPECT_EQ(AbsolutePath(scratch / "link/../file"), real + "/real/file");
    EXPECT_EQ(AbsolutePath("/"), "/");
    EXPECT_EQ(AbsolutePath(""), "");

    const std::string before = AbsolutePath(".");
    ASSERT_EQ(chdir(scratch.Path().c_str()), 0);
    EXPECT_EQ(AbsolutePath("real"), real + "/real");
    EXPECT_EQ(AbsolutePath("."), real);
    ASSERT_EQ(chdir(before.c_str()), 0);

    EXPECT_TRUE(FolderExists(scratch / "real"));
    EXPECT_TRUE(FolderExists(scratch / "link"));
    EXPECT_FALSE(FolderExists(scratch / "real/file"));
    EXPECT_FALSE(FolderExists(scratch / "missing"));
}

TEST(LanguageTest, FirstNonEmptyVariableDecides) {
    EXPECT_TRUE(GermanWith("de_CH.UTF-8", nullptr, nullptr));
    EXPECT_TRUE(GermanWith(nullptr, "de_AT", nullptr));
    EXPECT_TRUE(GermanWith(nullptr, nullptr, "de"));
    EXPECT_TRUE(GermanWith(nullptr, nullptr, "de_DE@euro"));
    EXPECT_TRUE(GermanWith("", "", "de_DE.UTF-8")) << "empty values fall through";
    EXPECT_FALSE(GermanWith("en_US.UTF-8", "de_DE", "de_DE")) << "LC_ALL wins";
    EXPECT_FALSE(GermanWith("", "en_US", "de_DE")) << "LC_MESSAGES before LANG";
    EXPECT_TRUE(GermanWith("de_DE", "en_US", "en_US"));
    EXPECT_FALSE(GermanWith(nullptr, nullptr, "en_US"));
    EXPECT_FALSE(GermanWith(nullptr, nullptr, nullptr));
    EXPECT_FALSE(GermanWith("C", nullptr, "de_DE")) << "C is a language choice too";
    EXPECT_FALSE(GermanWith(nullptr, nullptr, "dsb_DE")) << "Lower Sorbian is not German";
    EXPECT_FALSE(GermanWith(nullptr, nullptr, "den"));
}

TEST(LocalTimeTest, ConvertsWithFullSecondsInTheLocalZone) {
    EnvironmentOverride environment;
    // A rule-based zone needs no time-zone database on the machine.
    environment.Set("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    LocalDateTime winter = ToLocalDateTime(1234567890); // 2009-02-13 23:31:30 UTC
    EXPECT_EQ(winter.Year, 2009);
    EXPECT_EQ(winter.Month, 2);
    EXPECT_EQ(winter.Day, 14);
    EXPECT_EQ(winter.Hour, 0);
    EXPECT_EQ(winter.Minute, 31);
    EXPECT_EQ(winter.Second, 30);
    LocalDateTime summer = ToLocalDateTime(1720000000); // 2024-07-03 09:46:40 UTC
    EXPECT_EQ(summer.Hour, 11);
    EXPECT_EQ(summer.Second, 40);

    environment.Set("TZ", "UTC0");
    tzset();
    LocalDateTime early = ToLocalDateTime(-86400);
    EXPECT_EQ(early.Year, 1969);
    EXPECT_EQ(early.Month, 12);
    EXPECT_EQ(early.Day, 31);
    LocalDateTime late = ToLocalDateTime(4102444799); // the last second of 2099
    EXPECT_EQ(late.Year, 2099);
    EXPECT_EQ(late.Second, 59);

    LocalDateTime unconvertible = ToLocalDateTime(INT64_MAX);
    EXPECT_EQ(unconvertible.Year, 1970);
    EXPECT_EQ(unconvertible.Month, 1);
    EXPECT_EQ(unconvertible.Day, 1);
}

TEST(TempFilesTest, CreatesNewEmptyFilesWithTheGivenPrefix) {
    ScratchFolder folder;
    EnvironmentOverride environment;
    environment.Set("TMPDIR", folder.Path().c_str());
    EXPECT_EQ(TempFolder(), folder.Path());

    std::set<std::string> names;
    for (int i = 0; i < 2; ++i) {
        std::error_code error;
        const std::string path = CreateUniqueTempFile("htm", error);
        ASSERT_FALSE(error) << error.message();
        const FileLocation location = SplitFileLocation(path);
        EXPECT_EQ(location.Location, folder.Path() + "/");
        EXPECT_EQ(location.FileName.substr(0, 3), "htm");
        ASSERT_GT(location.FileName.size(), 7u);
        EXPECT_EQ(location.FileName.substr(location.FileName.size() - 4), ".tmp");
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_size, 0);
        names.insert(path);
    }
    EXPECT_EQ(names.size(), 2u);
}

TEST(TempFilesTest, FailureGivesTheSystemsErrorCode) {
    ScratchFolder folder;
    EnvironmentOverride environment;
    environment.Set("TMPDIR", (folder / "missing").c_str());
    std::error_code error;
    EXPECT_EQ(CreateUniqueTempFile("htm", error), "");
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);

    environment.Set("TMPDIR", "");
    EXPECT_EQ(TempFolder(), "/tmp") << "an empty TMPDIR means the default";
}

// Threads started beside their caller share its processor until they give themselves back
// where the caller could run; the caller is given it back at the end.
TEST(WorkerThreadsTest, ThreadsStartedBesideTheCallerGetBackEveryProcessor) {
    const unsigned available = ProcessorsAvailable();
    unsigned whileBeside = 0;
    unsigned startedBeside = 0;
    unsigned givenBack = 0;
    {
        const ThreadsStartedBesideCaller beside;
        whileBeside = ProcessorsAvailable();
        std::thread([&] {
            startedBeside = ProcessorsAvailable();
            RunCallingThreadOn(beside.Before());
            givenBack = ProcessorsAvailable();
        }).join();
    }
    EXPECT_EQ(whileBeside, 1u);
    EXPECT_EQ(startedBeside, 1u);
    EXPECT_EQ(givenBack, available);
    EXPECT_EQ(ProcessorsAvailable(), available);
}
