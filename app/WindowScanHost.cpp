#include "WindowScanHost.h"

#include "BusyAnimation.h"
#include "PanelStatusBar.h"
#include "ResultListModel.h"
#include "TForm1.h"

#include <QCoreApplication>
#include <QToolButton>
#include <algorithm>

WindowScanHost::WindowScanHost(TForm1& form) : form_(form) {}

void WindowScanHost::SetProcessEventsIntervalMs(int intervalMs) {
    intervalMs_ = std::max(0, intervalMs);
    interval_ = std::chrono::milliseconds(intervalMs_);
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
    scanning_ = true;
    lastProcessed_ = Clock::now();
    form_.Animate->Start();
}

void WindowScanHost::StopBusyAnimation() {
    if (scanning_) {
        NoteGap(Clock::now());
        scanning_ = false;
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
    form_.StatusBar->SetPanelText(0, text);
}

void WindowScanHost::WriteTotalsPanels(const TotalsPanelTexts& texts) {
    for (int panel = 0; panel < 3; ++panel) {
        form_.StatusBar2->SetPanelText(panel, texts[static_cast<size_t>(panel)]);
    }
}

void WindowScanHost::ProcessPendingMessages() {
    // Asked for at every directory entry: the clock read is all that most requests cost.
    const Clock::time_point now = Clock::now();
    if (now - lastProcessed_ < interval_) {
        return;
    }
    if (scanning_) {
        NoteGap(now);
    }
    QCoreApplication::processEvents();
    ++processingCount_;
    lastProcessed_ = Clock::now();
    if (hook_) {
        hook_(processingCount_);
    }
}

void WindowScanHost::NoteGap(Clock::time_point now) {
    const double gapMs = std::chrono::duration<double, std::milli>(now - lastProcessed_).count();
    maxGapMs_ = std::max(maxGapMs_, gapMs);
}

void WindowScanHost::ListChanging(const ListChange& change) {
    form_.ListModel().ListChanging(change);
}

void WindowScanHost::ListChanged(const ListChange& change) {
    form_.ListModel().ListChanged(change);
}
