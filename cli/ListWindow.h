#pragma once

#include "InterruptStop.h"
#include "ProgressLine.h"

#include "scan/ScanWindow.h"
#include "walk/FolderWalk.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct ScanState;

// The window of a scan that has no window: it shows nothing but, when given a progress
// line, the files counted and the folder being read, at most ten times a second. It keeps
// what the printed list needs besides the list itself: whether the walk ran to its end and
// which folders it could not read.
class ListWindow final : public ScanWindow {
public:
    // A folder the walk did not read, and why.
    struct SkippedFolder {
        std::string Path;
        FolderSkip Reason = FolderSkip::Unreadable;
    };

    ListWindow() = default;

    // Draws `line` during scans, with the file count of `state` (the engine's). Both must
    // outlive the window's scans.
    void ShowProgress(ProgressLine& line, const ScanState& state);

    // True when the last scan ran to its end; false while one runs and after a stop.
    bool Completed() const { return completed_; }
    // The folders the last scan could not read, or did not enter because they are on
    // another drive, in the order they were met.
    const std::vector<SkippedFolder>& SkippedFolders() const { return skipped_; }

    void ShowReportPage(bool withSummary) override;
    void StartBusyAnimation() override;
    void StopBusyAnimation() override;
    void ShowStopButton(const std::string&) override {}
    void ShowBrowseButton(const std::string&) override {}
    void MakeBrowseButtonVisible() override {}
    void SetStatusText(const std::string& text) override;
    void WriteTotalsPanels(const TotalsPanelTexts&) override {}
    void ProcessPendingMessages() override;
    void ProcessMessagesWhileWaiting() override { InterruptStop::TakeArrivedInterrupt(); }
    // A change of the list holds the list's lock from its announcement to its end.
    void ListChanging(const ListChange&) override { listLock_.lock(); }
    void ListChanged(const ListChange&) override { listLock_.unlock(); }
    void FolderSkipped(const std::string& folder, FolderSkip reason) override;

    // For another thread that prints the list while the scan's thread is stuck in a call:
    // takes the lock that every change of the list and of the skipped folders holds, so that
    // none is halfway done, and keeps it (the process ends after printing).
    void HoldListForGood() { listLock_.lock(); }

private:
    std::mutex listLock_;
    void RedrawWhenDue();

    bool scanning_ = false;
    bool completed_ = false;
    std::vector<SkippedFolder> skipped_;

    ProgressLine* progress_ = nullptr;
    const ScanState* state_ = nullptr;
    std::string currentFolder_;
    std::uint32_t callsSinceClockRead_ = 0;
    std::chrono::steady_clock::time_point lastDrawn_;
};
