#include "WinFixture.h"

#include "platform/fs/FileError.h"
#include "platform/fs/LocalTime.h"
#include "platform/fs/Paths.h"
#include "platform/fs/TempFiles.h"
#include "platform/fs/Volume.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/WideText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include <cstdint>
#include <string>

namespace {

using winfixture::TempTree;

TEST(Win32Paths, ScanRootLosesExactlyOneBackslash) {
    EXPECT_EQ(TrimScanRoot("D:\\"), "D:");
    EXPECT_EQ(TrimScanRoot("C:"), "C:");
    EXPECT_EQ(TrimScanRoot("D:\\Data\\"), "D:\\Data");
    EXPECT_EQ(TrimScanRoot("D:\\Data\\\\"), "D:\\Data\\");
    EXPECT_EQ(TrimScanRoot(""), "");
}

TEST(Win32Paths, JoinsAndSplitsWithOneSeparator) {
    EXPECT_EQ(JoinPath("C:", "pagefile.sys"), "C:\\pagefile.sys");
    EXPECT_EQ(JoinPath("D:\\Data", "a.iso"), "D:\\Data\\a.iso");

    FileLocation inFolder = SplitFileLocation("C:\\Data\\a.iso");
    EXPECT_EQ(inFolder.Location, "C:\\Data\\");
    EXPECT_EQ(inFolder.FileName, "a.iso");
    FileLocation inRoot = SplitFileLocation(JoinPath("C:", "a.iso"));
    EXPECT_EQ(inRoot.Location, "C:\\");
    EXPECT_EQ(inRoot.FileName, "a.iso");
    FileLocation driveRelative = SplitFileLocation("C:a.iso");
    EXPECT_EQ(driveRelative.Location, "C:");
    EXPECT_EQ(driveRelative.FileName, "a.iso");
    FileLocation bare = SplitFileLocation("a.iso");
    EXPECT_EQ(bare.Location, "");
    EXPECT_EQ(bare.FileName, "a.iso");
    // A name with letters beyond ASCII keeps its bytes.
    FileLocation german = SplitFileLocation("D:\\B\xC3\xBC"
                                            "cher\\\xC3\x9F.txt");
    EXPECT_EQ(german.Location, "D:\\B\xC3\xBC"
                               "cher\\");
    EXPECT_EQ(german.FileName, "\xC3\x9F.txt");
}

TEST(Win32Paths, SystemDriveAndProgramPath) {
    wchar_t system[MAX_PATH + 1] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH + 1), 0u);
    const std::string root = SystemDriveRoot();
    ASSERT_EQ(root.size(), 2u);
    EXPECT_EQ(root[1], ':');
    EXPECT_EQ(static_cast<wchar_t>(root[0]), system[0]);

    const std::string program = ProgramPath();
    ASSERT_GT(program.size(), 4u);
    EXPECT_EQ(program.substr(program.size() - 4), ".exe");
    EXPECT_NE(program.find("win32_tests"), std::string::npos) << program;
    EXPECT_TRUE(FileExists(program));
}

TEST(Win32Volumes, RootAndLabelComeFromTheFirstCharacters) {
    EXPECT_EQ(VolumeRootFor("D:\\Data"), "D:\\");
    EXPECT_EQ(VolumeRootFor("d:"), "d:\\"); // the letter as given
    EXPECT_EQ(VolumeRootFor("\\\\server\\share"), "\\:\\");
    EXPECT_EQ(VolumeLabelFor("D:\\Data"), "D:");
    EXPECT_EQ(VolumeLabelFor("C:"), "C:");
    EXPECT_EQ(VolumeLabelFor("\\\\server\\share"), "\\\\");
}

TEST(Win32Volumes, SpaceOfTheSystemDriveAndFailureOnABadRoot) {
    const VolumeSpace system = QueryVolumeSpace(VolumeRootFor(SystemDriveRoot()));
    ASSERT_TRUE(system.Ok);
    EXPECT_GT(system.TotalBytes, 0u);
    EXPECT_LE(system.FreeBytes, system.TotalBytes);

    // A network root gives a volume root that names nothing.
    const VolumeSpace network = QueryVolumeSpace(VolumeRootFor("\\\\server\\share"));
    EXPECT_FALSE(network.Ok);
    EXPECT_EQ(network.TotalBytes, 0u);
    EXPECT_EQ(network.FreeBytes, 0u);
    EXPECT_FALSE(QueryVolumeSpace("1:\\").Ok);
    EXPECT_FALSE(QueryVolumeSpace("").Ok);
}

