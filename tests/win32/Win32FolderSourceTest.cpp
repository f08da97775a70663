#include "WinFixture.h"

#include "platform/fs/FolderSource.h"
#include "platform/win32/WideText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace {

using winfixture::MakeFile;
using winfixture::MakeFolder;
using winfixture::TempTree;

using Kind = EntryFacts::Kind;

constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;

// Every entry of `folder` from its first name on, each looked at as it is read; a name met
// twice fails the test.
std::map<std::string, EntryFacts> ListAll(SourceFolder& folder) {
    std::map<std::string, EntryFacts> entries;
    folder.Rewind();
    for (std::string_view name = folder.ReadName(); !name.empty(); name = folder.ReadName()) {
        EXPECT_EQ(name.data()[name.size()], '\0');
        EntryFacts facts;
        EXPECT_EQ(folder.LookAt(name, facts), LookResult::Looked) << name;
        EXPECT_TRUE(entries.emplace(std::string(name), facts).second) << name << " twice";
    }
    EXPECT_FALSE(folder.ReadFailed());
    EXPECT_TRUE(folder.ReadName().empty()); // stays at the end
    return entries;
}

// The folder at `path`, opened as the walk opens its root; null when it cannot be opened.
std::unique_ptr<SourceFolder> Open(FolderSource& source, const std::wstring& path) {
    OpenFailure failure = OpenFailure::Unreadable;
    auto folder = source.OpenPath(FromWide(path), false, failure);
    EXPECT_EQ(failure, folder ? OpenFailure::None : OpenFailure::Unreadable) << FromWide(path);
    return folder;
}

