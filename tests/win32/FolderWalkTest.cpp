#include "WinFixture.h"

#include "platform/fs/Paths.h"
#include "platform/win32/WideText.h"
#include "walk/FolderWalk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace {

using winfixture::MakeFile;
using winfixture::MakeFolder;
using winfixture::TempTree;

constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;

struct Seen {
    std::uint64_t SizeBytes = 0;
    std::uint32_t Attributes = 0;
    std::int64_t LastWriteTime = 0;
    int Count = 0;
    bool Opened = false;                // a folder that the walk could enter
    FolderSkip Skip = FolderSkip::None; // why it could not
};

// Walks the tree depth-first as the scan does, keyed by path relative to the root.
std::map<std::string, Seen> WalkAll(const std::string& root) {
    std::map<std::string, Seen> seen;
    FolderWalk walk(root);
    std::function<void(const std::string&)> visit = [&](const std::string& relative) {
        DirectoryEntry entry;
        while (walk.Next(entry)) {
            const std::string name(entry.Name);
            const std::string key = relative.empty() ? name : relative + "\\" + name;
            Seen& record = seen[key];
            record.SizeBytes = entry.SizeBytes;
            record.Attributes = entry.Attributes;
            record.LastWriteTime = entry.LastWriteTime;
            ++record.Count;
            if (entry.Attributes & FolderAttribute) {
                record.Skip = walk.Enter();
                record.Opened = record.Skip == FolderSkip::None;
                if (record.Opened) {
                    visit(key);
                }
            }
        }
        walk.Leave();
    };
    if (walk.OpenRoot() == FolderSkip::None) {
        visit("");
    }
    return seen;
}

