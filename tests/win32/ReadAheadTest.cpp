// Folders read ahead on worker threads change nothing the window sees on Windows either:
// every call in the same order and the same list as the walk that lists each folder as it
// reaches it, which is the reference of each case.

#include "WinFixture.h"

#include "platform/win32/WideText.h"
#include "tests/scan/ScanComparison.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace scancomparison;
using winfixture::MakeFile;
using winfixture::MakeFolder;

// The threads of this process.
int ProcessThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 0;
    THREADENTRY32 thread{};
    thread.dwSize = sizeof(thread);
    for (BOOL more = Thread32First(snapshot, &thread); more;
         more = Thread32Next(snapshot, &thread)) {
        count += thread.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

// Compares scans with each number of `threadCounts` with the single-thread scan; "" when all
// are the same. Also checks that the threaded scans ran their workers and ended them.
std::string CompareThreadedScans(const std::wstring& root, int stopAt = 0,
                                 std::initializer_list<int> threadCounts = {2, 3, 8}) {
    const int before = ProcessThreads();
    CountThreads = [before] { return ProcessThreads() - before; };
    const std::string folder = FromWide(root);
    const ScanRecord single = ScanWith(folder, 1, stopAt);
    std::string difference;
    if (single.MostThreadsDuringScan != 0) {
        difference = "the single-thread walk ran threads";
    }
    for (int threads : threadCounts) {
        if (!difference.empty()) {
            break;
        }
        const ScanRecord threaded = ScanWith(folder, threads, stopAt);
        const std::string which = std::to_string(threads) + " threads";
        difference = Difference(single, threaded);
        if (!difference.empty()) {
            difference = which + ", " + difference;
        } else if (threaded.MostThreadsDuringScan != threads) {
            difference = which + ": " + std::to_string(threaded.MostThreadsDuringScan) +
                         " threads ran during the scan";
        } else if (ProcessThreads() != before) {
            difference = which + ": threads still run after the scan";
        }
    }
    CountThreads = nullptr;
    return difference;
}

// Nested folders of varied widths, files of many sizes so that the list evicts; more entries
// in the root than the walk lists at once before the workers start, a folder larger than a
// worker reads, and a chain of folders whose paths pass MAX_PATH.
void MakeMixedTree(const std::wstring& root) {
    std::mt19937_64 random(21);
    const auto size = [&] { return std::uint64_t{1} << (random() % 36); };
    std::vector<std::wstring> folders = {root};
    MakeFolder(root);
    for (int i = 0; i < 80; ++i) {
        const std::wstring parent = folders[random() % folders.size()];
        if (parent.size() < root.size() + 20) {
            folders.push_back(parent + L"\\d" + std::to_wstring(i));
            MakeFolder(folders.back());
        }
    }
    for (const std::wstring& folder : folders) {
        const int files = static_cast<int>(random() % 30);
        for (int i = 0; i < files; ++i) {
            MakeFile(folder + L"\\f" + std::to_wstring(i) + L".bin", size());
        }
    }
    for (int i = 0; i < 1100; ++i) {
        MakeFile(root + L"\\r" + std::to_wstring(i), size());
    }
    MakeFolder(root + L"\\wide");
    for (int i = 0; i < 4200; ++i) {
        MakeFile(root + L"\\wide\\w" + std::to_wstring(i), i);
    }
    std::wstring deep = root + L"\\deep";
    while (deep.size() < MAX_PATH + 20) {
        MakeFolder(deep);
        MakeFile(deep + L"\\f", deep.size());
        deep += L"\\level-of-a-long-chain";
    }
}

// The mixed tree, made once for the suite: under Wine its thousands of files take a while.
class Win32ReadAhead : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tree_ = new winfixture::TempTree;
        MakeMixedTree(*tree_ / L"t");
    }
    static void TearDownTestSuite() {
        delete tree_;
        tree_ = nullptr;
    }
    static std::wstring Root() { return *tree_ / L"t"; }

private:
    static inline winfixture::TempTree* tree_ = nullptr;
};

TEST_F(Win32ReadAhead, ThreadedWalkShowsExactlyWhatTheSingleThreadWalkShows) {
    const std::wstring root = Root();
    EXPECT_EQ(CompareThreadedScans(root), "");
    const ScanRecord single = ScanWith(FromWide(root), 1);
    EXPECT_GT(single.FileCount, 5300u);
    EXPECT_EQ(single.List.size(), 100u);
}