TEST(Win32Volumes, DriveTypesAndFileExistence) {
    TempTree tree;
    const std::wstring file = tree / L"Gr\u00F6\u00DFe.bin";
    winfixture::MakeFile(file, 10);
    const std::string fileUtf8 = FromWide(file);

    EXPECT_TRUE(FileExists(fileUtf8));
    EXPECT_FALSE(FileExists(FromWide(tree.Path()))); // a folder
    EXPECT_FALSE(FileExists(FromWide(tree / L"missing")));
    EXPECT_FALSE(FileExists(""));

    // The system drive is a fixed disk; the letter is upper-cased before asking.
    std::string lower = SystemDriveRoot() + "\\x";
    lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
    EXPECT_EQ(QueryDriveTypeOfFile(lower), DriveType::Fixed);
    // A letter without a volume is no kind of drive that the program tests for.
    const DWORD drives = GetLogicalDrives();
    for (int letter = 25; letter >= 0; --letter) {
        if ((drives & (1u << letter)) == 0) {
            const std::string path = std::string(1, static_cast<char>('A' + letter)) + ":\\x";
            EXPECT_EQ(QueryDriveTypeOfFile(path), DriveType::Unknown) << path;
            break;
        }
    }
    EXPECT_EQ(QueryDriveTypeOfFile(""), DriveType::Unknown);
}

TEST(Win32TempFiles, ReportFilesAreNewEmptyAndNamedHtmTmp) {
    const std::string folder = TempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_EQ(ToWide(folder), winfixture::TempRoot());

    std::error_code error;
    const std::string first = CreateUniqueTempFile("htm", error);
    ASSERT_FALSE(error) << error.message();
    const std::string second = CreateUniqueTempFile("htm", error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_NE(first, second);

    for (const std::string& path : {first, second}) {
        const FileLocation parts = SplitFileLocation(path);
        EXPECT_EQ(parts.Location, folder + "\\");
        ASSERT_GT(parts.FileName.size(), 7u) << parts.FileName;
        EXPECT_EQ(parts.FileName.substr(0, 3), "htm");
        EXPECT_EQ(parts.FileName.substr(parts.FileName.size() - 4), ".tmp");
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(data.nFileSizeLow, 0u);
        EXPECT_EQ(data.nFileSizeHigh, 0u);
        DeleteFileW(ToWide(path).c_str());
    }
}

TEST(Win32TempFiles, FailureCarriesTheSystemErrorCode) {
    // A temporary folder that does not exist: the unique name cannot be created.
    wchar_t saved[32768] = {};
    const DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, 32768);
    wchar_t savedTemp[32768] = {};
    const DWORD savedTempLength = GetEnvironmentVariableW(L"TEMP", savedTemp, 32768);
    TempTree tree;
    const std::wstring missing = tree / L"gone";
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    SetEnvironmentVariableW(L"TEMP", missing.c_str());

    std::error_code error;
    const std::string path = CreateUniqueTempFile("htm", error);

    SetEnvironmentVariableW(L"TMP", savedLength > 0 ? saved : nullptr);
    SetEnvironmentVariableW(L"TEMP", savedTempLength > 0 ? savedTemp : nullptr);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(error);
    // The system's message, in the user's language and readable (see below).
    EXPECT_EQ(error.category(), WindowsErrorCategory());
    EXPECT_EQ(error.message(), SystemMessage(static_cast<unsigned long>(error.value())));
    EXPECT_EQ(error.default_error_condition(),
              std::system_category().default_error_condition(error.value()));
}

