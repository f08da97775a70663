#pragma once

#include "scan/ScanWindow.h"

#include <chrono>
#include <cstdint>
#include <functional>

class MainWindowLogic;
class WindowFace;

// The main window's side of a scan: what the scan engine does to the window, forwarded to
// the face. It also decides how often the walk really lets the window system run, paces
// the repaints of the list and the status bars, and keeps figures about that for the
// window benchmark.
class WindowScanHost : public ScanWindow {
public:
    WindowScanHost(WindowFace& face, MainWindowLogic& logic);

    // The walk asks to process pending events at every entry; events are really processed
    // only when at least this many milliseconds have passed since the last processing
    // ended. 0 processes them at every request. Default 5: input, a stop request and
    // repaints are handled within a few milliseconds, while the walk keeps its speed.
    void SetProcessEventsIntervalMs(int intervalMs);
    int ProcessEventsIntervalMs() const { return intervalMs_; }

    // Figures of the current or last scan, reset when a scan starts.
    // How often pending events were really processed.
    std::int64_t ProcessingCount() const { return processingCount_; }
    // The longest time in milliseconds during which no events were processed: from the
    // scan's start to the first processing, between two processings, and from the last one
    // to the scan's end.
    double MaxGapMs() const { return maxGapMs_; }
    // The time spent processing events during the current or last scan, in milliseconds.
    double ProcessingMs() const { return processingMs_; }
    // The longest single processing of events, in milliseconds.
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
    // Holds the repaints of the list and the status bars back until the next frame.
    void HoldBackRepaints();
    // Lets the list and the status bars show what changed since their last frame.
    void ShowListFrame(Clock::time_point now);

    WindowFace& face_;
    MainWindowLogic& logic_;
    int intervalMs_ = 5;
    std::int64_t intervalNs_ = 5'000'000;
    // When events were last processed: on the cheap clock for deciding when to process
    // again, on the precise one for the figures.
    std::int64_t lastProcessedCoarseNs_ = 0;
    Clock::time_point lastProcessed_ = Clock::now();
    // Between the busy animation's start and stop: the span the figures cover.
    bool measuring_ = false;
    std::int64_t processingCount_ = 0;
    double maxGapMs_ = 0;
    double processingMs_ = 0;
    double maxProcessingMs_ = 0;
    int scansStarted_ = 0;
    // While a scan runs the list and the status bars repaint at most once a frame: their
    // changes are held back from the first change until the frame is due.
    bool listFramePending_ = false;
    Clock::time_point lastListFrame_;
    // 100 ms, or twenty times what the last frame took to paint when that is longer.
    Clock::duration frameInterval_ = std::chrono::milliseconds(100);
    std::function<void(std::int64_t)> hook_;
};
