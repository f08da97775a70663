#pragma once

// Test doubles for the scan engine: a window that writes every call down as one line, an
// icon lookup with a fixed answer, and a temporary folder tree that a test builds itself.

#include "scan/IconLookup.h"
#include "scan/ResultList.h"
#include "scan/ScanWindow.h"
#include "scan/StopRequested.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

// Records the scan's window calls as lines: "report 0", "animation start", "button stop
// Stop", "button visible", "status <text>", "process", "totals <0>|<1>|<2>", "list clear",
// "list append <row>", "list sort", "list update <row>", "list remove <row>",
// "animation stop", "button browse <caption>", "skipped <unreadable|other drive|no answer>
// <folder>". List
// changes are recorded when they have happened; an announcement that does not pair up with its
// "before" call is recorded as "list unpaired", a sort without a valid permutation as "list bad
// permutation".
class RecordingWindow : public ScanWindow {
public:
    std::vector<std::string> Lines;
    int ProcessCount = 0;
    // When > 0, the ProcessPendingMessages call with this number sets StopRequested.
    int StopAtProcess = 0;
    // Runs inside every ProcessPendingMessages, after the stop injection, with its number.
    std::function<void(int)> OnProcess;
    // When set, every processing point checks that the list is in order: complete entries,
    // largest first. A violation is recorded as "list out of order".
    const ResultList* WatchedList = nullptr;

    void ShowReportPage(bool withSummary) override {
        Lines.push_back(withSummary ? "report 1" : "report 0");
    }
    void StartBusyAnimation() override { Lines.push_back("animation start"); }
    void StopBusyAnimation() override { Lines.push_back("animation stop"); }
    void ShowStopButton(const std::string& caption) override {
        Lines.push_back("button stop " + caption);
    }
    void ShowBrowseButton(const std::string& caption) override {
        Lines.push_back("button browse " + caption);
    }
    void MakeBrowseButtonVisible() override { Lines.push_back("button visible"); }
    void SetStatusText(const std::string& text) override { Lines.push_back("status " + text); }
    void WriteTotalsPanels(const TotalsPanelTexts& texts) override {
        Lines.push_back("totals " + texts[0] + "|" + texts[1] + "|" + texts[2]);
    }
    // Runs inside every ProcessMessagesWhileWaiting, with its number.
    std::function<void(int)> OnWait;
    int WaitCount = 0;

    // Waits for a slow file system come at no fixed point: a recording leaves them out.
    void ProcessMessagesWhileWaiting() override {
        ++WaitCount;
        if (OnWait)
            OnWait(WaitCount);
    }
    void ProcessPendingMessages() override {
        Lines.push_back("process");
        ++ProcessCount;
        if (ProcessCount == StopAtProcess)
            StopRequested = true;
        if (WatchedList && !InOrder(*WatchedList))
            Lines.push_back("list out of order");
        if (OnProcess)
            OnProcess(ProcessCount);
    }
    void FolderSkipped(const std::string& folder, FolderSkip reason) override {
        const char* why = reason == FolderSkip::OtherDrive   ? "other drive "
                          : reason == FolderSkip::Unreadable ? "unreadable "
                          : reason == FolderSkip::NoAnswer   ? "no answer "
                                                             : "unexpected ";
        Lines.push_back("skipped " + (why + folder));
    }
    void ListChanging(const ListChange& change) override {
        if (pending_)
            Lines.push_back("list unpaired");
        pending_ = true;
        pendingKind_ = change.What;
        pendingRow_ = change.Row;
    }
    void ListChanged(const ListChange& change) override {
        if (!pending_ || pendingKind_ != change.What || pendingRow_ != change.Row)
            Lines.push_back("list unpaired");
        pending_ = false;
        switch (change.What) {
        case ListChange::Kind::Clear:
            Lines.push_back("list clear");
            break;
        case ListChange::Kind::Append:
            Lines.push_back("list append " + std::to_string(change.Row));
            break;
        case ListChange::Kind::Update:
            Lines.push_back("list update " + std::to_string(change.Row));
            break;
        case ListChange::Kind::Remove:
            Lines.push_back("list remove " + std::to_string(change.Row));
            break;
        case ListChange::Kind::Sort:
            if (!IsPermutation(change.NewRowOfOldRow))
                Lines.push_back("list bad permutation");
            LastPermutation = change.NewRowOfOldRow ? *change.NewRowOfOldRow : std::vector<int>{};
            Lines.push_back("list sort");
            break;
        }
    }

    std::vector<int> LastPermutation;

    // How many recorded lines equal `line`, or start with it when `prefix` is set.
    int Count(const std::string& line, bool prefix = false) const {
        return static_cast<int>(std::count_if(Lines.begin(), Lines.end(), [&](const auto& l) {
            return prefix ? l.rfind(line, 0) == 0 : l == line;
        }));
    }
    // The recorded lines that start with `prefix`, in order.
    std::vector<std::string> WithPrefix(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const auto& l : Lines)
            if (l.rfind(prefix, 0) == 0)
                found.push_back(l);
        return found;
    }

private:
    static bool IsPermutation(const std::vector<int>* rows) {
        if (!rows)
            return false;
        std::vector<int> sorted = *rows;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < sorted.size(); ++i)
            if (sorted[i] != static_cast<int>(i))
                return false;
        return true;
    }
    static bool InOrder(const ResultList& list) {
        for (int row = 0; row < list.Count(); ++row) {
            if (!list.At(row).IsComplete())
                return false;
            if (row > 0 && list.At(row - 1).SizeValue < list.At(row).SizeValue)
                return false;
        }
        return true;
    }

    bool pending_ = false;
    ListChange::Kind pendingKind_ = ListChange::Kind::Clear;
    int pendingRow_ = -1;
};

// Answers every icon request with the same index and remembers the paths asked for.
class FixedIcons : public IconLookup {
public:
    static constexpr int Index = 7;
    std::vector<std::string> Asked;
    int SmallIconIndex(const std::string& path) override {
        Asked.push_back(path);
        return Index;
    }
};

// A folder of its own under the temporary folder, removed with everything in it at the end.
class TempTree {
public:
    // A new folder in `base`, the temporary folder unless given.
    explicit TempTree(std::filesystem::path base = std::filesystem::temp_directory_path()) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = base / ("bulkon-scan-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                root_ = candidate;
                break;
            }
        }
    }
    ~TempTree() {
        std::error_code ignored;
        // Folders made unreadable by a test must be opened again before they can be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 root_, std::filesystem::directory_options::skip_permission_denied, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path Path(const std::string& relative) const { return root_ / relative; }

    std::filesystem::path Folder(const std::string& relative) const {
        const auto path = Path(relative);
        std::filesystem::create_directories(path);
        return path;
    }
    // A file of `sizeBytes` without data: sparse where the file system allows it. False
    // when the file system refuses the size.
    bool File(const std::string& relative, std::uint64_t sizeBytes) const {
        const auto path = Path(relative);
        std::filesystem::create_directories(path.parent_path());
        { std::ofstream create(path, std::ios::binary); }
        std::error_code error;
        std::filesystem::resize_file(path, sizeBytes, error);
        return !error;
    }

private:
    std::filesystem::path root_;
};
