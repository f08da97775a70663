// Files whose paths are longer than the system's plain limit of MAX_PATH characters: the
// file services reach them through the extended-length form, the shell's calls through the
// volume's short names.

#include "WinFixture.h"

#include "platform/fs/Paths.h"
#include "platform/fs/Volume.h"
#include "platform/win32/ExtendedPath.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Shell.h"
#include "scan/ScanEngine.h"
#include "tests/scan/RecordingWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using winfixture::MakeFile;
using winfixture::MakeFolder;
using winfixture::TempTree;

TEST(Win32ExtendedPath, DrivePathsAndSharesTakeTheirPrefixOthersStayAsTheyAre) {
    EXPECT_EQ(ExtendedLengthPath(std::string_view("C:\\Data\\a.bin")), L"\\\\?\\C:\\Data\\a.bin");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("d:/Data/a.bin")), L"\\\\?\\d:\\Data\\a.bin");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("\\\\server\\share\\a.bin")),
              L"\\\\?\\UNC\\server\\share\\a.bin");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("\\\\?\\C:\\x")), L"\\\\?\\C:\\x");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("\\\\.\\PhysicalDrive0")),
              L"\\\\.\\PhysicalDrive0");
    // Not a full path: the prefix would make the system take it literally.
    EXPECT_EQ(ExtendedLengthPath(std::string_view("relative\\a.bin")), L"relative\\a.bin");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("C:a.bin")), L"C:a.bin");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("C:")), L"\\\\?\\C:\\");
    EXPECT_EQ(ListingPattern(L"C:\\Data"), L"\\\\?\\C:\\Data\\*");
    EXPECT_EQ(ExtendedLengthPath(std::string_view("gr\xC3\xB6\xC3\x9F")), L"gr\u00F6\u00DF");

    EXPECT_EQ(PlainPath(L"\\\\?\\C:\\x"), L"C:\\x");
    EXPECT_EQ(PlainPath(L"\\\\?\\UNC\\server\\share"), L"\\\\server\\share");
    EXPECT_EQ(PlainPath(L"C:\\x"), L"C:\\x");
}

// A tree whose files lie at full paths of exactly the lengths asked for, below folders with
// names of 200 characters.
class DeepTree {
public:
    explicit DeepTree(const std::vector<std::size_t>& lengths) {
        for (const std::size_t length : lengths) {
            std::wstring folder = tree_.Path();
            int level = 0;
            // Room for a backslash and a file name of at least 20 characters.
            while (folder.size() + 1 + 200 + 1 + 20 <= length) {
                std::wstring name =
                    std::to_wstring(length) + L"-" + std::to_wstring(level++) + L"-";
                name.resize(200, L'd');
                folder += L"\\" + name;
                const std::wstring extended = L"\\\\?\\" + folder;
                if (GetFileAttributesW(extended.c_str()) == INVALID_FILE_ATTRIBUTES) {
                    MakeFolder(extended);
                }
            }
            std::wstring file = L"f" + std::to_wstring(length) + L"-";
            file.resize(length - folder.size() - 1 - 4, L'x');
            file += L".blt";
            const std::wstring path = folder + L"\\" + file;
            MakeFile(L"\\\\?\\" + path, length * 1000);
            Files.push_back(path);
        }
    }
    std::wstring Root() const { return tree_.Path(); }
    std::vector<std::wstring> Files;

private:
    TempTree tree_;
};