TEST_F(Win32ReadAhead, StopsAtChosenPointsEndTheSameWay) {
    const std::wstring root = Root();
    const std::vector<std::string> complete = ScanWith(FromWide(root), 1).Lines;
    const int processingPoints =
        static_cast<int>(std::count(complete.begin(), complete.end(), std::string("process")));
    ASSERT_GT(processingPoints, 5000);
    for (int stopAt : {1, 2, 40, 1200, processingPoints / 2, processingPoints - 1}) {
        SCOPED_TRACE("stop at processing point " + std::to_string(stopAt));
        EXPECT_EQ(CompareThreadedScans(root, stopAt, {3}), "");
    }
}

TEST_F(Win32ReadAhead, FolderLinksAreFollowedAsByTheSingleThreadWalk) {
    wchar_t prepared[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"BULKON_TEST_LINK_TREE", prepared, MAX_PATH) == 0) {
        GTEST_SKIP() << "no tree with folder links was prepared (BULKON_TEST_LINK_TREE)";
    }
    EXPECT_EQ(CompareThreadedScans(std::wstring(prepared) + L"\\root"), "");
}

// Changes the tree under `root` over and over until `stop` is set: replaces files, removes
// and remakes folders, puts files where folders were. Staged files are made in `staging`,
// outside the tree. Failures are part of the game (the walk holds folders open) and ignored.
void Churn(const std::wstring& root, const std::wstring& staging, const std::atomic<bool>& stop) {
    std::mt19937_64 random(5);
    const auto makeFile = [](const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    };
    while (!stop.load()) {
        const std::wstring folder = root + L"\\d" + std::to_wstring(random() % 12);
        const std::wstring sub = folder + L"\\s" + std::to_wstring(random() % 4);
        switch (random() % 3) {
        case 0:
            makeFile(staging + L"\\new");
            MoveFileExW((staging + L"\\new").c_str(),
                        (folder + L"\\f" + std::to_wstring(random() % 20)).c_str(),
                        MOVEFILE_REPLACE_EXISTING);
            break;
        case 1:
            winfixture::RemoveTree(sub);
            DeleteFileW(sub.c_str());
            CreateDirectoryW(sub.c_str(), nullptr);
            CreateDirectoryW((sub + L"\\inner").c_str(), nullptr);
            for (int i = 0; i < 10; ++i) {
                makeFile(sub + L"\\inner\\g" + std::to_wstring(i));
            }
            break;
        case 2:
            winfixture::RemoveTree(sub);
            makeFile(sub);
            break;
        }
    }
}

TEST(Win32ReadAheadChurn, ChurnWhileReadingAheadNeverCrashesNorListsAFileTwice) {
    // A tree changed during a scan is an experiment for an unprivileged user: .ci/windows
    // runs this case once more as such a user, with the variable set.
    wchar_t flag[8] = {};
    if (GetEnvironmentVariableW(L"BULKON_TEST_CHURN", flag, 8) == 0) {
        GTEST_SKIP() << "runs only where BULKON_TEST_CHURN is set (as an unprivileged user)";
    }
    winfixture::TempTree tree;
    const std::wstring root = tree / L"tree";
    const std::wstring staging = tree / L"staging";
    MakeFolder(root);
    MakeFolder(staging);
    for (int d = 0; d < 12; ++d) {
        const std::wstring folder = root + L"\\d" + std::to_wstring(d);
        MakeFolder(folder);
        for (int s = 0; s < 4; ++s) {
            const std::wstring sub = folder + L"\\s" + std::to_wstring(s);
            MakeFolder(sub);
            MakeFolder(sub + L"\\inner");
            for (int f = 0; f < 20; ++f) {
                MakeFile(sub + L"\\inner\\f" + std::to_wstring(f), f);
            }
        }
    }
    std::atomic<bool> stop{false};
    std::thread churn(Churn, root, staging, std::cref(stop));
    std::string faults;
    for (int scan = 0; scan < 30 && faults.empty(); ++scan) {
        const ScanRecord record = ScanWith(FromWide(root), 4);
        std::set<std::string> seen;
        for (const std::string& line : record.List) {
            const std::string path = line.substr(0, line.find('\t'));
            if (!seen.insert(path).second) {
                faults += "listed twice: " + path + "\n";
            }
        }
        if (std::count(record.Lines.begin(), record.Lines.end(), "report 1") != 1) {
            faults += "a scan did not end normally\n";
        }
    }
    stop = true;
    churn.join();
    EXPECT_EQ(faults, "");
}

} // namespace
