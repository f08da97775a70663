#include "Win32ScanHost.h"

#include "TForm1.h"

#include <algorithm>

namespace {
// A repaint of the list costs far more than the walk may spend at one of its frequent
// processings of pending messages; ten frames a second keep the list visibly growing.
constexpr auto FrameInterval = std::chrono::milliseconds(100);
} // namespace

Win32ScanHost::Win32ScanHost(TForm1& form) : form_(form) {}

void Win32ScanHost::SetProcessMessagesIntervalMs(int intervalMs) {
    interval_ = std::chrono::milliseconds(std::max(0, intervalMs));
}

void Win32ScanHost::SetProcessingHook(std::function<void(std::int64_t)> hook) {
    hook_ = std::move(hook);
}

void Win32ScanHost::ShowReportPage(bool withSummary) {
    form_.ShowReportPage(withSummary);
}

void Win32ScanHost::StartBusyAnimation() {
    ++scansStarted_;
    processingCount_ = 0;
    maxGapMs_ = 0;
    processingMs_ = 0;
    maxProcessingMs_ = 0;
    scanning_ = true;
    lastProcessed_ = Clock::now();
    lastFrame_ = lastProcessed_ - FrameInterval;
    form_.StartAnimation();
}

void Win32ScanHost::StopBusyAnimation() {
    if (scanning_) {
        NoteGap(Clock::now());
        scanning_ = false;
    }
    if (framePending_) {
        ShowFrame(Clock::now());
    }
    form_.StopAnimation();
}

void Win32ScanHost::ShowStopButton(const std::string& caption) {
    form_.ShowButtonGlyph(TForm1::ButtonGlyph::Stop, caption);
}

void Win32ScanHost::ShowBrowseButton(const std::string& caption) {
    form_.ShowButtonGlyph(TForm1::ButtonGlyph::Folder, caption);
}

void Win32ScanHost::MakeBrowseButtonVisible() {
    form_.ShowBrowseSpeedButton();
}

void Win32ScanHost::SetStatusText(const std::string& text) {
    if (!scanning_) {
        form_.SetStatusLine(text);
        return;
    }
    HoldBackRepaints();
    pendingStatus_ = text;
    statusPending_ = true;
}

void Win32ScanHost::WriteTotalsPanels(const TotalsPanelTexts& texts) {
    if (!scanning_) {
        form_.SetTotalsPanels(texts);
        return;
    }
    HoldBackRepaints();
    pendingTotals_ = texts;
    totalsPending_ = true;
}

void Win32ScanHost::ProcessPendingMessages() {
    const Clock::time_point now = Clock::now();
    if (now - lastProcessed_ < interval_) {
        return;
    }
    if (scanning_) {
        NoteGap(now);
    }
    if (framePending_ && now - lastFrame_ >= FrameInterval) {
        ShowFrame(now);
    }
    form_.PumpPendingMessages();
    ++processingCount_;
    lastProcessed_ = Clock::now();
    const double spentMs = std::chrono::duration<double, std::milli>(lastProcessed_ - now).count();
    processingMs_ += spentMs;
    maxProcessingMs_ = std::max(maxProcessingMs_, spentMs);
    if (hook_) {
        hook_(processingCount_);
    }
}

void Win32ScanHost::NoteGap(Clock::time_point now) {
    const double gapMs = std::chrono::duration<double, std::milli>(now - lastProcessed_).count();
    maxGapMs_ = std::max(maxGapMs_, gapMs);
}

void Win32ScanHost::HoldBackRepaints() {
    if (scanning_ && !framePending_) {
        form_.HoldBackListRepaints(true);
        framePending_ = true;
    }
}

void Win32ScanHost::ShowFrame(Clock::time_point now) {
    if (statusPending_) {
        form_.SetStatusLine(pendingStatus_);
        statusPending_ = false;
    }
    if (totalsPending_) {
        form_.SetTotalsPanels(pendingTotals_);
        totalsPending_ = false;
    }
    form_.HoldBackListRepaints(false);
    framePending_ = false;
    lastFrame_ = now;
}

void Win32ScanHost::ListChanging(const ListChange& change) {
    HoldBackRepaints();
    form_.ListChanging(change);
}

void Win32ScanHost::ListChanged(const ListChange& change) {
    form_.ListChanged(change);
}
