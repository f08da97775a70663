#include "ListWindow.h"

#include "InterruptStop.h"

#include "scan/ScanState.h"
#include "scan/StopRequested.h"

namespace {

// The line is redrawn at most this often: more is flicker, and costs the walk.
constexpr std::chrono::milliseconds RedrawInterval{100};

// The walk processes pending messages at every folder entry; the clock is read at every
// this many calls only. Even on slow disks that is many times within one interval.
constexpr std::uint32_t CallsPerClockRead = 32;

} // namespace

void ListWindow::ShowProgress(ProgressLine& line, const ScanState& state) {
    progress_ = &line;
    state_ = &state;
}

void ListWindow::ShowReportPage(bool withSummary) {
    // The engine shows the summary at the end of a scan that was not stopped, and only then.
    if (withSummary) {
        completed_ = true;
    }
}

void ListWindow::StartBusyAnimation() {
    scanning_ = true;
    completed_ = false;
    skipped_.clear();
    // The first line is drawn at the first look at the clock: the user sees at once that
    // the walk has started.
    lastDrawn_ = std::chrono::steady_clock::now() - RedrawInterval;
}

void ListWindow::StopBusyAnimation() {
    scanning_ = false;
    if (progress_ == nullptr) {
        return;
    }
    if (StopRequested) {
        // After Ctrl+C the line stays, with the figures where the walk stopped (and the
        // terminal's "^C" after them), above the list's closing words.
        progress_->Show(state_->FileCount, currentFolder_);
        progress_->Keep();
    } else {
        progress_->Clear();
    }
}

void ListWindow::SetStatusText(const std::string& text) {
    // The status line names the folder being read during a scan; after it, the credit line.
    if (scanning_ && progress_ != nullptr) {
        currentFolder_.assign(text);
    }
}

void ListWindow::ProcessPendingMessages() {
    if (++callsSinceClockRead_ >= CallsPerClockRead) {
        callsSinceClockRead_ = 0;
        InterruptStop::TakeArrivedInterrupt();
        if (progress_ != nullptr) {
            RedrawWhenDue();
        }
    }
}

void ListWindow::FolderSkipped(const std::string& folder, FolderSkip reason) {
    std::lock_guard<std::mutex> lock(listLock_);
    skipped_.push_back({folder, reason});
}

void ListWindow::RedrawWhenDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < RedrawInterval) {
        return;
    }
    lastDrawn_ = now;
    progress_->Show(state_->FileCount, currentFolder_);
}
