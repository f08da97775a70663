#include "WindowScanHost.h"

#include "BusyAnimation.h"
#include "PanelStatusBar.h"
#include "ResultListModel.h"
#include "TForm1.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <ctime>

namespace {
// A repaint of the list costs a few milliseconds (every visible cell's text is laid out
// again), far more than the walk may spend at one of its frequent event processings, and
// even the two status bars cost a few tenths of a millisecond, at more than a hundred
// processings a second. During a scan the list and the bars therefore show their changes at
// most 10 times a second, as often as the busy animation moves; input and the stop request
// are still handled at every processing.
constexpr auto ListFrameInterval = std::chrono::milliseconds(100);

// Nanoseconds on a monotonic clock that is cheap to read: the walk asks for it at every
// directory entry. Where the system has a coarse clock (read from memory the kernel updates
// at every tick, a few milliseconds apart) it is used; elsewhere the standard steady clock.
std::int64_t CoarseNowNs() {
#if defined(CLOCK_MONOTONIC_COARSE)
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}
} // namespace

WindowScanHost::WindowScanHost(TForm1& form) : form_(form) {}

void WindowScanHost::SetProcessEventsIntervalMs(int intervalMs) {
    intervalMs_ = std::max(0, intervalMs);
    intervalNs_ = static_cast<std::int64_t>(intervalMs_) * 1'000'000;
}

void WindowScanHost::SetProcessingHook(std::function<void(std::int64_t)> hook) {
    hook_ = std::move(hook);
}

void WindowScanHost::ShowReportPage(bool withSummary) {
    form_.ShowReportPage(withSummary);
}

void WindowScanHost::StartBusyAnimation() {
    ++scansStarted_;
    processingCount_ = 0;
    maxGapMs_ = 0;
    processingMs_ = 0;
    maxProcessingMs_ = 0;
    scanning_ = true;
    lastProcessed_ = Clock::now();
    lastProcessedCoarseNs_ = CoarseNowNs();
    lastListFrame_ = lastProcessed_ - ListFrameInterval;
    form_.Animate->Start();
}

void WindowScanHost::StopBusyAnimation() {
    if (scanning_) {
        NoteGap(Clock::now());
        scanning_ = false;
    }
    if (listFramePending_) {
        ShowListFrame(Clock::now());
    }
    form_.Animate->Stop();
}

void WindowScanHost::ShowStopButton(const std::string& caption) {
    form_.ShowButtonGlyph(TForm1::ButtonGlyph::Stop, caption);
}

void WindowScanHost::ShowBrowseButton(const std::string& caption) {
    form_.ShowButtonGlyph(TForm1::ButtonGlyph::Folder, caption);
}

void WindowScanHost::MakeBrowseButtonVisible() {
    form_.BrowseSpeedButton->setVisible(true);
}

void WindowScanHost::SetStatusText(const std::string& text) {
    HoldBackRepaints();
    form_.StatusBar->SetPanelText(0, text);
}

void WindowScanHost::WriteTotalsPanels(const TotalsPanelTexts& texts) {
    HoldBackRepaints();
    for (int panel = 0; panel < 3; ++panel) {
        form_.StatusBar2->SetPanelText(panel, texts[static_cast<size_t>(panel)]);
    }
}

void WindowScanHost::ProcessPendingMessages() {
    // Asked for at every directory entry: the clock read is all that most requests cost.
    if (CoarseNowNs() - lastProcessedCoarseNs_ < intervalNs_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (scanning_) {
        NoteGap(now);
    }
    if (listFramePending_ && now - lastListFrame_ >= ListFrameInterval) {
        ShowListFrame(now);
    }
    QCoreApplication::processEvents();
    ++processingCount_;
    lastProcessed_ = Clock::now();
    lastProcessedCoarseNs_ = CoarseNowNs();
    const double spentMs = std::chrono::duration<double, std::milli>(lastProcessed_ - now).count();
    processingMs_ += spentMs;
    maxProcessingMs_ = std::max(maxProcessingMs_, spentMs);
    if (hook_) {
        hook_(processingCount_);
    }
}

void WindowScanHost::NoteGap(Clock::time_point now) {
    const double gapMs = std::chrono::duration<double, std::milli>(now - lastProcessed_).count();
    maxGapMs_ = std::max(maxGapMs_, gapMs);
}

void WindowScanHost::ShowListFrame(Clock::time_point now) {
    // Switching updates on again repaints each control once, with every change so far.
    form_.ListView->viewport()->setUpdatesEnabled(true);
    form_.ListView->header()->viewport()->setUpdatesEnabled(true);
    form_.StatusBar->setUpdatesEnabled(true);
    form_.StatusBar2->setUpdatesEnabled(true);
    listFramePending_ = false;
    lastListFrame_ = now;
}

void WindowScanHost::HoldBackRepaints() {
    if (scanning_ && !listFramePending_) {
        form_.ListView->viewport()->setUpdatesEnabled(false);
        // The header repaints at every change of the rows too, though its texts stay.
        form_.ListView->header()->viewport()->setUpdatesEnabled(false);
        form_.StatusBar->setUpdatesEnabled(false);
        form_.StatusBar2->setUpdatesEnabled(false);
        listFramePending_ = true;
    }
}

void WindowScanHost::ListChanging(const ListChange& change) {
    HoldBackRepaints();
    form_.ListModel().ListChanging(change);
}

void WindowScanHost::ListChanged(const ListChange& change) {
    form_.ListModel().ListChanged(change);
}
