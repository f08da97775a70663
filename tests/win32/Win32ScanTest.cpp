// The scan engine on the Windows services: real folders, real volumes, drive letters.

#include "WinFixture.h"

#include "platform/win32/WideText.h"
#include "scan/ScanEngine.h"
#include "tests/scan/RecordingWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using winfixture::MakeFile;
using winfixture::MakeFolder;

constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;

const ResultEntry* FindEntry(const ResultList& list, const std::string& caption) {
    for (int row = 0; row < list.Count(); ++row) {
        if (list.At(row).Caption == caption) {
            return &list.At(row);
        }
    }
    return nullptr;
}

// A drive whose root folder holds the test's files for as long as the object lives: a
// letter mapped to a temporary folder, or else the drive set aside for tests (Wine maps no
// letters for a program).
class TestDrive {
public:
    TestDrive() {
        const DWORD used = GetLogicalDrives();
        for (int letter = 25; letter >= 3 && root_.empty(); --letter) {
            if (used & (1u << letter)) {
                continue;
            }
            const std::wstring device = {static_cast<wchar_t>(L'A' + letter), L':'};
            if (!DefineDosDeviceW(0, device.c_str(), tree_.Path().c_str())) {
                continue;
            }
            mapped_ = device;
            MakeFile(tree_ / L"mapped", 0);
            if (GetFileAttributesW((device + L"\\mapped").c_str()) != INVALID_FILE_ATTRIBUTES) {
                DeleteFileW((tree_ / L"mapped").c_str());
                root_ = device + L"\\";
                return;
            }
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, mapped_.c_str(), nullptr);
            mapped_.clear();
        }
        root_ = winfixture::TestDriveRoot();
    }
    ~TestDrive() {
        for (const std::wstring& path : made_) {
            winfixture::RemoveTree(path);
            DeleteFileW(path.c_str());
        }
        if (!mapped_.empty()) {
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, mapped_.c_str(), nullptr);
        }
    }
    TestDrive(const TestDrive&) = delete;
    TestDrive& operator=(const TestDrive&) = delete;

    // The root, such as "S:\" with its backslash; empty when there is no drive for the test.
    const std::wstring& Root() const { return root_; }
    // Remembers a file or folder made in the root, to remove it at the end.
    std::wstring Made(const std::wstring& name) {
        made_.push_back(root_ + name);
        return made_.back();
    }

private:
    winfixture::TempTree tree_;
    std::wstring mapped_;
    std::wstring root_;
    std::vector<std::wstring> made_;
};

TEST(Win32Scan, KeepsTheHundredLargestFilesInOrder) {
    winfixture::TempTree tree;
    MakeFolder(tree / L"sub");
    MakeFolder(tree / L"sub\\deeper");
    std::vector<std::uint64_t> sizes;
    for (int i = 0; i < 138; ++i) {
        // Distinct sizes, spread over the folders in an order unlike their sizes.
        const std::uint64_t size = 1000 + static_cast<std::uint64_t>((i * 37) % 138) * 4099;
        const wchar_t* folder = i % 3 == 0 ? L"" : (i % 3 == 1 ? L"sub\\" : L"sub\\deeper\\");
        MakeFile(tree / (folder + std::to_wstring(i) + L".bin"), size);
        sizes.push_back(size);
    }
    MakeFile(tree / L"sub\\five.iso", 5 * GiB);
    MakeFile(tree / L"four.iso", 4 * GiB);
    sizes.push_back(5 * GiB);
    sizes.push_back(4 * GiB);

    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    const std::string root = FromWide(tree.Path());
    engine.StartScan(root + "\\");

    EXPECT_EQ(engine.State().ScanRoot, root);
    EXPECT_EQ(engine.State().FileCount, sizes.size());
    EXPECT_GT(engine.State().DiskTotalMB, 1u); // the volume was queried

    std::sort(sizes.rbegin(), sizes.rend());
    const ResultList& list = engine.List();
    ASSERT_EQ(list.Count(), 100);
    for (int row = 0; row < list.Count(); ++row) {
        EXPECT_EQ(list.At(row).SizeValue, sizes[static_cast<std::size_t>(row)]) << row;
        EXPECT_TRUE(list.At(row).IsComplete()) << row;
    }

    const ResultEntry* five = FindEntry(list, "five.iso");
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->SizeText, "5368\xC2\xB4"
                              "709\xC2\xB4"
                              "120 Byte");
    EXPECT_EQ(five->FolderText, root + "\\sub");
    const ResultEntry* four = FindEntry(list, "four.iso");
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->FolderText, root);
}

TEST(Win32Scan, DriveRootIsScannedAsTheLetterAlone) {
    TestDrive drive;
    if (drive.Root().empty()) {
        GTEST_SKIP() << "no drive letter for the test: none could be mapped, and no drive has "
                        "a file bulkon-test-drive in its root";
    }
    MakeFile(drive.Made(L"in root \u00E4.bin"), 300);
    MakeFolder(drive.Made(L"Data-bulkon-test"));
    MakeFile(drive.Root() + L"Data-bulkon-test\\a.iso", 200);
    const std::string letter = FromWide(drive.Root().substr(0, 2));

    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.StartScan(letter + "\\");

    EXPECT_EQ(engine.State().ScanRoot, letter);
    EXPECT_EQ(window.Count("status " + letter), 1);
    const ResultEntry* inRoot = FindEntry(engine.List(), "in root \xC3\xA4.bin");
    ASSERT_NE(inRoot, nullptr);
    EXPECT_EQ(inRoot->FolderText, letter);
    EXPECT_EQ(inRoot->SizeValue, 300u);
    const ResultEntry* inData = FindEntry(engine.List(), "a.iso");
    ASSERT_NE(inData, nullptr);
    EXPECT_EQ(inData->FolderText, letter + "\\Data-bulkon-test");
}

TEST(Win32Scan, RootWithoutADriveLetterFallsBackToOneMiB) {
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.StartScan("1:\\nowhere");

    EXPECT_EQ(engine.State().DiskTotalMB, 1u);
    EXPECT_EQ(engine.State().DiskUsedMB, 1u);
    EXPECT_EQ(engine.State().FileCount, 0u);
    EXPECT_EQ(engine.List().Count(), 0);
    // A root that cannot be read gives no result, and no summary that would read as one.
    EXPECT_TRUE(engine.State().RootUnreadable);
    EXPECT_EQ(window.Count("report 1"), 0);
}

} // namespace
