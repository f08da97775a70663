#include "WinFixture.h"

#include "walk/FolderWalk.h"
#include "walk/FolderWalk.h"
#include "platform/fs/Paths.h"
#include "platform/win32/WideText.h"

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
    std::function<void(const std::string&, const std::string&)> visit =
        [&](const std::string& folder, const std::string& relative) {
            FolderEnumeration enumeration(walk, folder);
            if (!enumeration.IsOpen()) {
                return;
            }
            DirectoryEntry entry;
            while (enumeration.Next(entry)) {
                const std::string name(entry.Name);
                const std::string key = relative.empty() ? name : relative + "\\" + name;
                Seen& record = seen[key];
                record.SizeBytes = entry.SizeBytes;
                record.Attributes = entry.Attributes;
                record.LastWriteTime = entry.LastWriteTime;
                ++record.Count;
                if (entry.Attributes & FolderAttribute) {
                    {
                        FolderEnumeration probe(walk, JoinPath(folder, name));
                        record.Opened = probe.IsOpen();
                        record.Skip = probe.Skip();
                    }
                    visit(JoinPath(folder, name), key);
                    // The parent's entry is still readable after its subfolder was walked.
                    EXPECT_EQ(std::string(entry.Name), name);
                }
            }
        };
    visit(root, "");
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
    FolderWalk walk(FromWide(tree.Path()));
    DirectoryEntry entry;

    FolderEnumeration missing(walk, FromWide(tree / L"missing"));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.Next(entry));

    FolderEnumeration notAFolder(walk, FromWide(tree / L"file.txt"));
    EXPECT_FALSE(notAFolder.IsOpen());
    EXPECT_FALSE(notAFolder.Next(entry));

    // The walk goes on after a failed folder.
    FolderEnumeration root(walk, walk.Root());
    ASSERT_TRUE(root.IsOpen());
    ASSERT_TRUE(root.Next(entry));
    EXPECT_EQ(std::string(entry.Name), "file.txt");
    EXPECT_FALSE(root.Next(entry));
    EXPECT_FALSE(root.Next(entry)); // stays at the end
}

TEST(Win32FolderWalk, ClosingEndsTheEnumerationAndCanBeRepeated) {
    TempTree tree;
    MakeFile(tree / L"a.txt");
    MakeFile(tree / L"b.txt");
    MakeFolder(tree / L"sub");
    MakeFile(tree / L"sub\\c.txt");
    FolderWalk walk(FromWide(tree.Path()));
    DirectoryEntry entry;
    {
        FolderEnumeration root(walk, walk.Root());
        ASSERT_TRUE(root.Next(entry));
        root.Close();
        EXPECT_FALSE(root.IsOpen());
        EXPECT_FALSE(root.Next(entry));
        root.Close();
    }
    // The same walk opens its root again afterwards, with all its entries.
    FolderEnumeration again(walk, walk.Root());
    int count = 0;
    while (again.Next(entry)) {
        ++count;
        if (std::string(entry.Name) == "sub") {
            FolderEnumeration sub(walk, JoinPath(walk.Root(), "sub"));
            DirectoryEntry inner;
            ASSERT_TRUE(sub.Next(inner));
            EXPECT_EQ(std::string(inner.Name), "c.txt");
            // Closed while it still has entries: the parent goes on where it was.
        }
    }
    EXPECT_EQ(count, 3);
}

// Makes a link to a folder; false when this system or user cannot.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2; // ...ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) {
        return false;
    }
    // Some systems answer success without making anything.
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

TEST(Win32FolderWalk, FollowsFolderLinksButNeverTwiceOrInCycles) {
    // root\data\big.bin, root\data\up -> root, root\data\self -> root\data,
    // root\outlink -> outside, outside\far.bin, outside\back -> root,
    // outside\loop -> outside. Made here where links can be made; under Wine, which makes
    // none for a program, .ci/windows makes the same tree from the Linux side.
    TempTree tree;
    std::wstring top = tree.Path();
    MakeFolder(tree / L"root");
    MakeFolder(tree / L"root\\data");
    MakeFolder(tree / L"outside");
    if (MakeFolderLink(tree / L"root\\data\\up", tree / L"root")) {
        MakeFile(tree / L"root\\data\\big.bin", 1000);
        MakeFile(tree / L"outside\\far.bin", 2000);
        ASSERT_TRUE(MakeFolderLink(tree / L"root\\data\\self", tree / L"root\\data"));
        ASSERT_TRUE(MakeFolderLink(tree / L"root\\outlink", tree / L"outside"));
        ASSERT_TRUE(MakeFolderLink(tree / L"outside\\back", tree / L"root"));
        ASSERT_TRUE(MakeFolderLink(tree / L"outside\\loop", tree / L"outside"));
    } else {
        wchar_t prepared[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"BULKON_TEST_LINK_TREE", prepared, MAX_PATH) == 0) {
            GTEST_SKIP() << "no folder links can be made here, and no tree with links was "
                            "prepared (BULKON_TEST_LINK_TREE)";
        }
        top = prepared;
    }

    const auto seen = WalkAll(FromWide(top + L"\\root"));

    // Every file once, also the one reached only through a link.
    EXPECT_EQ(seen.at("data\\big.bin").Count, 1);
    EXPECT_EQ(seen.at("data\\big.bin").SizeBytes, 1000u);
    EXPECT_EQ(seen.at("outlink\\far.bin").Count, 1);
    EXPECT_EQ(seen.at("outlink\\far.bin").SizeBytes, 2000u);
    EXPECT_TRUE(seen.at("data").Opened);
    EXPECT_TRUE(seen.at("outlink").Opened);
    // Links into the tree and links to a folder the walk is inside of are listed as
    // folders but not entered.
    for (const std::string link : {"data\\up", "data\\self", "outlink\\back", "outlink\\loop"}) {
        ASSERT_EQ(seen.count(link), 1u) << link;
        EXPECT_NE(seen.at(link).Attributes & FolderAttribute, 0u) << link;
        EXPECT_FALSE(seen.at(link).Opened) << link;
    }
    EXPECT_EQ(seen.size(), 8u);
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

    FolderWalk walk(FromWide(tree.Path()));
    FolderEnumeration last(walk, FromWide(deep));
    ASSERT_TRUE(last.IsOpen());
    DirectoryEntry entry;
    ASSERT_TRUE(last.Next(entry));
    EXPECT_EQ(std::string(entry.Name), std::string(30, 'x'));
    FolderEnumeration beyond(walk, FromWide(tooDeep));
    ASSERT_TRUE(beyond.IsOpen());
    ASSERT_TRUE(beyond.Next(entry));
    EXPECT_EQ(std::string(entry.Name), "inside");
    EXPECT_FALSE(beyond.Next(entry));
}

} // namespace
