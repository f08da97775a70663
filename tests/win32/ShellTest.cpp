#include "WinFixture.h"

#include "platform/fs/Volume.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Shell.h"
#include "scan/IconLookup.h"
#include "scan/ScanEngine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using winfixture::MakeFile;
using winfixture::MakeFolder;
using winfixture::TempTree;

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The shell's icons, as the window on Windows asks for them, with the paths asked for.
class ShellIcons : public IconLookup {
public:
    std::vector<std::string> Asked;
    int SmallIconIndex(const std::string& path) override {
        Asked.push_back(path);
        return ShellSmallIconIndex(path);
    }
};

TEST(Win32ShellDelete, DeletesTheFileForGoodAndOnlyIt) {
    TempTree tree;
    MakeFile(tree / L"doomed \u00E4.bin", 4096);
    MakeFile(tree / L"doomed \u00E4.bin.keep", 1);
    MakeFile(tree / L"neighbour.bin", 1);

    EXPECT_TRUE(ShellDeleteFileForGood(nullptr, FromWide(tree / L"doomed \u00E4.bin"),
                                       DeleteConfirmation::DontAsk));
    EXPECT_FALSE(Exists(tree / L"doomed \u00E4.bin"));
    EXPECT_TRUE(Exists(tree / L"doomed \u00E4.bin.keep"));
    EXPECT_TRUE(Exists(tree / L"neighbour.bin"));
}

TEST(Win32ShellDelete, LeavesFoldersAlone) {
    TempTree tree;
    MakeFolder(tree / L"listed once");
    MakeFile(tree / L"listed once\\inside.txt", 1);

    EXPECT_FALSE(ShellDeleteFileForGood(nullptr, FromWide(tree / L"listed once"),
                                        DeleteConfirmation::DontAsk));
    EXPECT_TRUE(Exists(tree / L"listed once\\inside.txt"));
    EXPECT_FALSE(ShellDeleteFileForGood(nullptr, "", DeleteConfirmation::DontAsk));
}

TEST(Win32ShellReveal, SelectParametersNameTheFile) {
    EXPECT_EQ(RevealSelectParameters("a.iso"), "/select, a.iso");
    EXPECT_EQ(RevealSelectParameters("with space.iso"), "/select, with space.iso");
    // Explorer cuts its argument at a comma.
    EXPECT_EQ(RevealSelectParameters("a,b.iso"), "/select, \"a,b.iso\"");
}

TEST(Win32ShellIcons, SmallIconIndexOfAFileAndOfNothing) {
    TempTree tree;
    MakeFile(tree / L"note.txt", 5);
    EXPECT_GE(ShellSmallIconIndex(FromWide(tree / L"note.txt")), 0);
    EXPECT_EQ(ShellSmallIconIndex(FromWide(tree / L"missing.txt")), -1);
    EXPECT_NE(SystemSmallImageList(), nullptr);
}

TEST(Win32ShellIcons, FilesOnFixedDrivesAskTheShell) {
    TempTree tree;
    MakeFile(tree / L"note.txt", 5);
    ASSERT_EQ(QueryDriveTypeOfFile(FromWide(tree.Path())), DriveType::Fixed)
        << "the temporary folder is expected on a fixed disk";
    ShellIcons icons;
    const std::string path = FromWide(tree / L"note.txt");
    EXPECT_EQ(GetFileIconIndex(path, icons), ShellSmallIconIndex(path));
    ASSERT_EQ(icons.Asked.size(), 1u);
    EXPECT_EQ(icons.Asked[0], path);

    // No file, no icon, and the shell is not asked.
    EXPECT_EQ(GetFileIconIndex(FromWide(tree / L"missing.txt"), icons), -1);
    EXPECT_EQ(GetFileIconIndex(FromWide(tree.Path()), icons), -1);
    EXPECT_EQ(icons.Asked.size(), 1u);
}

TEST(Win32ShellIcons, FilesOnRemovableDrivesGetTheFirstIcon) {
    const std::wstring root = winfixture::TestDriveRoot(DRIVE_REMOVABLE);
    if (root.empty()) {
        GTEST_SKIP() << "no removable drive set aside for tests (one with a file "
                        "bulkon-test-drive in its root)";
    }
    const std::wstring probe = root + L"bulkon-icon-probe.tmp";
    MakeFile(probe, 1);
    ShellIcons icons;
    // Lower case on purpose: the letter is upper-cased before the drive is asked.
    std::string path = FromWide(probe);
    path[0] = static_cast<char>(path[0] - 'A' + 'a');
    EXPECT_EQ(QueryDriveTypeOfFile(path), DriveType::Removable);
    EXPECT_EQ(GetFileIconIndex(path, icons), 0);
    EXPECT_TRUE(icons.Asked.empty());
    DeleteFileW(probe.c_str());
}

} // namespace