TEST(Win32FolderSource, ListsLooksAndOpensAroundAFolder) {
    TempTree tree;
    const std::wstring folderName = L"Unterordner \u00E4\u00F6\u00FC";
    MakeFile(tree / L"small.bin", 1234);
    winfixture::SetLastWrite(tree / L"small.bin", 1582979696); // 2020-02-29 12:34:56 UTC
    MakeFile(tree / L"old.txt", 1);
    winfixture::SetLastWrite(tree / L"old.txt", -144000000); // 1965-06-08
    MakeFile(tree / L"five.iso", 5 * GiB);                   // low 32 bits: 1 GiB
    MakeFile(tree / L"z.hidden", 9);
    ASSERT_TRUE(SetFileAttributesW((tree / L"z.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    MakeFolder(tree / folderName);
    MakeFile(tree / (folderName + L"\\stra\u00DFe.txt"), 77);
    const std::string folder = FromWide(folderName);

    const auto source = MakeSystemFolderSource();
    EXPECT_EQ(source->Separator(), '\\');
    const auto root = Open(*source, tree.Path());
    ASSERT_TRUE(root);
    const auto entries = ListAll(*root);
    ASSERT_EQ(entries.size(), 5u); // no "." or ".."
    const std::map<std::string, std::uint64_t> sizes = {
        {"small.bin", 1234}, {"old.txt", 1}, {"five.iso", 5 * GiB}, {"z.hidden", 9}};
    for (const auto& [name, size] : sizes) {
        const EntryFacts& file = entries.at(name);
        EXPECT_EQ(file.Type, Kind::File) << name;
        EXPECT_EQ(file.SizeBytes, size) << name;
        EXPECT_EQ(file.LinkCount, 1u) << name;
        EXPECT_EQ(file.Identity.Device, root->Identity().Device) << name;
        EXPECT_NE(file.Identity.Number, 0u) << name;
    }
    EXPECT_EQ(entries.at("small.bin").LastWriteTime, 1582979696);
    EXPECT_EQ(entries.at("old.txt").LastWriteTime, -144000000);
    EXPECT_NE(entries.at("z.hidden").Attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(entries.at(folder).Type, Kind::Folder);
    EXPECT_NE(entries.at(folder).Attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    // After a rewind the same names; an entry looked at by name, not just read, looks the same.
    EXPECT_EQ(ListAll(*root).size(), entries.size());
    root->Rewind();
    EntryFacts asked;
    ASSERT_FALSE(root->ReadName().empty());
    ASSERT_EQ(root->LookAt("five.iso", asked), LookResult::Looked);
    EXPECT_EQ(asked.SizeBytes, 5 * GiB);
    EXPECT_EQ(asked.Identity, entries.at("five.iso").Identity);
    EXPECT_EQ(root->LookAt("gone.txt", asked), LookResult::Vanished);

    // The folder opened below is the entry listed, and the folder above it is the root.
    OpenFailure failure = OpenFailure::None;
    const auto below = root->OpenBelow(folder, false, failure);
    ASSERT_TRUE(below);
    EXPECT_EQ(below->Identity(), entries.at(folder).Identity);
    EXPECT_EQ(ListAll(*below)
                  .at("stra\xC3\x9F"
                      "e.txt")
                  .SizeBytes,
              77u);
    // Opened on what the listing said of it, below the root or by its path, it is the same.
    const ListedFolder listed{entries.at(folder).Identity, entries.at(folder).Attributes};
    for (const auto& opened :
         {root->OpenListedBelow(folder, listed, failure),
          source->OpenListedPath(FromWide(tree / folderName), listed, failure)}) {
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->Identity(), below->Identity());
        EXPECT_EQ(ListAll(*opened).size(), 1u);
    }
    EXPECT_FALSE(root->OpenListedBelow("missing", listed, failure));
    EXPECT_EQ(failure, OpenFailure::Unreadable);
    const auto above = below->OpenAbove(failure);
    ASSERT_TRUE(above);
    EXPECT_EQ(above->Identity(), root->Identity());
    EXPECT_EQ(below->RealPath(), root->RealPath() + "\\" + folder);
    EXPECT_EQ(source->RealPathOf(FromWide(tree.Path())), root->RealPath());
    EXPECT_NE(root->RealPath().substr(0, 4), "\\\\?\\");
    EXPECT_FALSE(root->IsOnPseudoFileSystem());

    // Not folders: nothing opens.
    EXPECT_FALSE(root->OpenBelow("small.bin", true, failure));
    EXPECT_EQ(failure, OpenFailure::Unreadable);
    EXPECT_FALSE(root->OpenBelow("missing", false, failure));
    EXPECT_EQ(failure, OpenFailure::Unreadable);
    EXPECT_FALSE(source->OpenPath(FromWide(tree / L"missing"), true, failure));

    // The top of the volume holds itself; its drive is fixed, a stick's removable.
    const auto top = Open(*source, tree.Path().substr(0, 2));
    ASSERT_TRUE(top);
    EXPECT_EQ(top->OpenAbove(failure)->Identity(), top->Identity());
    EXPECT_EQ(source->DriveTypeOfDevice(root->Identity().Device), DriveType::Fixed);
    const std::wstring stick = winfixture::TestDriveRoot(DRIVE_REMOVABLE);
    if (!stick.empty()) {
        const auto onStick = Open(*source, stick);
        ASSERT_TRUE(onStick);
        EXPECT_NE(onStick->Identity().Device, root->Identity().Device);
        EXPECT_EQ(source->DriveTypeOfDevice(onStick->Identity().Device), DriveType::Removable);
    }
}

TEST(Win32FolderSource, OpensAndClimbsPathsBeyondTwoThousandCharacters) {
    TempTree tree;
    std::wstring deepest = tree.Path();
    std::wstring relative;
    for (int level = 0; level < 11; ++level) {
        const std::wstring name = std::wstring(200, L'd') + std::to_wstring(level);
        deepest += L"\\" + name;
        relative += (level == 0 ? L"" : L"\\") + name;
        winfixture::Check(CreateDirectoryW((L"\\\\?\\" + deepest).c_str(), nullptr) != FALSE,
                          L"CreateDirectoryW");
    }
    ASSERT_GT(deepest.size(), 2000u);
    MakeFile(L"\\\\?\\" + deepest + L"\\end.bin", 42);

    const auto source = MakeSystemFolderSource();
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<SourceFolder> folder = Open(*source, tree.Path());
    ASSERT_TRUE(folder);
    // Down one level at a time as the walk goes, entering the entry just read; each folder's
    // above is the one it was opened from.
    for (int level = 0; level < 11; ++level) {
        folder->Rewind();
        const std::string name(folder->ReadName());
        EntryFacts facts;
        ASSERT_EQ(folder->LookAt(name, facts), LookResult::Looked) << level;
        EXPECT_EQ(facts.Type, Kind::Folder);
        auto below = folder->OpenBelow(name, false, failure);
        ASSERT_TRUE(below) << level;
        EXPECT_EQ(below->Identity(), facts.Identity) << level;
        EXPECT_TRUE(folder->ReadName().empty()) << level;
        EXPECT_FALSE(folder->ReadFailed()) << level;
        const auto above = below->OpenAbove(failure);
        ASSERT_TRUE(above) << level;
        EXPECT_EQ(above->Identity(), folder->Identity()) << level;
        folder = std::move(below);
    }
    EXPECT_EQ(ListAll(*folder).at("end.bin").SizeBytes, 42u);
    const auto top = Open(*source, tree.Path());
    ASSERT_TRUE(top);
    EXPECT_EQ(folder->RealPath(), top->RealPath() + "\\" + FromWide(relative));
    EXPECT_GT(folder->RealPath().size(), 2000u);
    EXPECT_EQ(Open(*source, deepest)->Identity(), folder->Identity());
    const auto byRelativePath = top->OpenBelow(FromWide(relative), false, failure);
    ASSERT_TRUE(byRelativePath);
    EXPECT_EQ(byRelativePath->Identity(), folder->Identity());
    EXPECT_NE(byRelativePath->Identity(), top->Identity());
}

TEST(Win32FolderSource, LinksAreLookedAtAndFollowedOnlyWhenAsked) {
    TempTree tree;
    const std::wstring links = winfixture::FolderLinkTree(tree);
    if (links.empty()) {
        GTEST_SKIP() << "no folder links can be made here, and no tree with links was "
                        "prepared (BULKON_TEST_LINK_TREE)";
    }
    const auto source = MakeSystemFolderSource();
    const auto root = Open(*source, links + L"\\root");
    const auto outside = Open(*source, links + L"\\outside");
    ASSERT_TRUE(root && outside);

    const auto entries = ListAll(*root);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.at("data").Type, Kind::Folder);
    const EntryFacts& outlink = entries.at("outlink");
    EXPECT_EQ(outlink.Type, Kind::Link);
    EXPECT_NE(outlink.Attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_TRUE(outlink.TargetIsFolder);
    EXPECT_EQ(outlink.TargetIdentity, outside->Identity());

    // Refused without followLink, both as the name just read and as any name.
    OpenFailure failure = OpenFailure::None;
    root->Rewind();
    for (std::string_view name = root->ReadName(); name != "outlink"; name = root->ReadName()) {
        ASSERT_FALSE(name.empty());
    }
    EXPECT_FALSE(root->OpenBelow("outlink", false, failure));
    EXPECT_EQ(failure, OpenFailure::Unreadable);
    root->Rewind();
    EXPECT_FALSE(root->OpenBelow("outlink", false, failure));
    EXPECT_EQ(failure, OpenFailure::Unreadable);
    // Followed, it is its target, and the folder above is the target's.
    const auto followed = root->OpenBelow("outlink", true, failure);
    ASSERT_TRUE(followed);
    EXPECT_EQ(followed->Identity(), outside->Identity());
    EXPECT_EQ(followed->RealPath(), outside->RealPath());
    EXPECT_EQ(followed->OpenAbove(failure)->Identity(), Open(*source, links)->Identity());
    EXPECT_EQ(ListAll(*followed).at("far.bin").SizeBytes, 2000u);

    // Links to a folder the walk is inside of are told by their targets' identities.
    const auto data = root->OpenBelow("data", false, failure);
    ASSERT_TRUE(data);
    const auto inData = ListAll(*data);
    EXPECT_EQ(inData.at("big.bin").SizeBytes, 1000u);
    EXPECT_EQ(inData.at("up").TargetIdentity, root->Identity());
    EXPECT_EQ(inData.at("self").TargetIdentity, data->Identity());

    // Prepared where Wine has a removable drive: a link onto it leads to another volume,
    // whose kind is known once the link is looked at.
    const auto toStick = Open(*source, links + L"\\to-stick");
    if (toStick) {
        const EntryFacts stick = ListAll(*toStick).at("stick");
        EXPECT_EQ(stick.Type, Kind::Link);
        EXPECT_NE(stick.TargetIdentity.Device, toStick->Identity().Device);
        EXPECT_EQ(source->DriveTypeOfDevice(stick.TargetIdentity.Device), DriveType::Removable);
    }
}

} // namespace