bool ExistsExtended(const std::wstring& path) {
    return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether two paths lead to the same file: the same volume and the same file index.
bool SameFile(const std::wstring& first, const std::wstring& second) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::wstring paths[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileW(ExtendedLengthPath(std::wstring_view(paths[i])).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        const bool ok = GetFileInformationByHandle(file, &info[i]) != FALSE;
        CloseHandle(file);
        if (!ok) {
            return false;
        }
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

TEST(Win32LongPaths, FilesBeyondMaxPathAreFoundRevealedAndDeleted) {
    DeepTree tree({300, 600, 2000});
    ASSERT_EQ(tree.Files.size(), 3u);
    for (const std::wstring& file : tree.Files) {
        SCOPED_TRACE(std::to_string(file.size()) + " characters");
        const std::string path = FromWide(file);
        ASSERT_GT(file.size(), static_cast<std::size_t>(MAX_PATH));
        EXPECT_TRUE(FileExists(path));
        EXPECT_FALSE(FolderExists(path));
        const FileLocation location = SplitFileLocation(path);
        EXPECT_TRUE(FolderExists(location.Location));
        EXPECT_FALSE(FileExists(location.Location));
        EXPECT_EQ(QueryDriveTypeOfFile(path), DriveType::Fixed);

        // The shell's calls get the short form, which leads to the same file.
        const std::wstring reachable = ShellReachablePath(path);
        ASSERT_FALSE(reachable.empty()) << "this volume keeps no short names";
        EXPECT_LT(reachable.size(), static_cast<std::size_t>(MAX_PATH));
        EXPECT_TRUE(SameFile(reachable, file));
        EXPECT_TRUE(ShellCanReach(path));
        EXPECT_GE(ShellSmallIconIndex(path), 0);

        std::wstring folder;
        std::wstring name;
        ASSERT_TRUE(RevealSelectTarget(location.Location, location.FileName, folder, name));
        EXPECT_LT(folder.size() + name.size(), static_cast<std::size_t>(MAX_PATH));
        EXPECT_EQ(folder.back(), L'\\');
        EXPECT_TRUE(SameFile(folder + name, file));
    }

    // Deleting one file through the shell takes exactly that file.
    for (std::size_t i = 0; i < tree.Files.size(); ++i) {
        SCOPED_TRACE(std::to_string(tree.Files[i].size()) + " characters");
        EXPECT_TRUE(
            ShellDeleteFileForGood(nullptr, FromWide(tree.Files[i]), DeleteConfirmation::DontAsk));
        for (std::size_t j = 0; j < tree.Files.size(); ++j) {
            EXPECT_EQ(ExistsExtended(tree.Files[j]), j > i) << j;
        }
    }
    // A long path to nothing is out of reach, and nothing is deleted for it.
    const std::string gone = FromWide(tree.Files.back());
    EXPECT_FALSE(ShellCanReach(gone));
    EXPECT_FALSE(ShellDeleteFileForGood(nullptr, gone, DeleteConfirmation::DontAsk));
    EXPECT_FALSE(ShellOpen(nullptr, gone));
}

// Opening goes through a handler of the test's own for the fixture's file type, which
// writes down the path it was given: the path must lead to the file.
class RecordingOpenHandler {
public:
    RecordingOpenHandler(const std::wstring& extension, const std::wstring& record)
        : extension_(extension) {
        const std::wstring command = L"cmd.exe /c echo %1>\"" + record + L"\"";
        ok_ = SetValue(extension_, L"BulkonTest.Recorder") &&
              SetValue(L"BulkonTest.Recorder\\shell\\open\\command", command);
    }
    ~RecordingOpenHandler() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, extension_.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"BulkonTest.Recorder");
    }
    RecordingOpenHandler(const RecordingOpenHandler&) = delete;
    RecordingOpenHandler& operator=(const RecordingOpenHandler&) = delete;
    bool Ok() const { return ok_; }

private:
    static bool SetValue(const std::wstring& key, const std::wstring& value) {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const LONG result =
            RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
        return result == ERROR_SUCCESS;
    }
    std::wstring extension_;
    bool ok_ = false;
};

// The first line of a small text file, without its line end; empty while there is none.
std::wstring FirstLine(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    char buffer[1024] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
    CloseHandle(file);
    std::string line(buffer, read);
    line = line.substr(0, line.find_first_of("\r\n"));
    while (!line.empty() && (line.back() == ' ' || line.back() == '"')) {
        line.pop_back();
    }
    if (!line.empty() && line.front() == '"') {
        line.erase(0, 1);
    }
    return std::wstring(line.begin(), line.end());
}

TEST(Win32LongPaths, OpenHandsTheHandlerAPathThatLeadsToTheFile) {
    // Not at 2,000 characters: Wine's ShellExecute expands the short form again, and its
    // GetLongPathNameW overruns a buffer of 1,024 characters (Windows has no such limit).
    DeepTree tree({300, 600});
    const std::wstring record = tree.Root() + L"\\opened.txt";
    RecordingOpenHandler handler(L".blt", record);
    ASSERT_TRUE(handler.Ok()) << "the test's file type could not be registered";
    for (const std::wstring& file : tree.Files) {
        SCOPED_TRACE(std::to_string(file.size()) + " characters");
        DeleteFileW(record.c_str());
        ASSERT_TRUE(ShellOpen(nullptr, FromWide(file)));
        // The handler runs on its own: its record is waited for, ten seconds at most.
        std::wstring opened;
        for (int wait = 0; wait < 200 && opened.empty(); ++wait) {
            Sleep(50);
            opened = FirstLine(record);
        }
        ASSERT_FALSE(opened.empty()) << "the handler was not started";
        EXPECT_LT(opened.size(), static_cast<std::size_t>(MAX_PATH));
        EXPECT_TRUE(SameFile(opened, file)) << std::string(opened.begin(), opened.end());
    }
}

TEST(Win32LongPaths, TheWalkListsFilesAtEveryDepth) {
    DeepTree tree({300, 600, 2000});
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.StartScan(FromWide(tree.Root()));
    const ResultList& list = engine.List();
    EXPECT_EQ(engine.State().UnreadableFolderCount, 0u);
    EXPECT_EQ(engine.State().FileCount, 3u);
    ASSERT_EQ(list.Count(), 3);
    // Largest first: the sizes grow with the paths' lengths. The list shows the full path.
    for (int row = 0; row < 3; ++row) {
        const std::wstring& file = tree.Files[static_cast<std::size_t>(2 - row)];
        const ResultEntry& entry = list.At(row);
        EXPECT_EQ(ToWide(JoinPath(entry.FolderText, entry.Caption)), file);
        EXPECT_EQ(entry.SizeValue, file.size() * 1000);
        // Asked for its icon: the file was found to exist.
        EXPECT_EQ(entry.IconIndex, FixedIcons::Index);
    }
}

} // namespace
