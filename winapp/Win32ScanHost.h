#pragma once

#include "scan/ScanWindow.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class TForm1;

// The main window's side of a scan: what the scan engine does to the window, forwarded to
// its controls. It also decides how often the walk really lets the window system run, and
// keeps figures about that for the window benchmark.
//
// While a scan runs the list and the two status bars show their changes at most ten times
// a second (as often as the busy clip moves): the list's repaints are held back and the
// status texts are kept until the next frame is due. Input and a stop request are still
// handled at every processing.
class Win32ScanHost : public ScanWindow {
public:
    explicit Win32ScanHost(TForm1& form);

    // The walk asks to process pending messages at every entry; they are really processed
    // only when at least this many milliseconds have passed since the last processing
    // ended. 0 processes them at every request. Default 5.
    void SetProcessMessagesIntervalMs(int intervalMs);

    // Figures of the current or last scan, reset when a scan starts.
    // How often pending messages were really processed.
    std::int64_t ProcessingCount() const { return processingCount_; }
    // The longest time in milliseconds during which no messages were processed: from the
    // scan's start to the first processing, between two processings, and from the last one
    // to the scan's end.
    double MaxGapMs() const { return maxGapMs_; }
    // The time spent processing messages, in milliseconds, and the longest single one.
    double ProcessingMs() const { return processingMs_; }
    double MaxProcessingMs() const { return maxProcessingMs_; }
    // How many scans have started since the window was created.
    int ScansStarted() const { return scansStarted_; }

    // Called after every real processing with the processing's number in this scan; lets
    // tests act in the middle of a walk. Empty by default.
    void SetProcessingHook(std::function<void(std::int64_t)> hook);

    void ShowReportPage(bool withSummary) override;
    void StartBusyAnimation() override;
    void StopBusyAnimation() override;
    void ShowStopButton(const std::string& caption) override;
    void ShowBrowseButton(const std::string& caption) override;
    void MakeBrowseButtonVisible() override;
    void SetStatusText(const std::string& text) override;
    void WriteTotalsPanels(const TotalsPanelTexts& texts) override;
    void ProcessPendingMessages() override;
    void ListChanging(const ListChange& change) override;
    void ListChanged(const ListChange& change) override;

private:
    using Clock = std::chrono::steady_clock;
    void NoteGap(Clock::time_point now);
    void HoldBackRepaints();
    // Shows everything held back since the last frame.
    void ShowFrame(Clock::time_point now);

    TForm1& form_;
    Clock::duration interval_ = std::chrono::milliseconds(5);
    Clock::time_point lastProcessed_ = Clock::now();
    bool scanning_ = false;
    std::int64_t processingCount_ = 0;
    double maxGapMs_ = 0;
    double processingMs_ = 0;
    double maxProcessingMs_ = 0;
    int scansStarted_ = 0;
    bool framePending_ = false;
    Clock::time_point lastFrame_;
    bool statusPending_ = false;
    std::string pendingStatus_;
    bool totalsPending_ = false;
    TotalsPanelTexts pendingTotals_;
    std::function<void(std::int64_t)> hook_;
};