TEST(Win32SystemMessage, ReadsInTheUsersLanguageAsUtf8) {
    // ERROR_DIRECTORY: the message of a temporary folder that is not one.
    const std::string message = SystemMessage(ERROR_DIRECTORY);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(FromWide(ToWide(message)), message) << "not UTF-8: " << message;
    EXPECT_EQ(ToWide(message).find(L'\uFFFD'), std::wstring::npos) << message;
    EXPECT_NE(message.back(), '\n');
    EXPECT_NE(message.back(), '.');
    if (std::getenv("BULKON_EXPECT_GERMAN") != nullptr) {
        // "ungültig", which the ANSI text decoded as UTF-8 shows garbled.
        EXPECT_NE(message.find("ung\xC3\xBCltig"), std::string::npos) << message;
    }
    // A code without a text reads as its number.
    EXPECT_EQ(SystemMessage(0x20001234UL), "0x20001234");
    EXPECT_EQ(WindowsErrorCategory().message(ERROR_DIRECTORY), message);

    // The library's file errors read as the system's too, and still compare by errno.
    const std::error_code missing = FileOperationError(ENOENT);
    EXPECT_EQ(missing, std::errc::no_such_file_or_directory);
    EXPECT_EQ(missing.message(), SystemMessage(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(FileOperationError(ENOSPC), std::errc::no_space_on_device);
    EXPECT_EQ(FileOperationError(ENOSPC).message(), SystemMessage(ERROR_DISK_FULL));
}

TEST(Win32LocalTime, ConvertsToTheLocalClockAndBack) {
    // Whatever the time zone: going back through the inverse conversion gives the same
    // instant, which fixes the epoch and the units. None of the instants is near a change
    // of summer time, in either hemisphere.
    for (const std::int64_t seconds : {0LL, 951782400LL, 1582979696LL, 4102444799LL}) {
        const LocalDateTime local = ToLocalDateTime(seconds);
        SYSTEMTIME parts{};
        parts.wYear = static_cast<WORD>(local.Year);
        parts.wMonth = static_cast<WORD>(local.Month);
        parts.wDay = static_cast<WORD>(local.Day);
        parts.wHour = static_cast<WORD>(local.Hour);
        parts.wMinute = static_cast<WORD>(local.Minute);
        parts.wSecond = static_cast<WORD>(local.Second);
        SYSTEMTIME utcParts{};
        FILETIME utc;
        ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &parts, &utcParts));
        ASSERT_TRUE(SystemTimeToFileTime(&utcParts, &utc));
        const std::uint64_t ticks =
            (static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
        EXPECT_EQ(static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL, seconds);
    }
}

TEST(Win32LocalTime, EveryDateHasTheOffsetOfItsOwnSeason) {
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetTimeZoneInformation(&zone);
    if (kind == TIME_ZONE_ID_INVALID || kind == TIME_ZONE_ID_UNKNOWN || zone.Bias != -60 ||
        zone.DaylightBias != -60 || zone.DaylightDate.wMonth != 3) {
        GTEST_SKIP() << "needs Central European Time (TZ=Europe/Berlin under Wine)";
    }
    // Whichever season it is now: a summer noon shows summer time, a winter noon winter time.
    EXPECT_EQ(ToLocalDateTime(1593604800).Hour, 14);                // 2020-07-01 12:00 UTC
    EXPECT_EQ(ToLocalDateTime(1577880000).Hour, 13);                // 2020-01-01 12:00 UTC
    const LocalDateTime beforeChange = ToLocalDateTime(1585443599); // 2020-03-29 00:59:59 UTC
    EXPECT_EQ(beforeChange.Hour, 1);
    EXPECT_EQ(beforeChange.Minute, 59);
    EXPECT_EQ(ToLocalDateTime(1585443600).Hour, 3); // one second later: summer time
}

TEST(Win32LocalTime, TimesOutsideTheClockGiveTheEpochDefault) {
    for (const std::int64_t seconds : {-11644473601LL, -99999999999LL, INT64_MIN, INT64_MAX,
                                       922337203685LL - 11644473600LL + 1}) {
        const LocalDateTime local = ToLocalDateTime(seconds);
        EXPECT_EQ(local.Year, 1970) << seconds;
        EXPECT_EQ(local.Month, 1);
        EXPECT_EQ(local.Day, 1);
        EXPECT_EQ(local.Hour, 0);
        EXPECT_EQ(local.Minute, 0);
        EXPECT_EQ(local.Second, 0);
    }
}

} // namespace