TEST(Win32FolderWalk, ListsEveryEntryWithFullSizesOnce) {
    TempTree tree;
    MakeFile(tree / L"empty.txt");
    MakeFile(tree / L"small.bin", 1234);
    MakeFile(tree / L"five.iso", 5 * GiB); // low 32 bits: 1 GiB
    MakeFile(tree / L"four.iso", 4 * GiB); // low 32 bits: 0
    MakeFolder(tree / L"Unterordner \u00E4\u00F6\u00FC");
    MakeFile(tree / L"Unterordner \u00E4\u00F6\u00FC\\stra\u00DFe.txt", 77);
    MakeFolder(tree / L"Unterordner \u00E4\u00F6\u00FC\\deep");
    MakeFile(tree / L"Unterordner \u00E4\u00F6\u00FC\\deep\\six.img", 6 * GiB + 5);
    MakeFolder(tree / L"empty folder");
    MakeFile(tree / L"z.hidden", 9);
    ASSERT_TRUE(SetFileAttributesW((tree / L"z.hidden").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

    const auto seen = WalkAll(FromWide(tree.Path()));

    const std::string folder = "Unterordner \xC3\xA4\xC3\xB6\xC3\xBC";
    const std::map<std::string, std::uint64_t> files = {
        {"empty.txt", 0},
        {"small.bin", 1234},
        {"five.iso", 5 * GiB},
        {"four.iso", 4 * GiB},
        {folder + "\\stra\xC3\x9F"
                  "e.txt",
         77},
        {folder + "\\deep\\six.img", 6 * GiB + 5},
        {"z.hidden", 9},
    };
    for (const auto& [path, size] : files) {
        const auto found = seen.find(path);
        ASSERT_NE(found, seen.end()) << path;
        EXPECT_EQ(found->second.SizeBytes, size) << path;
        EXPECT_EQ(found->second.Attributes & FolderAttribute, 0u) << path;
        EXPECT_EQ(found->second.Count, 1) << path;
    }
    for (const std::string& path : {folder, folder + "\\deep", std::string("empty folder")}) {
        const auto found = seen.find(path);
        ASSERT_NE(found, seen.end()) << path;
        EXPECT_NE(found->second.Attributes & FolderAttribute, 0u) << path;
        EXPECT_EQ(found->second.Count, 1) << path;
    }
    // Hidden and system entries are listed with their attributes as reported.
    EXPECT_EQ(seen.at("z.hidden").Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              static_cast<std::uint32_t>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    // Nothing else: no "." or "..", at any level.
    EXPECT_EQ(seen.size(), files.size() + 3);
}

TEST(Win32FolderWalk, LastWriteTimeIsInUnixSeconds) {
    TempTree tree;
    MakeFile(tree / L"leap.txt", 1);
    MakeFile(tree / L"old.txt", 1);
    winfixture::SetLastWrite(tree / L"leap.txt", 1582979696); // 2020-02-29 12:34:56 UTC
    winfixture::SetLastWrite(tree / L"old.txt", -144000000);  // 1965-06-08

    const auto seen = WalkAll(FromWide(tree.Path()));
    EXPECT_EQ(seen.at("leap.txt").LastWriteTime, 1582979696);
    EXPECT_EQ(seen.at("old.txt").LastWriteTime, -144000000);
}

TEST(Win32FolderWalk, FoldersThatCannotBeListedAreNotOpen) {
    TempTree tree;
    MakeFile(tree / L"file.txt", 3);
    DirectoryEntry entry;
    for (const std::wstring& root : {tree / L"missing", tree / L"file.txt"}) {
        FolderWalk walk(FromWide(root));
        EXPECT_EQ(walk.OpenRoot(), FolderSkip::Unreadable) << FromWide(root);
        EXPECT_FALSE(walk.Next(entry));
    }

    FolderWalk walk(FromWide(tree.Path()));
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(std::string(entry.Name), "file.txt");
    EXPECT_EQ(walk.Enter(), FolderSkip::NotEntered) << "a file is not entered";
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_FALSE(walk.Next(entry)); // stays at the end
    EXPECT_EQ(walk.EndReason(), FolderSkip::None);
}

TEST(Win32FolderWalk, LeavingEndsTheFolderAndTheWalkOpensAgain) {
    TempTree tree;
    MakeFile(tree / L"a.txt");
    MakeFile(tree / L"b.txt");
    MakeFolder(tree / L"sub");
    MakeFile(tree / L"sub\\c.txt");
    FolderWalk walk(FromWide(tree.Path()));
    DirectoryEntry entry;
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    ASSERT_TRUE(walk.Next(entry));
    walk.Leave();
    EXPECT_EQ(walk.Depth(), 0);
    EXPECT_FALSE(walk.Next(entry));

    // The same walk opens its root again afterwards, with all its entries.
    ASSERT_EQ(walk.OpenRoot(), FolderSkip::None);
    int count = 0;
    while (walk.Next(entry)) {
        ++count;
        if (std::string(entry.Name) == "sub") {
            ASSERT_EQ(walk.Enter(), FolderSkip::None);
            DirectoryEntry inner;
            ASSERT_TRUE(walk.Next(inner));
            EXPECT_EQ(std::string(inner.Name), "c.txt");
            // Left while it still has entries: the parent goes on where it was.
            walk.Leave();
        }
    }
    EXPECT_EQ(count, 3);
}

TEST(Win32FolderWalk, FollowsFolderLinksButNeverTwiceOrInCycles) {
    // The fixture's tree with links into the tree, round cycles and out of it.
    TempTree tree;
    const std::wstring top = winfixture::FolderLinkTree(tree);
    if (top.empty()) {
        GTEST_SKIP() << "no folder links can be made here, and no tree with links was "
                        "prepared (BULKON_TEST_LINK_TREE)";
    }

    const auto seen = WalkAll(FromWide(top + L"\\root"));

    // Every file once, also the one reached only through a link.
    EXPECT_EQ(seen.at("data\\big.bin").Count, 1);
    EXPECT_EQ(seen.at("data\\big.bin").SizeBytes, 1000u);
    EXPECT_EQ(seen.at("outlink\\far.bin").Count, 1);
    EXPECT_EQ(seen.at("outlink\\far.bin").SizeBytes, 2000u);
    EXPECT_TRUE(seen.at("data").Opened);
    EXPECT_TRUE(seen.at("outlink").Opened);
    // Links into the tree and links to a folder the walk is inside of are not delivered, as
    // on every platform: only the walk's own way reaches what they lead to.
    for (const std::string link : {"data\\up", "data\\self", "outlink\\back", "outlink\\loop"}) {
        EXPECT_EQ(seen.count(link), 0u) << link;
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST(Win32FolderWalk, LinkOntoARemovableDriveIsNotFollowedUnlessItIsTheRoot) {
    // to-stick\local.bin and to-stick\stick -> R:\stick\on-stick.bin on a removable drive:
    // made by .ci/windows, where Wine has such a drive.
    wchar_t prepared[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"BULKON_TEST_LINK_TREE", prepared, MAX_PATH) == 0 ||
        GetFileAttributesW((std::wstring(prepared) + L"\\to-stick").c_str()) ==
            INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no tree with a link onto a removable drive was prepared";
    }
    const std::string root = FromWide(std::wstring(prepared) + L"\\to-stick");

    const auto seen = WalkAll(root);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.count("local.bin"), 1u);
    ASSERT_EQ(seen.count("stick"), 1u);
    EXPECT_FALSE(seen.at("stick").Opened);
    EXPECT_EQ(seen.at("stick").Skip, FolderSkip::OtherDrive);

    // Chosen as the root, the folder on the stick is walked.
    const auto chosen = WalkAll(JoinPath(root, "stick"));
    EXPECT_EQ(chosen.count("on-stick.bin"), 1u);
}

TEST(Win32FolderWalk, PathsBeyondTheWindowsLimitAreWalked) {
    // Windows does not list a plain path of MAX_PATH characters or more; the walk lists
    // folders by their extended-length paths, at any depth.
    TempTree tree;
    std::wstring deep = tree.Path();
    int levels = 0;
    while (deep.size() + 4 < MAX_PATH - 20) {
        deep += L"\\level" + std::to_wstring(levels++);
        winfixture::Check(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr) != FALSE, deep);
    }
    const std::wstring tooDeep = deep + L"\\" + std::wstring(30, L'x');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + tooDeep).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + tooDeep + L"\\inside").c_str(), nullptr));

    // Walked from the top, every level is entered down to the innermost folder.
    const auto seen = WalkAll(FromWide(tree.Path()));
    std::string relative;
    for (int level = 0; level < levels; ++level) {
        relative += (level == 0 ? "" : "\\") + std::string("level") + std::to_string(level);
        ASSERT_TRUE(seen.count(relative) == 1 && seen.at(relative).Opened) << relative;
    }
    const std::string beyond = relative + "\\" + std::string(30, 'x');
    ASSERT_EQ(seen.count(beyond), 1u);
    EXPECT_TRUE(seen.at(beyond).Opened);
    EXPECT_EQ(seen.count(beyond + "\\inside"), 1u);

    // Chosen as the root, the folder past the limit is walked too.
    const auto fromDeep = WalkAll(FromWide(tooDeep));
    EXPECT_EQ(fromDeep.size(), 1u);
    EXPECT_EQ(fromDeep.count("inside"), 1u);
}

} // namespace
